#include "crawlers/ChartScale.h"

#include <algorithm>

namespace quill {

ChartScale chartScale(std::int64_t largest)
{
    largest = std::max<std::int64_t>(largest, 1);
    for (std::int64_t power = 1;; power *= 10)
        for (std::int64_t factor : {1, 2, 5})
            if (const std::int64_t step = factor * power; step * 4 >= largest)
                return {(largest + step - 1) / step * step, step};
}

} // namespace quill
