// titledeck-cli convert: the device picture conversions on files. to-device
// writes the exact buffer an upload would send; from-device turns a buffer of
// device lines into the picture a save would write.

#include "CliCommand.h"
#include "CliMessageBoxes.h"
#include "core/SafeFileWriter.h"
#include "imaging/DeviceConvert.h"
#include "imaging/DevicePicture.h"
#include "imaging/MagickImageLibrary.h"

#include <QFile>
#include <QFileInfo>

namespace {

int usageError(const QString &what)
{
    cliErr() << "titledeck-cli convert: " << what << "\n"
             << "usage: titledeck-cli convert to-device PICTURE -o OUT [--signal ntsc|pal] [--clip]"
                " [--width W --height H] [--yuv-max 0|1] [--yuv-min 0|1]\n"
             << "       titledeck-cli convert from-device IN -o PICTURE --lines N [--pal] [--clip]"
                " [--keep-key] [--yuv-max 0|1] [--yuv-min 0|1]\n";
    return 2;
}

int failure(const QString &what)
{
    cliErr() << "titledeck-cli convert: " << what << "\n";
    return 1;
}

struct Options
{
    QString input;
    QString output;
    bool pal = false;
    bool clip = false;
    bool keepKey = false;
    int width = -1;
    int height = -1;
    int lines = -1;
    DevicePicture::LevelSettings levels;
};

bool parseInt(const QString &text, int &value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok;
}

// Parses the arguments after the direction; returns an error text, empty when fine.
QString parse(const QStringList &args, bool toDevice, Options &o)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        auto value = [&](QString &out) {
            if (i + 1 >= args.size())
                return false;
            out = args.at(++i);
            return true;
        };
        QString v;
        if (a == QLatin1String("-o")) {
            if (!value(o.output))
                return QStringLiteral("-o needs a file name");
        } else if (a == QLatin1String("--clip")) {
            o.clip = true;
        } else if (toDevice && a == QLatin1String("--signal")) {
            if (!value(v) || (v != QLatin1String("ntsc") && v != QLatin1String("pal")))
                return QStringLiteral("--signal takes ntsc or pal");
            o.pal = v == QLatin1String("pal");
        } else if (toDevice && (a == QLatin1String("--width") || a == QLatin1String("--height"))) {
            int n = 0;
            if (!value(v) || !parseInt(v, n) || n < 0)
                return a + QStringLiteral(" takes a number of pixels");
            (a == QLatin1String("--width") ? o.width : o.height) = n;
        } else if (!toDevice && a == QLatin1String("--pal")) {
            o.pal = true;
        } else if (!toDevice && a == QLatin1String("--keep-key")) {
            o.keepKey = true;
        } else if (!toDevice && a == QLatin1String("--lines")) {
            if (!value(v) || !parseInt(v, o.lines) || o.lines < 1)
                return QStringLiteral("--lines takes a number of lines, 1 or more");
        } else if (a == QLatin1String("--yuv-max") || a == QLatin1String("--yuv-min")) {
            int n = 0;
            if (!value(v) || !parseInt(v, n) || (n != 0 && n != 1))
                return a + QStringLiteral(" takes 0 or 1");
            (a == QLatin1String("--yuv-max") ? o.levels.yuvMax : o.levels.yuvMin) = n;
        } else if (a.startsWith(QLatin1Char('-')) || !o.input.isEmpty()) {
            return QStringLiteral("unexpected argument: ") + a;
        } else {
            o.input = a;
        }
    }
    if (o.input.isEmpty())
        return QStringLiteral("no input file");
    if (o.output.isEmpty())
        return QStringLiteral("no output file (-o)");
    if (toDevice && ((o.width < 0) != (o.height < 0)))
        return QStringLiteral("--width and --height go together");
    if (!toDevice && o.lines < 1)
        return QStringLiteral("--lines is required");
    return {};
}

int toDevice(const QStringList &args)
{
    Options o;
    const QString error = parse(args, true, o);
    if (!error.isEmpty())
        return usageError(error);

    MagickImageLibrary library;
    CliMessageBoxes boxes;
    int width = o.width;
    int height = o.height;
    if (width < 0) {
        // As import fills a title's size: the picture's, cut to the format's largest.
        const DevicePicture::FormatFigures &format = DevicePicture::FormatFigures::of(o.pal);
        if (const std::optional<ImageInfo> info = library.fileInfo(o.input)) {
            width = qMin(info->width, format.maxWidth);
            height = qMin(info->height, format.maxHeight);
        } else {
            width = format.maxWidth; // the conversion reports the unreadable file
            height = format.maxHeight;
        }
    }
    const std::vector<std::uint8_t> frame =
        ConvertImageToDevice(library, boxes, o.input, width, height, !o.clip, o.pal, o.levels);
    if (frame.empty())
        return failure(QStringLiteral("no device frame made from %1 (%2 x %3)")
                           .arg(o.input)
                           .arg(width)
                           .arg(height));

    QString why;
    if (!SafeFileWriter::replace(
            o.output,
            QByteArrayView(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size())),
            &why))
        return failure(QStringLiteral("cannot write %1: %2").arg(o.output, why));

    DevicePicture::UploadGeometry g;
    DevicePicture::uploadGeometry(width, height, width, height, o.pal, g);
    cliOut() << o.output << ": " << frame.size() << " bytes, " << g.outWidth << " x " << g.height
             << " device pixels (" << (o.pal ? "PAL" : "NTSC") << (o.clip ? ", clip" : ", title")
             << ")\n";
    return 0;
}

int fromDevice(const QStringList &args)
{
    Options o;
    const QString error = parse(args, false, o);
    if (!error.isEmpty())
        return usageError(error);

    // Save formats by extension, as the save job chooses them.
    const QString ext = QFileInfo(o.output).suffix().toUpper();
    ImageFileFormat format;
    bool alphaKept = false;
    if (ext == QLatin1String("BMP")) {
        format = ImageFileFormat::Bmp;
    } else if (ext == QLatin1String("TGA")) {
        format = ImageFileFormat::Targa;
        alphaKept = true;
    } else if (ext == QLatin1String("JPG")) {
        format = ImageFileFormat::Jpeg;
    } else if (ext == QLatin1String("TIF")) {
        format = ImageFileFormat::Tiff;
        alphaKept = true;
    } else if (ext == QLatin1String("PCT") || ext == QLatin1String("PIC")) {
        format = ImageFileFormat::Pict;
    } else {
        return usageError(
            QStringLiteral("the picture must end in .bmp, .tga, .jpg, .tif, .pct or .pic"));
    }
    const bool keepKey = o.keepKey && alphaKept;

    QFile in(o.input);
    if (!in.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("cannot read %1: %2").arg(o.input, in.errorString()));
    const qint64 need = qint64(o.lines) * DevicePicture::LineBytes;
    if (in.size() < need)
        return failure(QStringLiteral("%1 holds %2 bytes, fewer than %3 lines of %4 bytes")
                           .arg(o.input)
                           .arg(in.size())
                           .arg(o.lines)
                           .arg(DevicePicture::LineBytes));
    const QByteArray data = in.read(need);
    if (data.size() != need)
        return failure(QStringLiteral("cannot read %1: %2").arg(o.input, in.errorString()));

    const Bitmap picture = ConvertDeviceToPicture(
        reinterpret_cast<const std::uint8_t *>(data.constData()), std::size_t(data.size()), o.lines,
        !o.clip, o.pal, keepKey, o.levels);
    if (picture.isNull())
        return failure(QStringLiteral("no picture made from %1").arg(o.input));
    MagickImageLibrary library;
    QString why;
    if (!library.save(picture, o.output, format, picture.bitsPerPixel(), &why))
        return failure(QStringLiteral("cannot write %1: %2").arg(o.output, why));
    cliOut() << o.output << ": " << picture.width() << " x " << picture.height() << ", "
             << picture.bitsPerPixel() << " bits, " << QFileInfo(o.output).size() << " bytes\n";
    return 0;
}

int runConvert(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usageError(QStringLiteral("to-device or from-device?"));
    const QString direction = arguments.first();
    if (direction == QLatin1String("to-device"))
        return toDevice(arguments.mid(1));
    if (direction == QLatin1String("from-device"))
        return fromDevice(arguments.mid(1));
    return usageError(QStringLiteral("unknown direction: ") + direction);
}

} // namespace

static CliCommand convertCommand(
    "convert",
    "convert to-device PICTURE -o OUT [--signal ntsc|pal] [--clip] [--width W --height H]"
    " [--yuv-max 0|1] [--yuv-min 0|1]\n"
    "  convert from-device IN -o PICTURE --lines N [--pal] [--clip] [--keep-key]"
    " [--yuv-max 0|1] [--yuv-min 0|1]",
    &runConvert);
