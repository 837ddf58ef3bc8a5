#pragma once
// Fetches the advertisement page on a worker thread, so start-up never waits for the network,
// and hands the page to the user-interface thread. A failed fetch hands over nothing.

#include "platform/UiDispatcher.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace quill {

// The advertisement page on the maker's web server.
std::string advertUrl();

class AdvertFetch {
public:
    AdvertFetch(std::string url, UiDispatcher& ui, std::function<void(const std::string& page)> show);
    // Ends a fetch still under way and waits for the thread.
    ~AdvertFetch();
    AdvertFetch(const AdvertFetch&) = delete;
    AdvertFetch& operator=(const AdvertFetch&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace quill
