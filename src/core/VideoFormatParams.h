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
