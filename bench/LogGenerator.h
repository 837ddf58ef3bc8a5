#pragma once
// Deterministic IIS log generator: the bundled sample folder and the large benchmark logs.

#include <cstdint>
#include <string>

namespace quill::bench {

enum class FieldSet { Iis6, Iis7 };

struct GeneratorOptions {
    FieldSet fields = FieldSet::Iis7;
    std::uint64_t seed = 1;
    std::uint64_t targetBytes = 0; // data lines are written until the file reaches this size
    std::string day = "2026-12-01";
    bool restartHalfway = false;   // a second header block, with another field set, mid-file
};

// Writes an IIS W3C log to `path`; returns false when the file cannot be written.
bool writeIisLog(const std::string& path, const GeneratorOptions& options);

// Writes a Log Parser export of about `targetBytes` bytes to `path`.
bool writeLogParserExport(const std::string& path, std::uint64_t seed, std::uint64_t targetBytes);

} // namespace quill::bench
