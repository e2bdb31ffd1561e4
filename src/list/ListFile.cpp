#include "list/ListFile.h"

#include "core/MessageBoxes.h"
#include "core/ParallelWork.h"
#include "core/SafeFileWriter.h"
#include "list/CheckTitle.h"
#include "list/ImageImport.h"
#include "list/ListServices.h"
#include "list/TitleEntry.h"
#include "list/TitleList.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcListFile, "titledeck.list.file", QtWarningMsg)

namespace ListFile {

LoadResult prepareTitleRecord(TitleEntry &entry, const ListRecord &record, bool keepDeviceFields,
                              const VideoFormatParams &format, ImageLibrary &images)
{
    if (record.FirstFile.isEmpty() || !QFileInfo::exists(record.FirstFile))
        return LoadResult::Missing;
    entry.Attributes = record.Attributes;
    if (!keepDeviceFields) {
        entry.Attributes.setMemoryNo(MemoryNo::NotStored);
        entry.Attributes.setDeviceWord(0);
    }
    entry.FileList = QStringList{record.FirstFile};
    entry.Name = record.Name;
    entry.Comment = record.Comment;
    entry.Selected = false;
    entry.NoRoom = false;
    // A damaged mark must never address one of the Mark commands.
    entry.Mark = record.markOrNone();
    entry.IconFrame = record.IconFrame;

    const int frameCount = entry.Attributes.frameCount();
    if (frameCount != 1) {
        // Files beyond the frame count would be dropped anyway: look no further.
        const int wanted =
            frameCount == 0 ? 1 : std::min(frameCount - 1, int(ImageImport::MaxFollowingFiles));
        QStringList found;
        if (!ImageImport::DetectSequence(record.FirstFile, found, wanted))
            return LoadResult::Missing;
        entry.FileList += found;
        while (entry.FileList.size() > frameCount)
            entry.FileList.removeLast();
        if (entry.FileList.size() < frameCount)
            return LoadResult::Missing;
    }
    if (!CheckTitle(entry, format, images)) {
        entry.FileList.clear();
        return LoadResult::Invalid;
    }
    return LoadResult::Loaded;
}

void reportLoadResult(LoadResult result, const QString &firstFile, MessageBoxes &boxes)
{
    switch (result) {
    case LoadResult::Loaded:
        break;
    case LoadResult::Missing:
        ShowMessageById(boxes, 1, 86, MsgError, {firstFile});
        break;
    case LoadResult::Invalid:
        ShowMessageById(boxes, 1, 88, MsgError);
        break;
    }
}

bool LoadTitleRecord(TitleEntry &entry, const ListRecord &record, bool keepDeviceFields,
                     ListServices &services)
{
    // The headers of every frame are read on a worker; the interface stays alive.
    LoadResult result = LoadResult::Missing;
    const VideoFormatParams &format = services.format();
    ParallelWork::run(services.waits, 1, [&](int) {
        result = prepareTitleRecord(entry, record, keepDeviceFields, format, services.images);
    });
    reportLoadResult(result, record.FirstFile, services.boxes);
    return result == LoadResult::Loaded;
}

std::optional<std::vector<ListRecord>> readRecords(const QString &path, bool reportMissing,
                                                   MessageBoxes &boxes)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (reportMissing)
            ShowMessageById(boxes, 1, 87, MsgError);
        return std::nullopt;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        ShowMessageById(boxes, 1, 91, MsgError);
        return std::nullopt;
    }
    const qint64 size = file.size();
    if (size % ListRecord::ListSize != 0) {
        ShowMessageById(boxes, 1, 89, MsgError);
        return std::nullopt;
    }
    const qint64 count = std::min<qint64>(size / ListRecord::ListSize, TitleList::MaxTitles);
    std::vector<ListRecord> records;
    records.reserve(std::size_t(count));
    for (qint64 i = 0; i < count; ++i) {
        const QByteArray bytes = file.read(ListRecord::ListSize);
        // The file shrank while it was read: what is left is damaged.
        if (bytes.size() != ListRecord::ListSize) {
            ShowMessageById(boxes, 1, 89, MsgError);
            return std::nullopt;
        }
        records.push_back(
            ListRecord::fromList(reinterpret_cast<const std::uint8_t *>(bytes.constData())));
    }
    return records;
}

QByteArray encodeRecords(const std::vector<ListRecord> &records)
{
    QByteArray out;
    out.reserve(qsizetype(records.size()) * ListRecord::ListSize);
    for (const ListRecord &record : records) {
        if (const std::optional<QByteArray> bytes = record.toList())
            out += *bytes;
        else
            qCWarning(lcListFile) << "path cannot be kept in a list file:" << record.FirstFile;
    }
    return out;
}

bool replaceFileContents(const QString &path, const QByteArray &bytes)
{
    return SafeFileWriter::replace(path, bytes);
}

} // namespace ListFile
