// Titles loaded from list records, as opening a list loads them: the first
// file and the frames that follow it on disk (the number in the file name),
// and the record's properties checked against the pictures' sizes.

#include "FuzzSupport.h"
#include "core/MemoryNo.h"
#include "core/VideoFormatParams.h"
#include "imaging/ImageLibrary.h"
#include "list/ListFile.h"
#include "list/ListRecord.h"
#include "list/TitleEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Picture sizes as the input gives them, one per question (sides of at least one
// pixel, as the picture library answers); no file is decoded.
class FuzzImageLibrary : public ImageLibrary
{
public:
    explicit FuzzImageLibrary(FuzzedDataProvider &in) : m_in(in) {}
    std::optional<ImageInfo> fileInfo(const QString &path) override
    {
        FUZZ_CHECK(QFileInfo::exists(path));
        if (m_in.ConsumeBool())
            return std::nullopt;
        return ImageInfo{m_in.ConsumeIntegralInRange(1, 2000), m_in.ConsumeIntegralInRange(1, 2000),
                         m_in.ConsumeBool() ? 32 : 24};
    }
    std::optional<Bitmap> load(const QString &) override { return std::nullopt; }
    bool save(const Bitmap &, const QString &, ImageFileFormat, int) override { return false; }

private:
    FuzzedDataProvider &m_in;
};

void touch(const QString &path)
{
    QFile file(path);
    (void)file.open(QIODevice::WriteOnly);
}

// The names of frames that may follow stem + digits + extension: the next
// numbers, zero-padded when the digits are.
QStringList following(const QString &name, int count)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    const QString stem = name.left(name.size() - extension.size());
    qsizetype n = 0;
    while (n < stem.size() && n < 9 && stem.at(stem.size() - 1 - n).isDigit() &&
           stem.at(stem.size() - 1 - n) <= QLatin1Char('9'))
        ++n;
    QStringList names;
    if (n == 0)
        return names;
    const qulonglong first = stem.right(n).toULongLong();
    for (int k = 1; k <= count; ++k)
        names << stem.left(stem.size() - n) +
                     QString::number(first + qulonglong(k)).rightJustified(n, QLatin1Char('0')) +
                     extension;
    return names;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString folder = FuzzSupport::scratchFile(QStringLiteral("titles"));
    FuzzedDataProvider in(data, size);
    std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(ListRecord::ListSize);
    bytes.resize(ListRecord::ListSize, 0);
    ListRecord record = ListRecord::fromList(bytes.data());
    const bool keepDeviceFields = in.ConsumeBool();
    const VideoFormatParams &format =
        in.ConsumeBool() ? VideoFormatParams::pal() : VideoFormatParams::ntsc();
    const int frames = in.ConsumeIntegralInRange(0, 12);

    // The record's file, by its name, in a folder of its own with the frames
    // that follow it; sometimes the file itself is missing.
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QString name = record.FirstFile.mid(record.FirstFile.lastIndexOf(QLatin1Char('\\')) + 1);
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1).left(80);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("frame001.tga");
    record.FirstFile = folder + QLatin1Char('/') + name;
    if (in.ConsumeIntegralInRange(0, 15) != 0)
        touch(record.FirstFile);
    for (const QString &next : following(name, frames))
        touch(folder + QLatin1Char('/') + next);

    FuzzImageLibrary images(in);
    TitleEntry entry = TitleEntry::create();
    const ListFile::LoadResult result =
        ListFile::prepareTitleRecord(entry, record, keepDeviceFields, format, images);
    if (!QFileInfo::exists(record.FirstFile))
        FUZZ_CHECK(result == ListFile::LoadResult::Missing);
    if (result != ListFile::LoadResult::Loaded)
        return 0;

    // A loaded title has its frames, each on disk, the first being the record's
    // file, and properties the mixer can take.
    const TitleAttributes &a = entry.Attributes;
    FUZZ_CHECK(entry.FileList.size() == std::max(a.frameCount(), 1));
    FUZZ_CHECK(entry.FileList.first() == record.FirstFile);
    for (const QString &file : std::as_const(entry.FileList))
        FUZZ_CHECK(QFileInfo::exists(file));
    FUZZ_CHECK(entry.FileList.removeDuplicates() == 0);
    FUZZ_CHECK(entry.IconFrame >= 1 && entry.IconFrame <= a.frameCount());
    FUZZ_CHECK(entry.Mark >= 0 && entry.Mark <= 9);
    FUZZ_CHECK(a.width() <= format.maxWidth() && a.height() <= format.maxHeight());
    FUZZ_CHECK(a.positionX() <= 720 && a.positionY() <= format.maxHeight());
    FUZZ_CHECK(keepDeviceFields ? a.memoryNo() == record.Attributes.memoryNo()
                                : a.memoryNo() == MemoryNo::NotStored && a.deviceWord() == 0);
    return 0;
}
