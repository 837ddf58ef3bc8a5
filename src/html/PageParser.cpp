#include "html/PageParser.h"

#include <utility>

namespace quill {

PageParser::PageParser(UiDispatcher& ui) : m_worker(&ui) {}

PageParser::~PageParser() { m_worker.stop(); }

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
    {
        std::lock_guard lock(m_mutex);
        if (m_parsing) {
            m_queued = true;
            return;
        }
        m_parsing = true;
        m_queued = false;
    }
    m_state.store(ParserState::Busy, std::memory_order_release);
    m_worker.stop(); // the last parse has ended; a hand-over it posted is for a text this replaces
    // The previous tree is released here, on the UI thread, so no reader is still walking it.
    m_page = std::make_unique<ParsedPage>(std::move(text));
    m_pendingText.clear();
    m_worker.start([this, page = m_page.get()](const std::atomic<bool>& stop, const Worker::Post& post) {
        page->build(stop);
        m_state.store(ParserState::Idle, std::memory_order_release);
        bool handOver = false;
        {
            std::lock_guard lock(m_mutex);
            m_parsing = false;
            handOver = m_queued;
        }
        if (handOver)
            post([this] { startQueued(); });
        else
            post([this] { notifyIdle(); });
    });
}

bool PageParser::idle()
{
    std::lock_guard lock(m_mutex);
    return !m_parsing && !m_queued;
}

void PageParser::whenIdle(std::function<void()> then)
{
    if (idle()) {
        then();
        return;
    }
    m_whenIdle.push_back(std::move(then));
}

void PageParser::notifyIdle()
{
    if (!idle())
        return; // a newer parse runs; its end tells
    for (const std::function<void()>& then : std::exchange(m_whenIdle, {}))
        then();
}

void PageParser::startQueued()
{
    {
        // A parseText after this parse ended may already have started the newest text.
        std::lock_guard lock(m_mutex);
        if (!m_queued)
            return;
    }
    startParse(m_pendingText);
}

} // namespace quill
