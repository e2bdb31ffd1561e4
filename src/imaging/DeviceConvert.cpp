#include "imaging/DeviceConvert.h"

#include "core/MessageBoxes.h"
#include "imaging/DeviceConvertFast.h"
#include "imaging/ImageLibrary.h"
#include "imaging/LoadImageFile.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcDeviceConvert)

namespace {

constexpr int CaptionError = 1;
constexpr int MsgPictureNotFound = 122;

void reportUnreadable(MessageBoxes &boxes, const QString &fileName)
{
    ShowMessageById(boxes, CaptionError, MsgPictureNotFound, MsgError,
                    {QFileInfo(fileName).fileName()});
}

} // namespace

std::vector<std::uint8_t> ConvertImageToDevice(ImageLibrary &library, MessageBoxes &boxes,
                                               const QString &fileName, int width, int height,
                                               bool isTitle, bool isPal,
                                               const DevicePicture::LevelSettings &levels)
{
    const std::optional<ImageInfo> info = library.fileInfo(fileName);
    if (!info) {
        reportUnreadable(boxes, fileName);
        return {};
    }
    if (width <= 0 || height <= 0) {
        qCWarning(lcDeviceConvert)
            << "nothing to convert in" << fileName << "at" << width << "x" << height;
        return {};
    }
    const std::optional<Bitmap> picture = library.load(fileName);
    if (!picture || picture->isNull()) {
        reportUnreadable(boxes, fileName);
        return {};
    }
    const DevicePicture::LevelLimits limits = DevicePicture::LevelLimits::from(levels);
    std::vector<std::uint8_t> frame = DeviceConvertFast::imageToDevice(
        *picture, width, height, isTitle, isPal, info->bitsPerPixel > 24, limits);
    if (frame.empty())
        qCWarning(lcDeviceConvert) << "no device frame from" << fileName << "(" << picture->width()
                                   << "x" << picture->height() << ")";
    return frame;
}

Bitmap ConvertDeviceToPicture(const std::uint8_t *buffer, std::size_t size, int lines, bool isTitle,
                              bool isPal, bool keepKey, const DevicePicture::LevelSettings &levels)
{
    Bitmap picture;
    if (!DeviceConvertFast::deviceToPicture(buffer, size, lines, isTitle, isPal, keepKey,
                                            DevicePicture::LevelLimits::from(levels), picture))
        return {};
    return picture;
}

DeviceConvertReference::YCbCr ConvertPixelToDevice(int r, int g, int b,
                                                   const DevicePicture::LevelSettings &levels)
{
    return DeviceConvertReference::convertPixelToDevice(r, g, b,
                                                        DevicePicture::LevelLimits::from(levels));
}

DeviceConvertReference::RgbOutliers
ConvertPixelFromDevice(int y, int cb, int cr, const DevicePicture::LevelSettings &levels)
{
    return DeviceConvertReference::convertPixelFromDevice(y, cb, cr,
                                                          DevicePicture::LevelLimits::from(levels));
}
