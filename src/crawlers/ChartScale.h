#pragma once
// The count axis of the statistics chart: round grid lines over the largest count.

#include <cstdint>

namespace quill {

struct ChartScale {
    std::int64_t top;  // the count at the top of the plot, a whole number of steps
    std::int64_t step; // between two grid lines: 1, 2 or 5 times a power of ten
};

// The scale for counts up to `largest`: at most four steps, the fewest that reach it; a chart of
// nothing but zeros is scaled as for 1.
ChartScale chartScale(std::int64_t largest);

} // namespace quill
