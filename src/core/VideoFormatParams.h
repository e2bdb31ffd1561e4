#pragma once

#include <array>
#include <cstdint>

// The figures of one video format, NTSC or PAL, that titles are checked and
// converted against.
struct VideoFormatParams
{
    // Maximum width, heights of the 1-, 2- and 4-block classes, maximum height,
    // and the width again (the device's line-class table).
    std::array<std::uint16_t, 6> lineClass;
    int framesPerSecond;
    int activeLines;
    float frameTimeMs;
    bool isPal;

    int maxWidth() const { return lineClass[0]; }
    int maxHeight() const { return lineClass[4]; }
    // The largest picture height that fits in one frame of `blocks` blocks (1, 2 or 4).
    int classHeight(int blocks) const;
    // Blocks one frame of an (unclipped) picture height takes: 1, 2, 4 or 8.
    int blocksForHeight(int height) const;

    static const VideoFormatParams &ntsc();
    static const VideoFormatParams &pal();
    // PAL for signal 1, NTSC for anything else.
    static const VideoFormatParams &forSignal(int signal);
};

// A title's duration as the record keeps it.
struct TitleDuration
{
    int Minute = 0;
    int Second = 0;
    int Frame = 0;

    bool operator==(const TitleDuration &) const = default;
};

// How long a roll or crawl of frameCount frames runs: the frames and one
// screen more pass by (the active lines for a roll, the 720-pixel line for a
// crawl), twice `speed` lines or columns a frame, the last step counted whole.
// speed is the speed as the record keeps it (2..64); less is taken as 2.
// Minute is not limited to the record's byte.
TitleDuration RollCrawlDuration(int frameCount, int speed, bool roll,
                                const VideoFormatParams &format);
