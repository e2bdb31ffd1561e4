#include "list/PropertyHistory.h"

#include "core/MessageBoxes.h"
#include "list/TitleEntry.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QThread>
#include <algorithm>
#include <cstring>

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

PropertyHistory::PropertyHistory(QString historyFile) : m_file(std::move(historyFile))
{
    // Pending events run between records, as long as this is the interface's thread.
    m_pump = [] {
        QCoreApplication *app = QCoreApplication::instance();
        if (app && QThread::currentThread() == app->thread())
            QCoreApplication::processEvents();
    };
}

void PropertyHistory::StoreHistory(const TitleEntry &entry)
{
    const std::optional<QByteArray> bytes = recordOf(entry).toHistory();
    if (!bytes) {
        qCInfo(lcHistory) << "path cannot be recorded:" << entry.firstFile();
        return;
    }
    QFile file(m_file);
    if (!file.open(QIODevice::ReadWrite)) {
        qCInfo(lcHistory) << "history not recorded:" << file.errorString();
        return;
    }
    const std::optional<qint64> found =
        findRecord(file, keyOf(bytes->left(ListRecord::PathSize)), {});
    if (!found)
        return;
    // Updated in place, or appended after the last whole record (a damaged
    // tail is overwritten).
    const qint64 at = *found >= 0 ? *found : file.size() / ListRecord::HistorySize;
    if (!file.seek(at * ListRecord::HistorySize) || file.write(*bytes) != bytes->size())
        qCWarning(lcHistory) << "history record not written:" << file.errorString();
}

std::optional<ListRecord> PropertyHistory::FindHistory(const QString &path) const
{
    const std::optional<QByteArray> field = ListRecord::pathField(path);
    if (!field)
        return std::nullopt;
    QFile file(m_file);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<qint64> found = findRecord(file, keyOf(*field), m_pump);
    if (!found || *found < 0 || !file.seek(*found * ListRecord::HistorySize))
        return std::nullopt;
    const QByteArray bytes = file.read(ListRecord::HistorySize);
    if (bytes.size() != ListRecord::HistorySize)
        return std::nullopt;
    return ListRecord::fromHistory(reinterpret_cast<const std::uint8_t *>(bytes.constData()));
}

std::optional<qint64> PropertyHistory::findRecord(QFile &file, const QByteArray &key,
                                                  const std::function<void()> &pump)
{
    // Whole records only, read in large blocks: a history of thousands of
    // records is searched once per title leaving the list.
    constexpr qint64 BlockRecords = 256;
    const qint64 records = file.size() / ListRecord::HistorySize;
    if (!file.seek(0))
        return std::nullopt;
    for (qint64 first = 0; first < records; first += BlockRecords) {
        const qint64 count = std::min(BlockRecords, records - first);
        const QByteArray block = file.read(count * ListRecord::HistorySize);
        if (block.size() != count * ListRecord::HistorySize) {
            qCWarning(lcHistory) << "history unreadable:" << file.errorString();
            return std::nullopt;
        }
        for (qint64 i = 0; i < count; ++i) {
            const QByteArray field = QByteArray::fromRawData(
                block.constData() + i * ListRecord::HistorySize, ListRecord::PathSize);
            if (keyOf(field) == key)
                return first + i;
            if (pump)
                pump();
        }
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
