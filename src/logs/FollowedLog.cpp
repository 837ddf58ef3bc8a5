#include "logs/FollowedLog.h"

#include "logs/BlockWorker.h"
#include "logs/HeaderTracker.h"
#include "logs/LineMatcher.h"
#include "logsource/LineSplitter.h"
#include "logsource/LogSource.h"
#include "platform/FileSystem.h"
#include "platform/LineScan.h"

#include <algorithm>
#include <cerrno>

namespace quill {
namespace {

// Bytes compared at the file's start and before the offset: where a rewrite shows first.
constexpr std::uint64_t kWindowBytes = 4096;
constexpr size_t kBlockBytes = size_t(256) << 10;

FollowStep ended(FollowEnd end, Status read = {})
{
    return {end, false, std::move(read)};
}

bool endsWithLineEnd(const char* data, size_t size)
{
    return size > 0 && (data[size - 1] == '\n' || data[size - 1] == '\r');
}

} // namespace

// The open file and the load's machinery, run on the appended lines.
struct FollowedLog::Reading {
    Reading(std::unique_ptr<LogSource> opened, const FollowStart& start, const LoadLimits& limits)
        : source(std::move(opened)), format(start.format), map(start.map),
          headers(format, map, limits.fieldMaps, start.maps), matcher(start.filters),
          text(std::make_shared<TextArena>()), worker(matcher, *text, limits.lineBytes)
    {
    }

    std::unique_ptr<LogSource> source;
    LogFormat format;
    FieldMap map;
    HeaderTracker headers;
    LineMatcher matcher;
    std::shared_ptr<TextArena> text;
    BlockWorker worker;
};

FollowedLog::FollowedLog(FollowStart start, const LoadLimits& limits)
    : m_start(std::move(start)), m_limits(limits), m_offset(m_start.end.offset), m_mapsGiven(m_start.maps.size())
{
}

FollowedLog::~FollowedLog() = default;

FollowStep FollowedLog::step(FollowBatch& batch, size_t maxBytes)
{
    if (!m_reading) {
        if (FollowStep opened = open(); opened.end != FollowEnd::None)
            return opened;
    }
    if (FollowStep checked = check(); checked.end != FollowEnd::None)
        return checked;
    const std::optional<std::uint64_t> size = m_reading->source->sizeNow();
    if (!size)
        return ended(FollowEnd::Failed, Status::failure(fileErrorText(errno)));
    return readLines(batch, *size, maxBytes);
}

FollowStep FollowedLog::open()
{
    Result<OpenedLog> opened = openLog(m_start.path);
    if (!opened.ok())
        return ended(FollowEnd::Failed, opened.status());
    if (opened.value().state != LogPathState::Log)
        return ended(FollowEnd::Gone);
    std::unique_ptr<LogSource> source = std::move(opened.value().source);
    if (!source->readsAtOffsets() || !(source->identity() == m_start.end.file))
        return ended(FollowEnd::Replaced);
    m_reading = std::make_unique<Reading>(std::move(source), m_start, m_limits);
    Result<std::string> head = window(0, std::min(kWindowBytes, m_offset));
    Result<std::string> tail = window(m_offset - std::min(kWindowBytes, m_offset), m_offset);
    if (!head.ok() || !tail.ok())
        return ended(FollowEnd::Failed, (head.ok() ? tail : head).status());
    if (head.value().size() + tail.value().size() < std::min(kWindowBytes, m_offset) * 2)
        return ended(FollowEnd::CutShort);
    m_head = std::move(head.value());
    m_tail = std::move(tail.value());
    return {};
}

FollowStep FollowedLog::check()
{
    const std::optional<FileIdentity> named = fileIdentityAt(m_start.path);
    if (!named)
        return ended(FollowEnd::Gone);
    if (!(*named == m_reading->source->identity()))
        return ended(FollowEnd::Replaced);
    const std::optional<std::uint64_t> size = m_reading->source->sizeNow();
    if (size && *size < m_offset)
        return ended(FollowEnd::CutShort);
    Result<std::string> head = window(0, m_head.size());
    Result<std::string> tail = window(m_offset - m_tail.size(), m_offset);
    if (!head.ok() || !tail.ok())
        return ended(FollowEnd::Failed, (head.ok() ? tail : head).status());
    if (head.value() != m_head || tail.value() != m_tail)
        return ended(head.value().size() < m_head.size() || tail.value().size() < m_tail.size() ? FollowEnd::CutShort
                                                                                              : FollowEnd::Rewritten);
    return {};
}

FollowStep FollowedLog::readLines(FollowBatch& batch, std::uint64_t size, size_t maxBytes)
{
    Reading& reading = *m_reading;
    FollowStep step;
    if (m_endMark || size <= m_offset) {
        handOver(batch);
        return step;
    }
    const std::unique_ptr<ByteSource> bytes = reading.source->range(m_offset, size);
    LineSplitter lines(*bytes, {kBlockBytes, m_limits.lineBytes, false});
    size_t taken = 0;
    while (taken < maxBytes) {
        LineBlock lineBlock;
        const Result<bool> got = lines.next(lineBlock);
        if (!got.ok())
            return ended(FollowEnd::Failed, got.status());
        if (!got.value())
            break;
        // Only the log's last block can end inside a line: one still being written.
        const size_t whole = endsWithLineEnd(lineBlock.data, lineBlock.size)
                                 ? lineBlock.size
                                 : afterLastLineEnd(lineBlock.data, lineBlock.size);
        if (whole == 0)
            break;
        LogBlock block;
        block.data = lineBlock.data;
        block.size = whole;
        block.startsFile = m_offset == 0;
        BlockOutcome outcome = reading.worker.findLines(block);
        bool endMark = false;
        if (outcome == BlockOutcome::Done) {
            endMark = reading.headers.applyBlock(block, reading.worker.headerLines(), reading.worker.endMark());
            if (reading.headers.tooManyMaps())
                return ended(FollowEnd::Failed, Status::failure(tooManyLayoutsText(m_limits.fieldMaps)));
            outcome = reading.worker.keepLines(block);
        }
        switch (outcome) {
        case BlockOutcome::Done:
            break;
        case BlockOutcome::LineTooLong:
            return ended(FollowEnd::Failed, Status::failure(lineTooLongText(m_limits.lineBytes)));
        case BlockOutcome::OutOfMemory:
            return ended(FollowEnd::Failed, Status::failure(kOutOfMemoryText));
        }
        batch.records.insert(batch.records.end(), reading.worker.kept().begin(), reading.worker.kept().end());
        m_offset += whole;
        taken += whole;
        if (endMark) {
            m_endMark = true;
            break;
        }
        if (whole < lineBlock.size)
            break;
    }
    step.more = taken >= maxBytes && m_offset < size && !m_endMark;

    handOver(batch);

    // What the next checks compare: the start once it is whole, and the bytes before the offset.
    Result<std::string> head = m_head.size() < kWindowBytes ? window(0, std::min(kWindowBytes, m_offset))
                                                            : Result<std::string>(m_head);
    Result<std::string> tail = window(m_offset - std::min(kWindowBytes, m_offset), m_offset);
    if (!head.ok() || !tail.ok())
        return ended(FollowEnd::Failed, (head.ok() ? tail : head).status());
    m_head = std::move(head.value());
    m_tail = std::move(tail.value());
    return step;
}

void FollowedLog::handOver(FollowBatch& batch)
{
    const std::vector<FieldMap>& maps = m_reading->headers.maps();
    if (batch.newMaps.empty())
        batch.firstNewMap = static_cast<std::uint32_t>(m_mapsGiven);
    batch.newMaps.insert(batch.newMaps.end(), maps.begin() + static_cast<std::ptrdiff_t>(m_mapsGiven), maps.end());
    m_mapsGiven = maps.size();
    batch.text = m_reading->text;
    batch.format = m_reading->format;
    batch.map = m_reading->map;
    batch.offset = m_offset;
}

Result<std::string> FollowedLog::window(std::uint64_t from, std::uint64_t to) const
{
    std::string bytes(static_cast<size_t>(to - from), '\0');
    const Result<size_t> got = m_reading->source->readAt(from, bytes.data(), bytes.size());
    if (!got.ok())
        return got.status();
    bytes.resize(got.value());
    return bytes;
}

} // namespace quill
