#pragma once
// A fresh folder under the system temp folder, removed with everything in it on destruction.

#include <string>
#include <string_view>

namespace quill::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    // Full path of `name` inside the folder.
    std::string file(std::string_view name) const;
    // Writes `bytes` to `name` inside the folder and returns its full path.
    std::string write(std::string_view name, std::string_view bytes) const;
    // Writes `bytes` to the file at `path`.
    static void writeFile(const std::string& path, std::string_view bytes);

private:
    std::string m_path;
};

// All bytes of the file at `path` (empty when it cannot be read).
std::string readFile(const std::string& path);

} // namespace quill::test
