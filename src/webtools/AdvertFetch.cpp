#include "webtools/AdvertFetch.h"

#include "platform/HttpClient.h"
#include "platform/Hosts.h"

namespace quill {

std::string advertUrl() { return "http://" + makerHost() + "/Quillmarkkit/Quillmarkad.asp"; }

AdvertFetch::AdvertFetch(std::string url, UiDispatcher& ui, std::function<void(const std::string& page)> show)
    : m_worker(&ui)
{
    m_worker.start([url = std::move(url), show = std::move(show)](const std::atomic<bool>& stop, const Worker::Post& post) {
        HttpOptions options;
        options.followRedirects = true;
        options.timeout = std::chrono::milliseconds(10000);
        options.stop = &stop;
        HttpResponse response = HttpClient(options).get(url);
        if (response.ok())
            post([show, page = std::move(response.body)] { show(page); });
    });
}

} // namespace quill
