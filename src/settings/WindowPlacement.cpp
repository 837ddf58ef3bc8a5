#include "settings/WindowPlacement.h"

#include <algorithm>

namespace quill {
namespace {

constexpr int kVisibleWidth = 100;
constexpr int kVisibleHeight = 50;

bool showsEnoughOn(const ScreenRect& window, const ScreenRect& screen)
{
    const long long left = std::max(window.x, screen.x);
    const long long top = std::max(window.y, screen.y);
    const long long right = std::min<long long>(0LL + window.x + window.width, 0LL + screen.x + screen.width);
    const long long bottom = std::min<long long>(0LL + window.y + window.height, 0LL + screen.y + screen.height);
    return right - left >= std::min(window.width, kVisibleWidth)
        && bottom - top >= std::min(window.height, kVisibleHeight);
}

WindowPlacement fitted(ScreenRect size, const ScreenRect& screen)
{
    const ScreenRect wanted = size;
    size.width = std::clamp(size.width, 1, std::max(screen.width, 1));
    size.height = std::clamp(size.height, 1, std::max(screen.height, 1));
    return {size, false, size.width < wanted.width || size.height < wanted.height};
}

} // namespace

WindowPlacement placeWindow(const std::optional<ScreenRect>& saved, const std::vector<ScreenRect>& screens,
                            const ScreenRect& designed)
{
    const ScreenRect primary = screens.empty() ? designed : screens.front();
    if (saved)
        for (const ScreenRect& screen : screens)
            if (showsEnoughOn(*saved, screen)) {
                WindowPlacement placed = fitted(*saved, screen);
                ScreenRect& rect = placed.rect;
                rect.x = std::clamp(rect.x, screen.x, screen.x + screen.width - rect.width);
                rect.y = std::clamp(rect.y, screen.y, screen.y + screen.height - rect.height);
                placed.positioned = true;
                return placed;
            }
    WindowPlacement placed = fitted(saved ? *saved : designed, primary);
    placed.rect.x = placed.rect.y = 0;
    return placed;
}

} // namespace quill
