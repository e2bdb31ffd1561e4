#include "imaging/MagickImageLibrary.h"

#include "core/SafeFileWriter.h"
#include "imaging/TargaHeader.h"
#include "imaging/TiffDirectory.h"

#include <Magick++.h>

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <climits>
#include <mutex>
#include <string>

namespace {

Q_LOGGING_CATEGORY(lcMagick, "titledeck.imaging.magick", QtWarningMsg)

constexpr MagickCore::MagickSizeType MiB = 1024 * 1024;

void initialiseMagick()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Magick::InitializeMagick(nullptr);
        // A header may claim any size; these make such a file fail at once instead of
        // reserving gigabytes. Pictures that outgrow memory and map are refused rather
        // than spilled to disk. One thread per call: callers bring their own threads.
        Magick::ResourceLimits::width(MagickImageLibrary::MaxSide);
        Magick::ResourceLimits::height(MagickImageLibrary::MaxSide);
        Magick::ResourceLimits::area(128 * MiB);
        Magick::ResourceLimits::memory(512 * MiB);
        Magick::ResourceLimits::map(1024 * MiB);
        Magick::ResourceLimits::disk(0);
        Magick::ResourceLimits::thread(1);
        qCDebug(lcMagick) << "ImageMagick ready:" << MagickCore::GetMagickVersion(nullptr);
    });
}

QString suffixOf(const QString &path)
{
    return QFileInfo(path).suffix().toUpper();
}

// TARGA has no signature, and its first bytes can look like other formats' (an icon's),
// so TARGA files name their decoder explicitly; other formats are told by their content.
std::string imageSpec(const QString &path)
{
    const std::string local = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
    const QString suffix = suffixOf(path);
    if (suffix == QLatin1String("TGA"))
        return "TGA:" + local;
    if (suffix == QLatin1String("PCT") || suffix == QLatin1String("PICT") ||
        suffix == QLatin1String("PIC"))
        return "PICT:" + local;
    return local;
}

bool readableFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        qCDebug(lcMagick) << "no readable file" << path;
        return false;
    }
    if (info.size() <= 0) {
        qCDebug(lcMagick) << "empty file" << path;
        return false;
    }
    return true;
}

bool photoCd(const QString &path)
{
    if (suffixOf(path) == QLatin1String("PCD"))
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.seek(2048) && file.read(4) == "PCD_";
}

// Warnings leave a usable picture, except those saying the data ran out: the rest of such
// a picture is made up by the decoder.
bool warningSpoilsPicture(const Magick::Warning &warning)
{
    const QString what = QString::fromLocal8Bit(warning.what()).toLower();
    return what.contains(QLatin1String("premature end")) ||
           what.contains(QLatin1String("unexpected end")) ||
           what.contains(QLatin1String("unexpectedendoffile")) ||
           what.contains(QLatin1String("insufficient image data"));
}

// Reads (or only pings) the first picture of a file; false with a log line on any failure.
bool readImage(Magick::Image &image, const QString &path, bool pingOnly)
{
    if (!readableFile(path))
        return false;
    try {
        // Only the first picture of a multi-picture file; but a Photo CD file names its
        // resolutions as pictures, and its default is the base picture (768 x 512).
        if (!photoCd(path)) {
            image.subImage(0);
            image.subRange(1);
        }
        try {
            if (pingOnly)
                image.ping(imageSpec(path));
            else
                image.read(imageSpec(path));
        } catch (const Magick::Warning &warning) {
            if (warningSpoilsPicture(warning)) {
                qCInfo(lcMagick) << "picture incomplete:" << path << warning.what();
                return false;
            }
            qCDebug(lcMagick) << "warning reading" << path << warning.what();
        }
        if (image.columns() == 0 || image.rows() == 0) {
            qCInfo(lcMagick) << "no picture in" << path;
            return false;
        }
        return true;
    } catch (const std::exception &error) {
        qCInfo(lcMagick) << "cannot read" << path << error.what();
    } catch (...) {
        qCWarning(lcMagick) << "cannot read" << path << "(unknown failure)";
    }
    return false;
}

// A 32-bit TARGA whose descriptor declares no alpha bits has no key channel: its
// fourth byte is not alpha, and the picture is opaque.
bool targaWithoutAlpha(const Magick::Image &image, const QString &path)
{
    if (image.magick() != "TGA")
        return false;
    const std::optional<TargaHeader> header = TargaHeader::read(path);
    return header && header->bitsPerPixel == 32 && header->alphaBits() == 0;
}

bool transposingOrientation(Magick::OrientationType orientation)
{
    return orientation == Magick::LeftTopOrientation ||
           orientation == Magick::RightTopOrientation ||
           orientation == Magick::RightBottomOrientation ||
           orientation == Magick::LeftBottomOrientation;
}

// Bits per pixel as the file stores them: 8 for colour-mapped pictures (32 when they carry
// transparency), otherwise the sum over the channels present. Only above 24 does the
// program take a picture's alpha for its key.
int storedBitsPerPixel(const Magick::Image &image, const QString &path)
{
    // ImageMagick reads a TIFF file's samples only when it decodes the pixels.
    if (image.magick() == "TIFF") {
        if (const auto dir = TiffDirectory::read(path))
            return dir->bitsPerPixel();
    }
    bool alpha = image.matte();
    int channels = 3;
    const Magick::ColorspaceType space = image.colorSpace();
    if (space == Magick::GRAYColorspace || space == Magick::Rec601LumaColorspace ||
        space == Magick::Rec709LumaColorspace)
        channels = 1;
    else if (space == Magick::CMYKColorspace)
        channels = 4;
    if (image.classType() == Magick::PseudoClass)
        return alpha ? 32 : 8;
    const int depth = int(std::clamp<std::size_t>(image.depth(), 1, 32));
    // Packed 16-bit TARGA and the like: five bits a colour and at most one of alpha.
    if (depth < 8)
        return channels * depth + (alpha ? 1 : 0);
    return (channels + (alpha ? 1 : 0)) * depth;
}

bool withinLimits(const ImageInfo &info)
{
    return info.width > 0 && info.height > 0 && info.width <= MagickImageLibrary::MaxSide &&
           info.height <= MagickImageLibrary::MaxSide &&
           std::int64_t(info.width) * info.height <= Bitmap::maxPixels();
}

std::optional<ImageInfo> checked(const ImageInfo &info, const QString &path)
{
    if (!withinLimits(info)) {
        qCInfo(lcMagick) << "picture size out of range:" << path << info.width << "x"
                         << info.height;
        return std::nullopt;
    }
    return info;
}

struct SaveFormat
{
    const char *magick;
    bool keepsAlpha;
};

std::optional<SaveFormat> saveFormat(ImageFileFormat format)
{
    switch (format) {
    case ImageFileFormat::Targa:
        return SaveFormat{"TGA", true};
    case ImageFileFormat::Tiff:
        return SaveFormat{"TIFF", true};
    case ImageFileFormat::Bmp:
        // The version 3 header: what every reader of BMP files understands.
        return SaveFormat{"BMP3", false};
    case ImageFileFormat::Jpeg:
        return SaveFormat{"JPEG", false};
    case ImageFileFormat::Pict:
        return SaveFormat{"PICT", false};
    }
    return std::nullopt;
}

} // namespace

MagickImageLibrary::MagickImageLibrary()
{
    initialiseMagick();
}

std::optional<ImageInfo> MagickImageLibrary::fileInfo(const QString &path)
{
    if (suffixOf(path) == QLatin1String("TGA")) {
        std::int64_t size = 0;
        if (const auto header = TargaHeader::read(path, &size)) {
            if (const auto info = header->plainInfo(size))
                return checked(*info, path);
        }
    }
    return libraryFileInfo(path);
}

std::optional<ImageInfo> MagickImageLibrary::libraryFileInfo(const QString &path)
{
    try {
        Magick::Image image;
        if (!readImage(image, path, true))
            return std::nullopt;
        ImageInfo info{int(std::min<std::size_t>(image.columns(), INT_MAX)),
                       int(std::min<std::size_t>(image.rows(), INT_MAX)),
                       storedBitsPerPixel(image, path)};
        // Loading turns the picture right side up; report the size it will have then.
        if (transposingOrientation(image.orientation()))
            std::swap(info.width, info.height);
        return checked(info, path);
    } catch (const std::exception &error) {
        qCInfo(lcMagick) << "cannot read" << path << error.what();
    } catch (...) {
        qCWarning(lcMagick) << "cannot read" << path << "(unknown failure)";
    }
    return std::nullopt;
}

std::optional<Bitmap> MagickImageLibrary::load(const QString &path)
{
    try {
        Magick::Image image;
        if (!readImage(image, path, false))
            return std::nullopt;
        // TARGA files are stored bottom-up or top-down by their header, and TIFF or JPEG
        // files may ask to be turned: hand the picture on right side up.
        image.autoOrient();
        if (image.colorSpace() != Magick::sRGBColorspace)
            image.colorSpace(Magick::sRGBColorspace);
        const ImageInfo size{int(std::min<std::size_t>(image.columns(), INT_MAX)),
                             int(std::min<std::size_t>(image.rows(), INT_MAX)), 32};
        if (!checked(size, path))
            return std::nullopt;
        Bitmap bitmap(size.width, size.height, 32);
        if (bitmap.isNull())
            return std::nullopt;
        image.write(0, 0, image.columns(), image.rows(), "BGRA", Magick::CharPixel, bitmap.bits());
        if (!image.matte() || targaWithoutAlpha(image, path)) {
            std::uint8_t *p = bitmap.bits();
            for (std::size_t i = 3; i < bitmap.sizeInBytes(); i += 4)
                p[i] = 255;
        }
        return bitmap;
    } catch (const std::exception &error) {
        qCInfo(lcMagick) << "cannot load" << path << error.what();
    } catch (...) {
        qCWarning(lcMagick) << "cannot load" << path << "(unknown failure)";
    }
    return std::nullopt;
}

bool MagickImageLibrary::save(const Bitmap &bitmap, const QString &path, ImageFileFormat format,
                              int bitsPerPixel)
{
    return save(bitmap, path, format, bitsPerPixel, nullptr);
}

bool MagickImageLibrary::save(const Bitmap &bitmap, const QString &path, ImageFileFormat format,
                              int bitsPerPixel, QString *why)
{
    const auto fail = [&](const QString &reason) {
        qCInfo(lcMagick) << "cannot save" << path << reason;
        if (why)
            *why = reason;
        return false;
    };
    const auto target = saveFormat(format);
    if (bitmap.isNull() || !target || (bitsPerPixel != 24 && bitsPerPixel != 32))
        return fail(QStringLiteral("nothing to save, or no such format or depth"));
    const bool alpha = target->keepsAlpha && bitsPerPixel == 32;
    try {
        const Bitmap pixels = bitmap.converted(alpha ? 32 : 24);
        Magick::Image image(std::size_t(pixels.width()), std::size_t(pixels.height()),
                            alpha ? "BGRA" : "BGR", Magick::CharPixel, pixels.bits());
        image.matte(alpha);
        // Never let the writer pick a grey or colour-mapped variant for a plain picture.
        image.type(alpha ? Magick::TrueColorMatteType : Magick::TrueColorType);
        image.depth(8);
        // TARGA: rows written top-down, with that origin declared in the header.
        image.orientation(Magick::TopLeftOrientation);
        switch (format) {
        case ImageFileFormat::Targa:
        case ImageFileFormat::Tiff:
            image.compressType(Magick::NoCompression);
            break;
        case ImageFileFormat::Jpeg:
            // Saved titles and clips are meant to come back as they went: the highest
            // quality short of the very large files of 100 (and full-resolution colour).
            image.quality(95);
            break;
        case ImageFileFormat::Bmp:
        case ImageFileFormat::Pict:
            break;
        }
        Magick::Blob blob;
        try {
            image.write(&blob, target->magick);
        } catch (const Magick::Warning &warning) {
            qCDebug(lcMagick) << "warning writing" << path << warning.what();
        }
        if (blob.length() == 0)
            return fail(QStringLiteral("the picture library wrote nothing"));
        // The encoded picture replaces the old file only once it is whole on the disk.
        const QByteArrayView bytes(static_cast<const char *>(blob.data()),
                                   qsizetype(blob.length()));
        QString reason;
        return SafeFileWriter::replace(path, bytes, &reason) || fail(reason);
    } catch (const std::exception &error) {
        return fail(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return fail(QStringLiteral("unknown failure of the picture library"));
    }
}
