#pragma once

#include <cstddef>
#include <cstdint>

// The mixer's own picture layout and the figures both conversions share.
//
// A device pixel is 4 bytes: Y, K (key: 255 opaque, 0 transparent), Cb, Cr,
// full chroma on every pixel. Lines run left to right, top line first. Lines
// read back from the mixer are always 720 pixels; lines sent to it are as wide
// as the converted picture (at most 720).
namespace DevicePicture {

constexpr int BytesPerPixel = 4;
constexpr int LineWidth = 720;
constexpr int LineBytes = LineWidth * BytesPerPixel;
// A line read back is rebuilt 719 pixels wide before it is resampled.
constexpr int RebuiltWidth = 719;
// Upload buffers are sized in whole 512-byte units.
constexpr std::size_t BufferGranule = 512;

// The first pixel of every uploaded frame, and the one looked for in a read-back frame.
constexpr std::uint8_t UploadMarker[4] = {0xFF, 0x00, 0xFD, 0xFC};
constexpr std::uint8_t ReadBackMarker[4] = {0x00, 0x00, 0xFD, 0xFC};
// What a realigned frame holds where no data is left: Y 0, K 0, Cb 128, Cr 128.
constexpr std::uint8_t NeutralPixel[4] = {0x00, 0x00, 0x80, 0x80};

struct DevicePixel
{
    std::uint8_t y = 0;
    std::uint8_t k = 0;
    std::uint8_t cb = 128;
    std::uint8_t cr = 128;
};
static_assert(sizeof(DevicePixel) == 4);

// The two level settings as the settings store holds them: YUVMax 0 White
// (Y 235), anything else SuperWhite (Y 255); YUVMin 0 Black (Y 16), anything
// else SuperBlack (Y 0).
struct LevelSettings
{
    int yuvMax = 0;
    int yuvMin = 0;
};

// The level limits those settings give.
struct LevelLimits
{
    int yMin = 16;
    int yMax = 235;
    int cMin = 16;
    int cMax = 240;

    static LevelLimits from(const LevelSettings &settings);
};

// Figures of the video format a conversion runs for.
struct FormatFigures
{
    int maxWidth;     // widest picture taken
    int maxHeight;    // tallest picture taken
    float toDevice;   // horizontal factor, picture to device
    int rebuiltWidth; // picture width rebuilt from a device line
    int bandLines;    // lines in one device memory unit

    static const FormatFigures &ntsc();
    static const FormatFigures &pal();
    static const FormatFigures &of(bool isPal) { return isPal ? pal() : ntsc(); }
};

// Width of a converted line for a picture `width` wide: trunc(width x factor).
int deviceWidth(int width, bool isPal);
// Bytes of an upload buffer for outWidth x height device pixels, rounded up to 512; 0 on overflow.
std::size_t uploadBufferSize(int outWidth, int height);

} // namespace DevicePicture

namespace DevicePicture {

// The region of a picture that goes to the device and what it becomes. The
// requested size is cut to the picture and to the largest picture the video
// format takes, so an oversized request never reads outside the picture nor
// makes lines wider than the device's.
struct UploadGeometry
{
    int width = 0;    // source columns taken from the left
    int height = 0;   // source lines taken from the top
    int outWidth = 0; // device pixels per line
    std::size_t bufferSize = 0;
};

// False when nothing can be sent: a side of 0 or less, or a picture so narrow
// that its device line would have no pixel (one column in PAL).
bool uploadGeometry(int pictureWidth, int pictureHeight, int width, int height, bool isPal,
                    UploadGeometry &geometry);

// Source line of device line r: line pairs are exchanged for an IntVideo clip in
// PAL. A last line without a partner stays where it is.
inline int pairedLine(int r, int lines, bool exchange)
{
    if (!exchange)
        return r;
    const int partner = r ^ 1;
    return partner < lines ? partner : r;
}

} // namespace DevicePicture
