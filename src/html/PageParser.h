#pragma once
// The page parser component: builds the element tree of a page on a worker thread. Callers start
// a parse with parseText and learn from whenIdle, on the UI thread, that its tree is there.

#include "html/ParsedPage.h"
#include "platform/Worker.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quill {

enum class ParserState { Idle = 0, Busy = 1, New = 2 };

// All members but parseState are for the UI thread only.
class PageParser {
public:
    explicit PageParser(UiDispatcher& ui);
    // Stops and waits for a running parse.
    ~PageParser();
    PageParser(const PageParser&) = delete;
    PageParser& operator=(const PageParser&) = delete;

    // Starts parsing `text`, or, while a parse runs, leaves it waiting in place of any text that
    // waited before; it is parsed once the running parse has ended.
    void parseText(std::string text);

    ParserState parseState() const { return m_state.load(std::memory_order_acquire); }

    // Runs `then` on the UI thread once no parse runs and no text waits: at once when none does,
    // else after the newest text has been parsed. Dropped if the parser goes first.
    void whenIdle(std::function<void()> then);

    // The page of the latest finished parse while Idle; an empty page otherwise. It stays valid
    // until the next parse starts on the UI thread.
    const ParsedPage& page() const;

    // The text of the parse most recently started.
    const std::string& document() const;
    // The newest text handed in while a parse was running.
    const std::string& pendingText() const { return m_pendingText; }

private:
    void startParse(std::string text);
    void startQueued();
    bool idle();
    void notifyIdle();

    const ParsedPage m_empty;
    std::unique_ptr<ParsedPage> m_page;
    std::string m_pendingText;
    std::atomic<ParserState> m_state{ParserState::New};
    // A parse that ends with a text waiting hands it to the UI thread to be started.
    std::mutex m_mutex;
    bool m_parsing = false;
    bool m_queued = false; // a text waits in m_pendingText
    std::vector<std::function<void()>> m_whenIdle;
    Worker m_worker;
};

} // namespace quill
