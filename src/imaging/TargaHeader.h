#pragma once

#include "imaging/ImageLibrary.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

// The 18-byte header at the start of a TARGA file, read directly. Opening a list
// reads the headers of thousands of TARGA frames, far faster this way than
// through the picture library; anything this reader is not sure of is left to
// the library.
class TargaHeader
{
public:
    static constexpr int Size = 18;

    // The header in the first bytes of data; nullopt when fewer than Size bytes are given.
    static std::optional<TargaHeader> parse(const std::uint8_t *data, std::size_t size);
    // The header of a file, and the file's size; nullopt when it cannot be read.
    static std::optional<TargaHeader> read(const QString &path, std::int64_t *fileSize = nullptr);

    // Width, height and depth of a plain true-colour picture (24 or 32 bits, raw or
    // run-length coded) whose pixel data can be present in a file of fileSize bytes;
    // nullopt for anything else (colour maps, grey, 16 bits, odd attribute bits,
    // missing data), which the library must judge.
    std::optional<ImageInfo> plainInfo(std::int64_t fileSize) const;

    bool originTop() const { return (descriptor & 0x20) != 0; }
    bool originRight() const { return (descriptor & 0x10) != 0; }
    int alphaBits() const { return descriptor & 0x0F; }

    int idLength = 0;
    int colorMapType = 0;
    int imageType = 0;
    int colorMapFirst = 0;
    int colorMapLength = 0;
    int colorMapEntryBits = 0;
    int originX = 0;
    int originY = 0;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    int descriptor = 0;
};
