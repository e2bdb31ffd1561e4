#include "core/VideoFormatParams.h"

#include <algorithm>

int VideoFormatParams::classHeight(int blocks) const
{
    switch (blocks) {
    case 1:
        return lineClass[1];
    case 2:
        return lineClass[2];
    case 4:
        return lineClass[3];
    default:
        return lineClass[4];
    }
}

int VideoFormatParams::blocksForHeight(int height) const
{
    if (height <= lineClass[1])
        return 1;
    if (height <= lineClass[2])
        return 2;
    if (height <= lineClass[3])
        return 4;
    return 8;
}

const VideoFormatParams &VideoFormatParams::ntsc()
{
    static const VideoFormatParams p{{640, 60, 120, 240, 480, 640}, 30, 480, 33.3f, false};
    return p;
}

const VideoFormatParams &VideoFormatParams::pal()
{
    static const VideoFormatParams p{{768, 72, 144, 288, 576, 768}, 25, 576, 40.0f, true};
    return p;
}

const VideoFormatParams &VideoFormatParams::forSignal(int signal)
{
    return signal == 1 ? pal() : ntsc();
}
