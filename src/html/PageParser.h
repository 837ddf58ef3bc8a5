#pragma once
// The page parser component: builds the element tree of a page on a worker thread. Callers start
// a parse with ParseText and keep the UI thread's messages flowing until ParseState is Idle.

#include "html/ParsedPage.h"
#include "platform/UiDispatcher.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quill {

enum class ParserState { Idle = 0, Busy = 1, New = 2 };

// All members but ParseState are for the UI thread only.
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
    void watch();

    UiDispatcher& m_ui;
    std::atomic<ParserState> m_state{ParserState::New};
    std::atomic<bool> m_stopping{false};
    const ParsedPage m_empty;
    std::unique_ptr<ParsedPage> m_page;
    std::string m_pendingText;
    bool m_queued = false; // a text waits in m_pendingText; read and written on the UI thread only
    std::thread m_worker;

    // The watcher sleeps on m_wake until it is resumed and the parse has ended, then hands the
    // waiting text to the UI thread.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_parsing{false}; // changed under m_mutex
    bool m_watcherResumed = false;
    bool m_stopWatcher = false;
    // Tasks posted to the UI thread hold a weak reference and do nothing once the parser is gone.
    const std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    std::thread m_watcher; // last: it starts once every member it reads exists
};

} // namespace quill
