#include "app/AdvertFetch.h"

#include "platform/HttpClient.h"
#include "platform/Hosts.h"

namespace quill {

std::string advertUrl() { return "http://" + makerHost() + "/Quillmarkkit/Quillmarkad.asp"; }

AdvertFetch::AdvertFetch(std::string url, UiDispatcher& ui, std::function<void(const std::string& page)> show)
{
    m_thread = std::thread([this, url = std::move(url), &ui, show = std::move(show)] {
        HttpOptions options;
        options.followRedirects = true;
        options.timeout = std::chrono::milliseconds(10000);
        options.stop = &m_stop;
        HttpResponse response = HttpClient(options).get(url);
        if (response.ok() && !m_stop)
            ui.post([show, page = std::move(response.body)] { show(page); });
    });
}

AdvertFetch::~AdvertFetch()
{
    m_stop = true;
    m_thread.join();
}

} // namespace quill
