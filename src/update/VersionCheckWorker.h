#pragma once
// The start-up check for a newer published version: a worker reads the version document from the
// maker's server and leaves the number where the main window's timer polls it.

#include "platform/Worker.h"

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
    // Fetches `url` on a worker and posts the number to `ui`; with `hideAdvert` it does nothing
    // and latestVersion stays kNoVersionYet.
    VersionCheckWorker(std::string url, bool hideAdvert, UiDispatcher* ui);

    // What the worker has posted so far; read on the user-interface thread, by the window's timer.
    double latestVersion() const { return m_latest; }

private:
    double m_latest = kNoVersionYet;
    Worker m_worker; // last: stopped before the value its posts write goes
};

} // namespace quill
