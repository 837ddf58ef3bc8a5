#pragma once
// The busy cursor over work on the user-interface thread that is expected to last longer than
// about 300 ms. The thread is blocked while it works, so no timer can put the cursor up late:
// the expectation comes from the size of the work, as measured by the benchmarks (a load reads
// about 2 GB/s, a gzip log about 0.3 GB/s of its compressed bytes, a sort about 20 M rows/s).

#include <QApplication>
#include <QCursor>
#include <cstdint>

namespace quill {

inline bool expectLongLoad(std::uint64_t fileBytes, bool archive)
{
    return fileBytes >= (archive ? std::uint64_t(32) << 20 : std::uint64_t(256) << 20);
}

inline bool expectLongSort(std::uint64_t rows) { return rows >= 2'000'000; }

class BusyCursor {
public:
    explicit BusyCursor(bool expectedLong) : m_shown(expectedLong)
    {
        if (!m_shown)
            return;
        // The platform puts it on the windows at once; no event needs handling before the work.
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~BusyCursor()
    {
        if (m_shown)
            QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool m_shown;
};

} // namespace quill
