#pragma once
// Fetches the advertisement page in the background, so start-up never waits for the network,
// and hands the page to the user-interface thread. A failed fetch hands over nothing.

#include "platform/Worker.h"

#include <functional>
#include <string>

namespace quill {

// The advertisement page on the maker's web server.
std::string advertUrl();

class AdvertFetch {
public:
    AdvertFetch(std::string url, UiDispatcher& ui, std::function<void(const std::string& page)> show);

private:
    Worker m_worker;
};

} // namespace quill
