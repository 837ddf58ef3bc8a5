#pragma once
// The start-up check for a newer published version: a worker reads the version document from the
// maker's server and leaves the number where the main window's timer polls it.

#include "platform/Worker.h"

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

namespace quill {

// The program's own version, as its caption shows it.
inline constexpr double kOwnVersion = 1.03;
// latestVersion before the worker has a value, and after it ended without one.
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
    // With `hideAdvert` the worker does nothing and latestVersion stays kNoVersionYet.
    VersionCheckWorker(std::string url, bool hideAdvert);

    double latestVersion() const { return m_latest->load(); }

private:
    // Shared with the job, which leaves its answer here for the window's timer to poll.
    std::shared_ptr<std::atomic<double>> m_latest = std::make_shared<std::atomic<double>>(kNoVersionYet);
    Worker m_worker;
};

} // namespace quill
