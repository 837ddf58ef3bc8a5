#pragma once
// The "检测" step: the manifest and its detached signature are fetched from the maker's server,
// the signature checked against the release key, and only then is the manifest saved as "tmp.ini"
// and compared with the installed record.

#include "update/FetchToFile.h"
#include "update/StagingArea.h"
#include "update/UpdateManifest.h"
#include "update/UpdateSignature.h"

#include <string>
#include <vector>

namespace quill {

// The manifest on the maker's server; its signature is at the same address followed by ".sig".
std::string manifestUrl();

struct CheckOptions {
    std::string manifestUrl = quill::manifestUrl();
    PublicKey key = releasePublicKey();
    TransferEvents events;
    StagingOptions staging;
};

struct CheckResult {
    std::vector<UpdateEntry> newer; // newer than installed, in manifest order
    bool listsFiles = false;        // the manifest has at least one section
};

// Fails with the transfer's own message when a fetch failed, and with failureText for a manifest
// without a signature or with one that is not the key's; either way nothing is written.
Result<CheckResult> checkForUpdates(const std::string& folder, const CheckOptions& options, int today);

// True when the program in `folder` was installed by a package manager (it lies under /usr, or
// the folder cannot be written): updates then come from the package manager, not from here.
bool isManagedInstall(const std::string& folder);

} // namespace quill
