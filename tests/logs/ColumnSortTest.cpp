#include "logs/LogTestSupport.h"
#include "logs/ColumnSort.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

using namespace quill;
using namespace quill::test;

namespace {

constexpr int kColPort = 12;

// A log whose lines differ in port, time taken and stem; stems name the file order.
std::string portsAndTimes(const std::vector<std::pair<std::string, std::string>>& portTime)
{
    std::string bytes = kIis6Header;
    int i = 0;
    for (const auto& [port, time] : portTime)
        bytes += iisLine({.stem = "/r" + std::to_string(i++), .port = port, .timeTaken = time});
    return bytes;
}

} // namespace

TEST(ColumnSort, sharesOneDirectionFlagAcrossColumns)
{
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, portsAndTimes({{"80", "15"}, {"443", "1500"}, {"8080", "200"}}));
    EXPECT_TRUE(analysis.clickColumn(kColTimeTaken).ok()); // first click of a run: descending
    EXPECT_EQ(columnTexts(analysis, kColTimeTaken), (std::vector<std::string>{"1500", "200", "15"}));
    EXPECT_TRUE(analysis.clickColumn(kColPort).ok()); // the next click, on any column: ascending, ports as text
    EXPECT_EQ(columnTexts(analysis, kColPort), (std::vector<std::string>{"443", "80", "8080"}));
    EXPECT_TRUE(analysis.clickColumn(kColTimeTaken).ok());
    EXPECT_EQ(columnTexts(analysis, kColTimeTaken), (std::vector<std::string>{"1500", "200", "15"}));
    EXPECT_TRUE(analysis.clickColumn(kColTimeTaken).ok());
    EXPECT_EQ(columnTexts(analysis, kColTimeTaken), (std::vector<std::string>{"15", "200", "1500"}));
    EXPECT_EQ(columnTexts(analysis, kColRow), (std::vector<std::string>{"0", "1", "2"}));
}

TEST(ColumnSort, rowNumberColumnRestoresFileOrderWithoutFlippingTheFlag)
{
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, portsAndTimes({{"80", "15"}, {"443", "1500"}, {"8080", "200"}}));
    EXPECT_TRUE(analysis.clickColumn(kColTimeTaken).ok());
    ASSERT_TRUE(analysis.sortDescending());
    EXPECT_TRUE(analysis.clickColumn(kColRow).ok());
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/r0", "/r1", "/r2"}));
    EXPECT_TRUE(analysis.sortDescending());
    EXPECT_TRUE(analysis.clickColumn(kColTimeTaken).ok());
    EXPECT_FALSE(analysis.sortDescending());
    EXPECT_EQ(columnTexts(analysis, kColTimeTaken), (std::vector<std::string>{"15", "200", "1500"}));
}

// Records whose numeric key is not a number (here "-", a number too large for 32 bits, and a
// line too short to have the field) follow all numbers, in file order, in both directions.
TEST(ColumnSort, numericColumnsPutNonNumbersLastInFileOrder)
{
    TempFolder folder;
    LogAnalysis analysis;
    std::string bytes = portsAndTimes({{"80", "-"}, {"80", "30"}, {"80", "4294967296"}, {"80", "$10"}, {"80", "7"}});
    bytes += "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET /short - 80 - 1.2.3.4 UA\r\n";
    loadBytes(analysis, folder, bytes);
    EXPECT_TRUE(analysis.clickColumn(kColTimeTaken).ok());
    EXPECT_EQ(columnTexts(analysis, kColUriStem),
              (std::vector<std::string>{"/r1", "/r3", "/r4", "/r0", "/r2", "/short"}));
    EXPECT_TRUE(analysis.clickColumn(kColTimeTaken).ok());
    EXPECT_EQ(columnTexts(analysis, kColUriStem),
              (std::vector<std::string>{"/r4", "/r3", "/r1", "/r0", "/r2", "/short"}));
}

TEST(ColumnSort, keepsFileOrderAmongEqualKeysInBothDirections)
{
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, portsAndTimes({{"80", "5"}, {"443", "5"}, {"80", "9"}, {"443", "5"}, {"80", "5"}}));
    EXPECT_TRUE(analysis.clickColumn(kColPort).ok()); // descending
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/r0", "/r2", "/r4", "/r1", "/r3"}));
    EXPECT_TRUE(analysis.clickColumn(kColTimeTaken).ok()); // ascending
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/r0", "/r1", "/r3", "/r4", "/r2"}));
}

TEST(ColumnSort, comparesTextKeysByteWise)
{
    TempFolder folder;
    LogAnalysis analysis;
    std::string bytes = kIis6Header;
    for (const char* stem : {"/b", "/B", "/a-very-long-stem-over-sixteen-bytes-2", "/a-very-long-stem-over-sixteen-bytes-1",
                             "/\xB0\xA1", "/a"})
        bytes += iisLine({.stem = stem});
    loadBytes(analysis, folder, bytes);
    EXPECT_TRUE(analysis.clickColumn(kColUriStem).ok());
    EXPECT_TRUE(analysis.clickColumn(kColUriStem).ok()); // ascending
    EXPECT_EQ(columnTexts(analysis, kColUriStem),
              (std::vector<std::string>{"/B", "/a", "/a-very-long-stem-over-sixteen-bytes-1",
                                        "/a-very-long-stem-over-sixteen-bytes-2", "/b", "/\xB0\xA1"}));
}

TEST(ColumnSort, unmappedColumnsRestoreFileOrderWithoutFlipping)
{
    const std::string logParser =
        "#Software: Microsoft Log Parser\r\n#Fields: DateTime UriStem\r\n"
        "f 2 c w 2026-12-02 10:00:00 a b c d e f g h i j k /x q u\r\n"
        "f 1 c w 2026-12-01 10:00:00 a b c d e f g h i j k /y q u\r\n";
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, logParser);
    EXPECT_TRUE(analysis.clickColumn(kColUserAgent).ok());
    EXPECT_FALSE(analysis.sortDescending());
    EXPECT_TRUE(analysis.clickColumn(kColDate).ok());
    EXPECT_TRUE(analysis.sortDescending());
    EXPECT_TRUE(analysis.clickColumn(kColUserAgent).ok());
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/x", "/y"}));
    EXPECT_TRUE(analysis.sortDescending());
}

TEST(ColumnSort, sortsEachRecordByTheFieldOfItsOwnMap)
{
    // The referrer is known only before the restart; the later rows sort as "-".
    const std::string bytes = std::string(kIis6Header) + iisLine({.stem = "/six-b"}) + iisLine({.stem = "/six-a"}) +
                              "#Software: Microsoft Internet Information Services 7.5\r\n"
                              "#Fields: date time s-ip cs-method cs-uri-stem x x x x x x x\r\n"
                              "2026-12-01 00:00:01 10.0.0.1 GET /seven a b c d e f g\r\n";
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, bytes);
    EXPECT_TRUE(analysis.clickColumn(kColUriStem).ok()); // descending
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/six-b", "/six-a", "/seven"}));
    EXPECT_TRUE(analysis.clickColumn(kColClientIp).ok()); // ascending; "-" of the last row sorts before digits
    EXPECT_EQ(columnTexts(analysis, kColUriStem), (std::vector<std::string>{"/seven", "/six-b", "/six-a"}));
}

TEST(ColumnSort, sortingAnEmptyStoreLeavesItEmpty)
{
    LogAnalysis analysis;
    EXPECT_TRUE(analysis.clickColumn(kColDate).ok());
    EXPECT_EQ(analysis.store().count(), 0u);
    EXPECT_TRUE(analysis.store().order().empty());
}

TEST(ColumnSort, parsesNumbersAsThirtyTwoBitIntegers)
{
    struct Case {
        const char* key;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"15", 15},          {"  12", 12},       {"+5", 5},         {"-7", -7},           {"$1F", 31},
        {"x1f", 31},         {"0X1F", 31},       {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},   {"2147483648", {}}, {"$100000000", {}}, {"", {}},            {"-", {}},
        {"0x", {}},          {"12a", {}},        {"1 ", {}},        {"1.5", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseSortNumber(c.key), c.value) << c.key;
}

// Enough records for the sort to split its work: each order must equal a plain stable sort by
// the definition (text byte-wise; numbers by value, the rest after them in file order).
TEST(ColumnSort, largeStoresSortAsAPlainStableSortWould)
{
    std::vector<std::pair<std::string, std::string>> portTime;
    std::uint32_t state = 7;
    auto next = [&] { return state = state * 1103515245 + 12345; };
    const char* odd[] = {"-", "$7fffffff", "x10", "-2147483648", "2147483648", "12a", "0x1F", "+5"};
    for (int i = 0; i < 150000; ++i) {
        std::string port = next() % 5 == 0 ? std::string(20, 'p') + std::to_string(next() % 50)
                                           : std::to_string(next() % 3000);
        std::string time = next() % 10 == 0 ? odd[next() % 8] : std::to_string(static_cast<int>(next() % 4000) - 1000);
        portTime.emplace_back(port, time);
    }
    TempFolder folder;
    LogAnalysis analysis;
    loadBytes(analysis, folder, portsAndTimes(portTime));
    ASSERT_EQ(analysis.store().count(), portTime.size());

    auto expected = [&](int column, bool descending) {
        std::vector<std::uint32_t> order(portTime.size());
        std::iota(order.begin(), order.end(), 0u);
        auto key = [&](std::uint32_t r) { return column == kColPort ? portTime[r].first : portTime[r].second; };
        std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            if (column == kColPort)
                return descending ? key(b) < key(a) : key(a) < key(b);
            auto va = parseSortNumber(key(a)), vb = parseSortNumber(key(b));
            if (!va || !vb)
                return va && !vb;
            return descending ? *vb < *va : *va < *vb;
        });
        return order;
    };
    for (int column : {int(kColTimeTaken), int(kColTimeTaken), kColPort, kColPort}) {
        EXPECT_TRUE(analysis.clickColumn(column).ok());
        EXPECT_EQ(analysis.store().order(), expected(column, analysis.sortDescending())) << column;
    }
}

// Records that follow a sorted load each take the place a full sort would give them, and the
// earlier rows keep their order around them.
TEST(ColumnSort, followedRecordsTakeThePlaceAFullSortGivesThem)
{
    std::uint32_t state = 11;
    auto next = [&] { return state = state * 1103515245 + 12345; };
    const char* odd[] = {"-", "x10", "2147483648", "+5"};
    auto randomLines = [&](int count) {
        std::vector<std::pair<std::string, std::string>> portTime;
        for (int i = 0; i < count; ++i)
            portTime.emplace_back(std::to_string(next() % 40),
                                  next() % 8 == 0 ? odd[next() % 4] : std::to_string(next() % 60));
        const std::string bytes = portsAndTimes(portTime);
        return bytes.substr(std::string(kIis6Header).size());
    };
    for (int column : {int(kColTimeTaken), kColPort}) {
        for (int clicks : {1, 2}) {
            SCOPED_TRACE(std::to_string(column) + " clicked " + std::to_string(clicks));
            TempFolder folder;
            const std::string path = folder.write("ex.log", kIis6Header + randomLines(3000));
            LogAnalysis analysis;
            ASSERT_TRUE(analysis.load(path, {}, true).read());
            for (int i = 0; i < clicks; ++i)
                ASSERT_TRUE(analysis.clickColumn(column).ok());
            FollowedLog log(*analysis.followStart());
            for (int batchSize : {1, 700, 2500}) {
                std::ofstream(path, std::ios::binary | std::ios::app) << randomLines(batchSize);
                FollowBatch batch;
                ASSERT_EQ(log.step(batch, size_t(1) << 30).end, FollowEnd::None);
                const std::vector<std::uint32_t> before = analysis.store().order();
                Result<LogAnalysis::AppendedRows> added = analysis.appendFollowed(std::move(batch));
                ASSERT_TRUE(added.ok());
                const std::vector<std::uint32_t>& after = analysis.store().order();
                EXPECT_EQ(after, sortByColumn(analysis.store(), column, analysis.sortDescending(), sortKindOf(column)));
                const std::vector<std::uint32_t>& placed = added.value().placedBefore;
                ASSERT_EQ(placed.size(), static_cast<size_t>(batchSize));
                for (size_t row = 0; row < before.size(); row += 97) {
                    const size_t moved = row + static_cast<size_t>(std::upper_bound(placed.begin(), placed.end(), row) -
                                                                   placed.begin());
                    EXPECT_EQ(after[moved], before[row]);
                }
            }
        }
    }
}

TEST(ColumnSort, followedRecordsMergeByKeysAsAStableSortWould)
{
    const std::vector<std::string> keys = {"b", "a", "c", "a", "b", "", "a", "c", "b"};
    for (bool descending : {false, true}) {
        std::vector<std::uint32_t> order(5);
        std::iota(order.begin(), order.end(), 0u);
        auto less = [&](std::uint32_t a, std::uint32_t b) { return descending ? keys[b] < keys[a] : keys[a] < keys[b]; };
        std::stable_sort(order.begin(), order.end(), less);
        std::vector<std::uint32_t> all(keys.size());
        std::iota(all.begin(), all.end(), 0u);
        std::stable_sort(all.begin(), all.end(), less);
        EXPECT_EQ(mergeByKeys(keys, order, 5, descending).order, all) << descending;
    }
}
