#pragma once
// Where the main window opens: the size, place and page it had when it was last closed, kept on a
// screen that is there now and never larger than that screen.

#include <optional>
#include <string>
#include <vector>

namespace quill {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const ScreenRect&) const = default;
};

// The window as the settings file keeps it (section "窗口").
struct WindowState {
    std::optional<ScreenRect> geometry; // the window's normal (not maximised) frame; none in an older file
    bool maximised = false;
    std::string page;                   // the current page's name ("ts2"); empty: the log page
};

struct WindowPlacement {
    ScreenRect rect;
    bool positioned = false;  // false: only the size is set, the system places the window
    bool fillsScreen = false; // the size was cut to the screen's
};

// Where a window of `saved` geometry opens among `screens` (their available areas, the primary
// first); `designed` (width and height only) is the size without a saved one. A saved geometry
// showing at least 100 x 50 pixels (or the whole window if smaller) on one screen opens on that
// screen, shrunk to its area and moved inside it; one off every screen keeps only its size. A
// size is never larger than the screen the window opens on; `fillsScreen` tells it was cut.
WindowPlacement placeWindow(const std::optional<ScreenRect>& saved, const std::vector<ScreenRect>& screens,
                            const ScreenRect& designed);

} // namespace quill
