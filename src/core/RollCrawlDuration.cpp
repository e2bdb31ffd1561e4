#include "core/RollCrawlDuration.h"

#include "core/VideoFormatParams.h"

#include <algorithm>
#include <cstdint>

Duration RollCrawlDuration(int frameCount, int doubledSpeed, bool roll,
                           const VideoFormatParams &format)
{
    const std::int64_t distance =
        std::int64_t(std::max(frameCount, 0) + 1) * (roll ? format.activeLines : 720);
    const std::int64_t step = std::max(doubledSpeed, 1);
    const std::int64_t frames = (distance + step - 1) / step;
    const int fps = format.framesPerSecond;
    const std::int64_t seconds = frames / fps;
    if (seconds / 60 > 59)
        return {59, 59, fps - 1};
    return {int(seconds / 60), int(seconds % 60), int(frames % fps)};
}
