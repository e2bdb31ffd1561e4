#include "imaging/SaveDeviceFrame.h"

#include "imaging/DeviceConvert.h"

#include <algorithm>
#include <cstring>

namespace {

// The rectangle of the picture that starts at (0, top), cut to the picture.
Bitmap cropped(const Bitmap &picture, int top, int width, int height)
{
    const int w = std::min(width, picture.width());
    const int h = std::min(height, picture.height() - top);
    if (w <= 0 || h <= 0 || top < 0)
        return {};
    Bitmap part(w, h, picture.bitsPerPixel());
    if (part.isNull())
        return {};
    for (int y = 0; y < h; ++y)
        std::memcpy(part.row(y), picture.row(top + y), std::size_t(part.bytesPerLine()));
    return part;
}

} // namespace

std::optional<SaveFormatChoice> SaveFormatFor(const QString &extension, bool isTitle)
{
    const QString upper = extension.toUpper();
    const int keyBits = isTitle ? 32 : 24;
    if (upper == QLatin1String(".BMP"))
        return SaveFormatChoice{ImageFileFormat::Bmp, 24};
    if (upper == QLatin1String(".TGA"))
        return SaveFormatChoice{ImageFileFormat::Targa, keyBits};
    if (upper == QLatin1String(".JPG"))
        return SaveFormatChoice{ImageFileFormat::Jpeg, 24};
    if (upper == QLatin1String(".TIF"))
        return SaveFormatChoice{ImageFileFormat::Tiff, keyBits};
    if (upper == QLatin1String(".PCT") || upper == QLatin1String(".PIC"))
        return SaveFormatChoice{ImageFileFormat::Pict, 24};
    return std::nullopt;
}

QString SavedFrameName(const QString &base, const QString &extension, int number)
{
    if (number == 0)
        return base + extension;
    return base + QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0')) + extension;
}

SavedFrames SaveDeviceFrame(ImageLibrary &library, const std::uint8_t *buffer, std::size_t size,
                            const DeviceFrameSave &save)
{
    SavedFrames result;
    const auto format = SaveFormatFor(save.extension, save.isTitle);
    const bool keepKey = format && format->bitsPerPixel == 32;
    const Bitmap picture = format ? ConvertDeviceToPicture(buffer, size, save.lines, save.isTitle,
                                                           save.group.isPal, keepKey, save.levels)
                                  : Bitmap();
    const auto write = [&](int top, int number) {
        const QString name = SavedFrameName(save.basePath, save.extension, number);
        const Bitmap part = cropped(picture, top, save.width, save.height);
        if (part.isNull() || !library.save(part, name, format->format, format->bitsPerPixel)) {
            result.failedFile = name;
            return false;
        }
        result.written << name;
        return true;
    };
    if (!save.isTitle) {
        write(0, save.frameNo);
        return result;
    }
    QList<int> starts = save.group.frameStarts(save.blocksPerFrame);
    if (starts.isEmpty() || picture.isNull()) {
        result.failedFile = SavedFrameName(save.basePath, save.extension, save.frameNo);
        return result;
    }
    // A group never names a file past the title's last frame, nor the single frame twice.
    starts = starts.mid(0, std::max(1, save.frameNo == 0 ? 1 : save.maxFrames));
    for (qsizetype j = 0; j < starts.size(); ++j) {
        const int number = save.frameNo == 0 ? 0 : save.frameNo + int(j);
        if (!write(starts[j] * save.group.bandLines(), number))
            break;
    }
    return result;
}
