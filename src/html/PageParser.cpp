#include "html/PageParser.h"

namespace quill {

PageParser::PageParser(UiDispatcher& ui) : m_ui(ui), m_watcher([this] { watch(); }) {}

PageParser::~PageParser()
{
    m_stopping = true;
    if (m_worker.joinable())
        m_worker.join();
    {
        std::lock_guard lock(m_mutex);
        m_stopWatcher = true;
    }
    m_wake.notify_all();
    m_watcher.join();
}

void PageParser::parseText(std::string text)
{
    m_pendingText = std::move(text);
    startParse(m_pendingText);
}

const ParsedPage& PageParser::page() const
{
    return (parseState() == ParserState::Idle && m_page) ? *m_page : m_empty;
}

const std::string& PageParser::document() const
{
    return m_page ? m_page->document() : m_empty.document();
}

void PageParser::startParse(std::string text)
{
    if (m_parsing.load()) {
        if (!m_queued) {
            m_queued = true;
            {
                std::lock_guard lock(m_mutex);
                m_watcherResumed = true;
            }
            m_wake.notify_all();
        }
        return;
    }
    if (m_worker.joinable())
        m_worker.join();
    m_state.store(ParserState::Busy, std::memory_order_release);
    {
        std::lock_guard lock(m_mutex);
        m_parsing = true;
    }
    // The previous tree is released here, on the UI thread, so no reader is still walking it.
    m_page = std::make_unique<ParsedPage>(std::move(text));
    m_queued = false;
    m_pendingText.clear();
    m_worker = std::thread([this, page = m_page.get()] {
        page->build(m_stopping);
        m_state.store(ParserState::Idle, std::memory_order_release);
        {
            std::lock_guard lock(m_mutex);
            m_parsing = false;
        }
        m_wake.notify_all();
    });
}

void PageParser::startQueued()
{
    // A ParseText after the watcher woke may already have started the newest text.
    if (m_queued)
        startParse(m_pendingText);
}

void PageParser::watch()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopWatcher || (m_watcherResumed && !m_parsing); });
        if (m_stopWatcher)
            return;
        m_watcherResumed = false;
        std::weak_ptr<int> alive = m_alive;
        lock.unlock();
        m_ui.post([this, alive] {
            if (!alive.expired())
                startQueued();
        });
        lock.lock();
    }
}

} // namespace quill
