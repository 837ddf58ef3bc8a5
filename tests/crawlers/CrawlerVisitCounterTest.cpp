#include "crawlers/CrawlerVisitCounter.h"

#include "crawlers/CountCrawlerVisits.h"
#include "crawlers/CrawlerTable.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <random>

using namespace quill;
using quill::test::TempFolder;

namespace {

// The plain definition: split at CR, LF or CR LF, then the first statistics row of each line.
StatisticsCounts plainCounts(std::string_view text)
{
    StatisticsCounts counts{};
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = std::min(text.find_first_of("\r\n", begin), text.size());
        if (int row = statisticsRowOf(text.substr(begin, end - begin)))
            ++counts[statisticsCountIndex(row)];
        begin = end + 1;
    }
    return counts;
}

// Log-like text dense with tokens, near misses and double-byte characters whose second byte is an
// ASCII letter, often right before a token.
class LineGenerator {
public:
    explicit LineGenerator(unsigned seed) : m_random(seed) {}

    std::string text(int lines)
    {
        std::string out;
        for (int i = 0; i < lines; ++i) {
            int pieces = pick(0, 8);
            for (int p = 0; p < pieces; ++p)
                out += piece();
            const char* ends[] = {"\r\n", "\r\n", "\n", "\r", "\n\r", "\r\r\n"};
            out += ends[pick(0, 5)];
        }
        return out;
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    std::string anyCase(std::string_view token)
    {
        std::string out(token);
        for (char& c : out)
            if (std::isalpha(static_cast<unsigned char>(c)) && pick(0, 3) == 0)
                c = static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c));
        return out;
    }

    std::string gbkChar()
    {
        const char trails[] = "GgBbSsYyMmAa@~\x80\xA1\xFE";
        std::string out(1, static_cast<char>(pick(0x81, 0xFE)));
        out += trails[pick(0, sizeof(trails) - 2)];
        return out;
    }

    std::string piece()
    {
        static const char* words[] = {"GET", " ", "/index.asp", "200", "Mozilla/4.0", "+", "-", "#Fields:",
                                      "Googlebo", "Sosospider/", "Baidu+spider", "msn+bot", "YodaoBot-Image",
                                      "qihoobot", "Gigabot/", "AppEngine-Google", "Twiceler"};
        switch (pick(0, 9)) {
        case 0:
        case 1:
            return anyCase(crawlerTable()[pick(0, kCrawlerRowCount - 1)].token);
        case 2:
            return std::string(1, static_cast<char>(pick(0x81, 0xFE))) + anyCase(crawlerTable()[pick(0, 9)].token);
        case 3:
        case 4:
            return gbkChar();
        case 5:
            return std::string(1, '\0');
        default:
            return words[pick(0, 16)];
        }
    }

    std::mt19937 m_random;
};

} // namespace

TEST(CrawlerVisitCounter, equalsThePlainDefinitionOnGeneratedLines)
{
    std::string all;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const std::string text = LineGenerator(seed).text(3000);
        CrawlerVisitCounter counter;
        counter.addLines(text);
        ASSERT_EQ(counter.counts(), plainCounts(text)) << "seed " << seed;
        all += text;
    }
    // Read from a file, the text is cut into blocks after line ends.
    TempFolder folder;
    const std::atomic<bool> never{false};
    auto stats = countCrawlerVisits(folder.write("generated.log", all), never);
    ASSERT_TRUE(stats && stats->counts);
    EXPECT_EQ(*stats->counts, plainCounts(all));
}
