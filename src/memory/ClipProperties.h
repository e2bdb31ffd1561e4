#pragma once

#include "list/TitleAttributes.h"

#include <QString>
#include <cstdint>
#include <optional>

class DeviceLink;

// The movie properties of an IntVideo clip as its header carries them:
// played once or repeated (bit 2 of the type flags), forwards or in reverse
// (bit 3) and the interval in frames between its frames.
struct ClipProperties
{
    bool repeat = false;
    bool reverse = false;
    int interval = 0; // 0..255

    static ClipProperties fromHeader(const TitleAttributes &header);
    // Bits 0-2 of the type flags become 1 (movie, once) or 5 (movie, repeat),
    // bit 3 the direction, the interval is written; other bits travel unchanged.
    void applyTo(TitleAttributes &header) const;

    // An interval as typed: a number 0..255, anything else 0.
    static int intervalFromText(const QString &text);

    enum class Result { Written, NotAClip, NoHeader, Still, NotWritten };
    // Reads the clip's header from the mixer, applies the properties and
    // writes it back. A still clip has no movie properties: nothing is sent.
    static Result write(DeviceLink &link, std::uint16_t memoryNo, const ClipProperties &p,
                        TitleAttributes *written = nullptr);
    // The header the mixer keeps for memoryNo, or nothing.
    static std::optional<TitleAttributes> readHeader(DeviceLink &link, std::uint16_t memoryNo);
};
