// The page parser against a plain byte scan and libxml2's HTML parser on the same 2 MB page.

#include "html/ElementList.h"
#include "html/ParsedPage.h"
#include "html/TagTokenizer.h"
#include "html/PageParser.h"
#include "platform/QueueDispatcher.h"
#include "support/HtmlSamples.h"

#include <benchmark/benchmark.h>
#include <libxml/HTMLparser.h>

#include <chrono>

namespace {

const std::string& page()
{
    static const std::string text = quill::test::realLookingPage(2 << 20, 7);
    return text;
}

void setBytes(benchmark::State& state, std::size_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// Baseline: one look at every byte.
void BM_ByteScan(benchmark::State& state)
{
    const std::string& text = page();
    for (auto _ : state) {
        std::size_t opens = 0;
        for (char c : text)
            opens += c == '<';
        benchmark::DoNotOptimize(opens);
    }
    setBytes(state, text.size());
}

void BM_Libxml2HtmlRead(benchmark::State& state)
{
    const std::string& text = page();
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
    for (auto _ : state) {
        htmlDocPtr doc = htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "ISO-8859-1", options);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    setBytes(state, text.size());
}

void BM_TagTokens(benchmark::State& state)
{
    const std::string& text = page();
    for (auto _ : state) {
        quill::TagTokenizer parser(text);
        parser.addMarkerPair("</", ">");
        parser.addMarkerPair("<", ">");
        parser.setQuoteHandling(true);
        parser.reset();
        std::size_t tokens = 0;
        while (parser.nextToken() != quill::TokenKind::End)
            ++tokens;
        benchmark::DoNotOptimize(tokens);
    }
    setBytes(state, text.size());
}

void BM_ElementList(benchmark::State& state)
{
    const std::string& text = page();
    const std::atomic<bool> stop{false};
    for (auto _ : state)
        benchmark::DoNotOptimize(quill::buildElementList(text, stop, quill::kMaxPageElements));
    setBytes(state, text.size());
}

void BM_ElementTree(benchmark::State& state)
{
    const std::string& text = page();
    const std::atomic<bool> stop{false};
    for (auto _ : state) {
        quill::ParsedPage parsed(text);
        parsed.build(stop);
        benchmark::DoNotOptimize(parsed.nodes().size());
    }
    setBytes(state, text.size());
}

// The whole ParseText path: copy, worker thread, hand-over to a drained UI queue.
void BM_ParseText(benchmark::State& state)
{
    const std::string& text = page();
    quill::QueueDispatcher ui;
    quill::PageParser parser(ui);
    for (auto _ : state) {
        parser.parseText(text);
        bool parsed = false;
        parser.whenIdle([&parsed] { parsed = true; });
        while (!parsed)
            ui.runOne(std::chrono::milliseconds(1000));
    }
    setBytes(state, text.size());
}

// Builds the tree of `text` once per iteration; the complexity figure is the benchmark's argument.
void parseEveryIteration(benchmark::State& state, const std::string& text)
{
    const std::atomic<bool> stop{false};
    for (auto _ : state) {
        quill::ParsedPage parsed(text);
        parsed.build(stop);
        benchmark::DoNotOptimize(parsed.nodes().size());
    }
    state.SetComplexityN(state.range(0));
}

// N elements left open, then N end tags that match none of them: a backward walk per end tag
// would cost N*N.
void BM_ManyOpenElements(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += "<font size=2>x";
    for (std::size_t i = 0; i < count; ++i)
        text += "</div>";
    parseEveryIteration(state, text);
}

// N raw-text blocks that never end, and one quote that would run every one of them to the end of
// the page: each block is scanned to the end once and then its bytes are read as text again.
void BM_UnterminatedBlocks(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += "<p>x <script>";
    text += "'</script>";
    parseEveryIteration(state, text);
}

} // namespace

BENCHMARK(BM_ByteScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2HtmlRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TagTokens)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ElementList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ElementTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseText)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ManyOpenElements)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_UnterminatedBlocks)->RangeMultiplier(4)->Range(1 << 10, 1 << 16)->Unit(benchmark::kMillisecond)->Complexity();

BENCHMARK_MAIN();
