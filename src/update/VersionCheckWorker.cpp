#include "update/VersionCheckWorker.h"

#include "platform/Hosts.h"
#include "platform/HttpClient.h"
#include "platform/GbkText.h"
#include "update/FetchToFile.h"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

namespace quill {
namespace {

// A decimal number with an optional sign and exponent, blanks around it allowed.
std::optional<double> parseDecimal(std::string_view text)
{
    text = trim(text);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // "nan" and "inf" parse as numbers but are no version: nan would keep the timer polling for
    // ever and inf would announce a version that does not exist.
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::string versionDocumentUrl() { return "https://" + makerHost() + "/Quillmarkkit/setxml.asp"; }

double parseVersionDocument(std::string_view xml)
{
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size()))
        return kVersionUnknown;
    double latest = kNoVersionYet;
    for (pugi::xml_node child : document.document_element().children()) {
        if (child.type() != pugi::node_element || std::strcmp(child.name(), "banben") != 0)
            continue;
        const std::optional<double> number = parseDecimal(child.text().get());
        if (!number)
            return kVersionUnknown;
        latest = *number;
    }
    return latest == kNoVersionYet ? kVersionUnknown : latest;
}

VersionNotice versionNotice(double latest)
{
    if (latest > kOwnVersion)
        return VersionNotice::Announce;
    if (latest == kVersionUnknown)
        return VersionNotice::Stop;
    return VersionNotice::KeepWaiting;
}

VersionCheckWorker::VersionCheckWorker(std::string url, bool hideAdvert, UiDispatcher* ui) : m_worker(ui)
{
    if (hideAdvert)
        return;
    m_worker.start([this, url = std::move(url)](const std::atomic<bool>& stop, const Worker::Post& post) {
        HttpOptions options;
        options.followRedirects = true;
        options.timeout = std::chrono::seconds(30);
        options.stop = &stop;
        options.caFile = trustedCaFile();
        const HttpResponse response = HttpClient(options).get(url);
        const double latest = response.ok() ? parseVersionDocument(response.body) : kVersionUnknown;
        post([this, latest] { m_latest = latest; });
    });
}

} // namespace quill
