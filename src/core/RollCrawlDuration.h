#pragma once

struct VideoFormatParams;

// A title's on-screen time as minutes, seconds and frames.
struct Duration
{
    int minutes;
    int seconds;
    int frames;

    bool operator==(const Duration &) const = default;
};

// How long a ROLL (roll = true) or a CRAWL runs: its frameCount pictures and
// one screen more pass by at doubledSpeed lines (a roll) or pixels (a crawl)
// per frame. The operator's speed is doubled by the caller. The result is
// capped at 59:59 and the last frame of the format, the longest duration a
// title record holds.
Duration RollCrawlDuration(int frameCount, int doubledSpeed, bool roll,
                           const VideoFormatParams &format);
