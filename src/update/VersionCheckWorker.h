#pragma once
// The start-up check for a newer published version: a worker reads the version document from the
// maker's server and leaves the number where the main window's timer polls it.

#include <atomic>
#include <string>
#include <string_view>
#include <thread>

namespace quill {

// The program's own version, as its caption shows it.
inline constexpr double kOwnVersion = 1.03;
// LatestVersion before the worker has a value, and after it ended without one.
inline constexpr double kNoVersionYet = 0;
inline constexpr double kVersionUnknown = -2;

// The version document on the maker's server.
std::string versionDocumentUrl();

// The number in the text of the last "banben" child of the document element; kVersionUnknown for
// a document that is no XML, has no such child, has one that is not a number, or gives 0.
double parseVersionDocument(std::string_view xml);

// What the main window's timer does with the polled value.
enum class VersionNotice { KeepWaiting, Stop, Announce };
VersionNotice versionNotice(double latest);

class VersionCheckWorker {
public:
    // With `hideAdvert` the worker does nothing and LatestVersion stays kNoVersionYet.
    VersionCheckWorker(std::string url, bool hideAdvert);
    // Ends a request still under way and waits for the thread.
    ~VersionCheckWorker();
    VersionCheckWorker(const VersionCheckWorker&) = delete;
    VersionCheckWorker& operator=(const VersionCheckWorker&) = delete;

    double latestVersion() const { return m_latest.load(); }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<double> m_latest{kNoVersionYet};
    std::thread m_thread;
};

} // namespace quill
