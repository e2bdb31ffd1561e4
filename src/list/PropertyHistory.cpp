#include "list/PropertyHistory.h"

#include "core/MessageBoxes.h"
#include "core/SafeFileWriter.h"
#include "core/Waits.h"
#include "list/TitleEntry.h"

#include <QFile>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcHistory, "titledeck.list.history", QtWarningMsg)

namespace {

// The key field's path bytes: up to its first NUL, at most the whole field.
QByteArray keyOf(const QByteArray &field)
{
    const qsizetype nul = field.indexOf('\0');
    return nul < 0 ? field : field.left(nul);
}

ListRecord recordOf(const TitleEntry &entry)
{
    ListRecord r;
    r.FirstFile = entry.firstFile();
    r.Attributes = entry.Attributes;
    r.Name = entry.Name;
    r.Comment = entry.Comment;
    r.IconFrame = entry.IconFrame;
    return r;
}

} // namespace

PropertyHistory::PropertyHistory(QString historyFile, Waits &waits)
    : m_file(std::move(historyFile)), m_waits(waits)
{}

bool PropertyHistory::StoreHistory(const TitleEntry &entry)
{
    return StoreHistory(std::span<const TitleEntry>(&entry, 1));
}

bool PropertyHistory::StoreHistory(std::span<const TitleEntry> entries)
{
    // The whole history, read and written again: updating the file in place could
    // leave a record half written when the disk fills.
    QByteArray history;
    if (QFile file(m_file); file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            qCInfo(lcHistory) << "history not recorded:" << file.errorString();
            return false;
        }
        history = file.readAll();
        if (history.size() != file.size()) {
            qCWarning(lcHistory) << "history unreadable:" << file.errorString();
            return false;
        }
    }
    bool allRecorded = true;
    for (const TitleEntry &entry : entries) {
        const std::optional<QByteArray> bytes = recordOf(entry).toHistory();
        if (!bytes) {
            qCInfo(lcHistory) << "path cannot be recorded:" << entry.firstFile();
            allRecorded = false;
            continue;
        }
        // No events run here: titles are recorded while they leave the list.
        const qint64 found = findRecord(history, keyOf(bytes->left(ListRecord::PathSize)), false);
        if (found >= 0)
            history.replace(found * ListRecord::HistorySize, ListRecord::HistorySize, *bytes);
        else { // after the last whole record: a damaged tail is overwritten
            history.truncate(history.size() - history.size() % ListRecord::HistorySize);
            history += *bytes;
        }
    }
    return SafeFileWriter::replace(m_file, history) && allRecorded;
}

std::optional<ListRecord> PropertyHistory::FindHistory(const QString &path) const
{
    const std::optional<QByteArray> field = ListRecord::pathField(path);
    if (!field)
        return std::nullopt;
    QFile file(m_file);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray history = file.readAll();
    const qint64 found = findRecord(history, keyOf(*field), true);
    if (found < 0)
        return std::nullopt;
    return ListRecord::fromHistory(reinterpret_cast<const std::uint8_t *>(history.constData()) +
                                   found * ListRecord::HistorySize);
}

qint64 PropertyHistory::findRecord(const QByteArray &history, const QByteArray &key,
                                   bool pump) const
{
    // Whole records only: a trailing partial record is never a match.
    const qint64 records = history.size() / ListRecord::HistorySize;
    for (qint64 i = 0; i < records; ++i) {
        const QByteArray field = QByteArray::fromRawData(
            history.constData() + i * ListRecord::HistorySize, ListRecord::PathSize);
        if (keyOf(field) == key)
            return i;
        if (pump)
            m_waits.processPending();
    }
    return -1;
}

bool PropertyHistory::ClearHistory(MessageBoxes &boxes)
{
    if (ShowMessageById(boxes, 10, 128, MsgQuestionYesNo) != IdYes)
        return false;
    if (!QFile::remove(m_file)) {
        ShowMessageById(boxes, 1, 90, MsgError);
        return false;
    }
    return true;
}
