#include "logs/KeepTest.h"
#include "logs/HeaderStep.h"
#include "logs/LogTestSupport.h"
#include "logs/LogTokens.h"
#include "crawlers/CrawlerRegistry.h"
#include "crawlers/CrawlerTable.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <random>

using namespace quill;
using namespace quill::test;

namespace {

FieldMap iis6Map()
{
    LogAnalysis analysis;
    TempFolder folder;
    loadBytes(analysis, folder, kIis6Header);
    return analysis.fieldMap();
}

FilterSnapshot with(void (*set)(FilterSnapshot&))
{
    FilterSnapshot filters;
    set(filters);
    return filters;
}

} // namespace

TEST(KeepTest, appliesTheFiltersInTheirOrder)
{
    const FieldMap map = iis6Map();
    const FilterSnapshot defaults;
    const FilterSnapshot spidersOnly = with([](FilterSnapshot& f) { f.spiders = true; });
    const FilterSnapshot spidersNoEngines = with([](FilterSnapshot& f) {
        f.spiders = true;
        f.baidu = f.google = f.soso = false;
    });
    const FilterSnapshot spidersAndNoSpiders = with([](FilterSnapshot& f) { f.spiders = f.noSpiders = true; });
    const FilterSnapshot youdao = with([](FilterSnapshot& f) { f.spiders = f.youdao = true; });
    const FilterSnapshot noSpiders = with([](FilterSnapshot& f) { f.noSpiders = true; });
    const FilterSnapshot status200 = with([](FilterSnapshot& f) { f.status200 = true; });
    const FilterSnapshot audio = with([](FilterSnapshot& f) { f.audio = true; });
    const FilterSnapshot ownAddress = with([](FilterSnapshot& f) { f.ownXmlHttp = true; });
    FilterSnapshot searchClient;
    searchClient.search = "1.2.3.4";

    auto line = [](const std::string& stem, const std::string& agent = "Mozilla/4.0",
                   const std::string& client = "1.2.3.4", const std::string& status = "200") {
        std::string l = iisLine({.stem = stem, .client = client, .agent = agent, .status = status, .timeTaken = "15"});
        return l.substr(0, l.size() - 2);
    };
    struct Case {
        const char* what;
        std::string line;
        const FilterSnapshot& filters;
        bool keep;
    };
    const Case cases[] = {
        // image and style-sheet requests: the extension must end a field
        {"gif then blank", line("/logo.gif"), defaults, false},
        {"png is kept", line("/logo.png"), defaults, true},
        {"GIF in capitals", line("/a.GIF"), defaults, false},
        {"css", line("/s.css"), defaults, false},
        {"gif as the last field has no blank after it",
         "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET /p - 80 - 1.2.3.4 UA 200 0 0 1 2 3 /x.gif", defaults, true},
        {"images kept with the box off", line("/logo.gif"),
         with([](FilterSnapshot& f) { f.images = false; }), true},
        {"audio", line("/a.mp3"), audio, false},
        {"audio off by default", line("/a.mp3"), defaults, true},
        {"200 anywhere", line("/a.htm", "Mozilla/4.0", "1.2.3.4", "404") + " 200 x", status200, false},
        {"200 as status", line("/a.htm"), status200, false},
        {"no 200", line("/a.htm", "Mozilla/4.0", "1.2.3.4", "404"), status200, true},
        // search text: anywhere in the line
        {"search matches the client", line("/a.htm"), searchClient, true},
        {"search matches another field", line("/1.2.3.4.htm", "Mozilla/4.0", "9.9.9.9"), searchClient, true},
        {"search misses", line("/a.htm", "Mozilla/4.0", "9.9.9.9"), searchClient, false},
        // crawler filters
        {"spiders keeps a checked engine", line("/a.htm", "Baiduspider+(+http://x/)"), spidersOnly, true},
        {"spiders drops a browser", line("/a.htm"), spidersOnly, false},
        {"spiders drops an unchecked engine", line("/a.htm", "msnbot/2.0"), spidersOnly, false},
        {"spiders with no engine keeps nothing", line("/a.htm", "Baiduspider"), spidersNoEngines, false},
        {"spiders wins over no-spiders", line("/a.htm", "Googlebot/2.1"), spidersAndNoSpiders, true},
        {"Youdao image crawler is not the Youdao engine", line("/a.htm", "YodaoBot-Image/1.0"), youdao, false},
        {"Youdao crawler", line("/a.htm", "YoudaoBot/1.0"), youdao, true},
        {"no-spiders drops the Youdao image crawler", line("/a.htm", "YodaoBot-Image/1.0"), noSpiders, false},
        {"no-spiders keeps browsers", line("/a.htm"), noSpiders, true},
        {"own address: client equals server", line("/a.htm", "UA", "10.0.0.1"), ownAddress, false},
        {"own address: other client", line("/a.htm"), ownAddress, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keepTest(c.line, c.filters, map).keep, c.keep) << c.what;
}

TEST(KeepTest, ownAddressFilterDropsEveryLineWhenNeitherAddressIsMapped)
{
    FilterSnapshot filters;
    filters.ownXmlHttp = true;
    EXPECT_FALSE(keepTest("a b c d e f g h i j k", filters, FieldMap{}).keep);
}

TEST(KeepTest, matchesOnlyOnGbkCharacterBoundaries)
{
    const FieldMap map = iis6Map();
    FilterSnapshot searchA;
    searchA.search = "a";
    const std::string trailG = "\x81G"; // a double-byte character whose second byte is "G"
    struct Case {
        const char* what;
        std::string line;
        const FilterSnapshot& filters;
        int crawlerRow;
        bool keep;
    };
    const FilterSnapshot defaults;
    const Case cases[] = {
        {"token after a character ending in G", "x x x x x x x x x x " + trailG + "ooglebot", defaults, 0, true},
        {"token after a whole character", "x x x x x x x x x x \x81\x81Googlebot", defaults, 1, true},
        {"search letter only as a trail byte", "x x x x x x x x x \x81\x61 \x81\x41", searchA, 0, false},
        {"search letter as a letter", "x x x x x x x x x \x81\x61 A", searchA, 0, true},
    };
    for (const Case& c : cases) {
        KeepDecision decision = keepTest(c.line, c.filters, map);
        EXPECT_EQ(decision.keep, c.keep) << c.what;
        EXPECT_EQ(decision.crawlerRow, c.keep ? c.crawlerRow : decision.crawlerRow) << c.what;
    }
}

// The load's multi-literal matcher must give the same records and names as the plain keep test,
// on ordinary and adversarial lines, under every filter that changes what is searched.
TEST(KeepTest, loadAgreesWithThePlainKeepTest)
{
    std::mt19937 random(7);
    auto pick = [&](std::initializer_list<std::string> items) {
        return *(items.begin() + std::uniform_int_distribution<size_t>(0, items.size() - 1)(random));
    };
    auto randomCase = [&](std::string text) {
        for (char& c : text)
            if (std::isalpha(static_cast<unsigned char>(c)) && random() % 2)
                c = static_cast<char>(c ^ 0x20);
        return text;
    };
    const std::string gbkWord = gbk("日志");
    std::vector<std::string> lines;
    for (int i = 0; i < 30000; ++i) {
        std::string agent = pick({"Mozilla/4.0", "Googlebot/2.1", "Baiduspider+(+x)", "Sosospider+(+x)",
                                  "Sosospider/2.0", "YoudaoBot/1.0", "YodaoBot-Image/1.0", "qihoobot+msnbot",
                                  "Gigabot/3.0", "Gigabot", "AppEngine-Google", "SurveyBot", "Twiceler",
                                  "\x81Googlebot", "\x81G" "ooglebot", gbkWord + "Yahoo", "sogou"});
        std::string stem = pick({"/a.htm", "/a.gif", "/a.JPG", "/a.css", "/a.mp3", "/b.wma", "/c.wmv",
                                 "/yahoo.htm", "/" + gbkWord + ".gif", "/\x81.gif", "/200", "/%C8%D5%D6%BE.htm",
                                 "/%e6%97%a5%e5%bf%97", "/%C8%D5%D6", "/q+%c8%d5%d6%be+x"});
        std::string client = pick({"1.2.3.4", "10.0.0.1", "200"});
        std::string status = pick({"200", "404", "304"});
        std::string line = iisLine({.stem = randomCase(stem), .client = client, .agent = randomCase(agent), .status = status, .timeTaken = "15"});
        line.resize(line.size() - 2);
        if (random() % 5 == 0)
            line = "200 " + line.substr(11); // starts with the status text
        lines.push_back(line);
    }
    std::string bytes = kIis6Header;
    for (const std::string& line : lines)
        bytes += line + "\r\n";

    std::vector<FilterSnapshot> snapshots(10);
    snapshots[1].status200 = snapshots[1].audio = true;
    snapshots[2].search = "- 200";
    snapshots[3].search = gbkWord;
    snapshots[4].search = "A.g";
    snapshots[5].spiders = snapshots[5].sogou = snapshots[5].msn = snapshots[5].yahoo = true;
    snapshots[6].noSpiders = snapshots[6].ownXmlHttp = true;
    snapshots[7].images = false;
    snapshots[7].search = " ";
    snapshots[8].search = gbkWord;
    snapshots[8].searchEncoded = true;
    snapshots[9].search = "Q " + gbkWord;
    snapshots[9].searchEncoded = true;

    TempFolder folder;
    const std::string path = folder.write("mixed.log", bytes);
    const FieldMap map = iis6Map();
    for (size_t s = 0; s < snapshots.size(); ++s) {
        std::vector<std::pair<std::string, int>> expected;
        for (const std::string& line : lines) {
            KeepDecision decision = keepTest(line, snapshots[s], map);
            if (decision.keep)
                expected.emplace_back(line, decision.crawlerRow);
        }
        LogAnalysis analysis;
        analysis.load(path, snapshots[s]);
        std::vector<std::pair<std::string, int>> loaded;
        for (const LogRecord& record : analysis.store().records())
            loaded.emplace_back(std::string(record.line()), record.crawlerRow());
        EXPECT_EQ(loaded, expected) << "filter set " << s;
    }
}

// The bundled samples read line by line through the plain definitions give the records the load
// gives, header blocks and all.
TEST(KeepTest, loadAgreesWithAPlainReaderOnTheBundledSamples)
{
    for (const char* name : {"ex261130.log", "ex261201.log", "ex261202.log", "logparser_261201.log"}) {
        const std::string path = std::string(QUILLMARK_SAMPLES_DIR) + "/" + name;
        const std::string bytes = readFile(path);
        LogFormat format = LogFormat::None;
        FieldMap map;
        std::vector<std::pair<std::string, int>> expected;
        size_t at = 0;
        while (at < bytes.size()) {
            size_t end = bytes.find_first_of("\r\n", at);
            if (end == std::string::npos)
                end = bytes.size();
            const std::string line = bytes.substr(at, end - at);
            if (tokenCount(line) >= 11 && line.substr(0, 8).find('#') == std::string::npos) {
                const KeepDecision decision = keepTest(line, FilterSnapshot{}, map);
                if (decision.keep)
                    expected.emplace_back(line, decision.crawlerRow);
            } else {
                applyHeaderLine(line, format, map);
            }
            at = bytes.find_first_not_of("\r\n", end);
        }
        LogAnalysis analysis;
        analysis.load(path, FilterSnapshot{});
        std::vector<std::pair<std::string, int>> loaded;
        for (const LogRecord& record : analysis.store().records())
            loaded.emplace_back(std::string(record.line()), record.crawlerRow());
        EXPECT_EQ(loaded, expected) << name;
        EXPECT_GT(loaded.size(), 100u) << name;
    }
}

// "AI 蜘蛛" keeps the visits whose user agent names a crawler of the AI groups, after every other
// filter; the load's matcher agrees with the plain test.
TEST(KeepTest, aiSpidersKeepTheAiGroupsVisits)
{
    const FieldMap map = iis6Map();
    FilterSnapshot ai;
    ai.onlyRegistryCrawlers = true;
    ai.registryCrawlers = aiCrawlers();
    FilterSnapshot aiWithoutSpiders = ai;
    aiWithoutSpiders.noSpiders = true;
    auto line = [](const std::string& agent, const std::string& stem = "/a.html") {
        std::string l = iisLine({.stem = stem, .agent = agent});
        return l.substr(0, l.size() - 2);
    };
    struct Case {
        std::string line;
        const FilterSnapshot& filters;
        bool keep;
    };
    const Case cases[] = {
        {line("Mozilla/5.0+(compatible;+GPTBot/1.3)"), ai, true},
        {line("Mozilla/5.0+(compatible;+ChatGPT-User/1.0)"), ai, true},
        {line("Mozilla/5.0+(compatible;+Googlebot/2.1)"), ai, false},
        {line("Mozilla/5.0+(Windows+NT+10.0)"), ai, false},
        {line("notGPTBot/1.0"), ai, false},
        {line("Mozilla/5.0", "/GPTBot.html"), ai, false},        // the token outside the user agent
        {line("GPTBot/1.3", "/logo.gif"), ai, false},             // the image filter came first
        {line("GPTBot/1.3"), aiWithoutSpiders, true},              // no crawler of the crawler column
        {line("GPTBot/1.3+Baiduspider"), aiWithoutSpiders, false}, // ... but this line is one
    };
    std::string bytes = kIis6Header;
    for (const Case& c : cases) {
        EXPECT_EQ(keepTest(c.line, c.filters, map).keep, c.keep) << c.line;
        if (&c.filters == &ai)
            bytes += c.line + "\r\n";
    }
    TempFolder folder;
    LogAnalysis analysis;
    analysis.load(folder.write("ai.log", bytes), ai);
    EXPECT_EQ(analysis.store().count(), 2u);
}
