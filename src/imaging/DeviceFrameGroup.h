#pragma once

#include <QList>
#include <array>
#include <cstdint>

// One group of title frames as the mixer reads it back: up to eight memory
// units of `BandLines` device lines each, and a band flag per unit that is set
// where a frame starts. A frame of BlocksPerFrame units that starts at unit b
// lies on lines b x BandLines onward. Clips are read as one frame and use only
// the PAL flag.
struct DeviceFrameGroup
{
    static constexpr int Units = 8;

    std::array<std::uint8_t, Units> bandFlags{};
    bool isPal = false;

    int bandLines() const { return isPal ? 72 : 60; }
    // The units where the group's frames start, in order: the scan goes on
    // after each frame's last unit, so flags inside a frame are not frames.
    // Empty when blocksPerFrame is not positive.
    QList<int> frameStarts(int blocksPerFrame) const;
    // Units from the group's start to the end of its last frame (at most the
    // eight a row holds); 0 when the group holds no frame.
    int lastUnit(int blocksPerFrame) const;
    // Device lines to read for the group.
    int lines(int blocksPerFrame) const { return lastUnit(blocksPerFrame) * bandLines(); }
};
