#include "settings/WindowPlacement.h"
#include "settings/SettingsFile.h"
#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

TEST(WindowPlacement, keepsASavedWindowOnAScreenThatIsThere)
{
    const ScreenRect designed{0, 0, 800, 600};
    const ScreenRect small{0, 0, 1024, 738}; // 1024x768 less a panel
    const ScreenRect right{1024, 0, 1280, 800};
    const std::vector<ScreenRect> two = {small, right};
    struct Case {
        const char* what;
        std::optional<ScreenRect> saved;
        std::vector<ScreenRect> screens;
        WindowPlacement expected;
    };
    const Case cases[] = {
        {"first start: the designed size, placed by the system", std::nullopt, {small}, {{0, 0, 800, 600}, false}},
        {"first start on a small screen: the screen's size", std::nullopt, {{0, 0, 683, 492}}, {{0, 0, 683, 492}, false, true}},
        {"saved on the screen", ScreenRect{50, 40, 700, 500}, {small}, {{50, 40, 700, 500}, true}},
        {"saved on the second screen", ScreenRect{1100, 20, 900, 700}, two, {{1100, 20, 900, 700}, true}},
        // a screen that became smaller: the window shrinks to it and moves inside it
        {"larger than the screen", ScreenRect{10, 10, 1600, 1000}, {small}, {{0, 0, 1024, 738}, true, true}},
        {"hanging off the right edge", ScreenRect{900, 100, 400, 300}, {small}, {{624, 100, 400, 300}, true}},
        {"above the screen's top", ScreenRect{100, -40, 400, 300}, {small}, {{100, 0, 400, 300}, true}},
        // off every screen (the second screen was unplugged): only the size is kept
        {"on a screen that is gone", ScreenRect{1500, 100, 900, 700}, {small}, {{0, 0, 900, 700}, false}},
        {"a sliver on the screen is not enough", ScreenRect{1000, 100, 400, 300}, {small}, {{0, 0, 400, 300}, false}},
        {"far away", ScreenRect{-30000, -30000, 500, 400}, two, {{0, 0, 500, 400}, false}},
        {"no screen known", ScreenRect{10, 10, 500, 400}, {}, {{0, 0, 500, 400}, false}},
    };
    for (const Case& c : cases) {
        const WindowPlacement placed = placeWindow(c.saved, c.screens, designed);
        EXPECT_EQ(placed.rect, c.expected.rect) << c.what;
        EXPECT_EQ(placed.positioned, c.expected.positioned) << c.what;
        EXPECT_EQ(placed.fillsScreen, c.expected.fillsScreen) << c.what;
    }
}

TEST(WindowPlacement, settingsFileKeepsTheWindowAndReadsNothingDamaged)
{
    TempFolder folder;
    const std::string section = "[" + gbk("窗口") + "]\r\n";
    auto keys = [](const char* left, const char* top, const char* width, const char* height) {
        return gbk("左") + "=" + left + "\r\n" + gbk("上") + "=" + top + "\r\n" + gbk("宽") + "=" + width + "\r\n" +
               gbk("高") + "=" + height + "\r\n";
    };
    struct Case {
        const char* what;
        std::string file;
        std::optional<ScreenRect> geometry;
    };
    const Case cases[] = {
        {"older file without the section", "", std::nullopt},
        {"all four numbers", section + keys("10", "-20", "640", "480"), ScreenRect{10, -20, 640, 480}},
        {"a word", section + keys("10", "x", "640", "480"), std::nullopt},
        {"one missing", section + gbk("左") + "=1\r\n" + gbk("上") + "=1\r\n" + gbk("宽") + "=1\r\n", std::nullopt},
        {"no width", section + keys("10", "20", "0", "480"), std::nullopt},
        {"beyond any screen", section + keys("10", "20", "640", "2000000"), std::nullopt},
    };
    for (const Case& c : cases) {
        const Settings loaded = SettingsFile(folder.write("s.ini", c.file)).load(Settings{});
        EXPECT_EQ(loaded.window.geometry, c.geometry) << c.what;
        EXPECT_FALSE(loaded.window.maximised) << c.what;
        EXPECT_EQ(loaded.window.page, "") << c.what;
    }

    const std::string path = folder.write("w.ini", "");
    const WindowState saved{ScreenRect{-5, 7, 900, 650}, true, "ts4"};
    ASSERT_TRUE(SettingsFile(path).writeWindowState(saved).ok());
    const WindowState read = SettingsFile(path).load(Settings{}).window;
    EXPECT_EQ(read.geometry, saved.geometry);
    EXPECT_TRUE(read.maximised);
    EXPECT_EQ(read.page, "ts4");
}
