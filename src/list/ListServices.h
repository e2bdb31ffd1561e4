#pragma once

#include "core/VideoFormatParams.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

class ImageLibrary;
class MessageBoxes;
class PropertyHistory;
class TitleTypeChooser;
class Waits;
struct Settings;

// The services the list operations (import, list files, history, editing)
// work with. The main window fills it from what it owns; the command line and
// the tests fill it with their own answers. Every reference must outlive the
// objects that use it.
struct ListServices
{
    MessageBoxes &boxes;
    ImageLibrary &images;
    // Keeps the interface alive during long reads (sequence checks, list
    // opening, history look-ups).
    Waits &waits;
    // "Default" gives the properties of new titles, "Environment".HistoryMode
    // the history decision of the import.
    const Settings &settings;
    PropertyHistory &history;
    // Answers the title type question of an import that found a sequence.
    TitleTypeChooser &chooser;

    // The current video format; NTSC when not set (no memory mirror yet).
    std::function<const VideoFormatParams &()> videoFormat = {};
    // The device memory's 16:9 flag for thumbnails; 4:3 when not set.
    std::function<bool()> aspect16x9 = {};
    // Whether the device is connected; never when not set.
    std::function<bool()> connected = {};
    // CheckEffectPatterns with value in-pattern and index out-pattern while
    // connected: the two words of the reply, or nothing when the request failed.
    std::function<std::optional<std::pair<std::uint16_t, std::uint16_t>>(std::uint16_t in,
                                                                         std::uint16_t out)>
        checkEffectPatterns = {};

    const VideoFormatParams &format() const
    {
        return videoFormat ? videoFormat() : VideoFormatParams::ntsc();
    }
    bool isWide() const { return aspect16x9 && aspect16x9(); }
    bool isConnected() const { return connected && connected(); }
};
