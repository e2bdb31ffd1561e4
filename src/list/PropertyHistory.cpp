#include "list/PropertyHistory.h"

#include "app/MessageBoxes.h"
#include "list/TitleEntry.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QThread>
#include <cstring>

Q_LOGGING_CATEGORY(lcHistory, "titledeck.list.history")

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
    const QByteArray key = keyOf(bytes->left(ListRecord::PathSize));
    QFile file(m_file);
    if (!file.open(QIODevice::ReadWrite)) {
        qCInfo(lcHistory) << "history not recorded:" << file.errorString();
        return;
    }
    // Only whole records count: a damaged tail is overwritten by the next new record.
    const qint64 records = file.size() / ListRecord::HistorySize;
    qint64 at = records * ListRecord::HistorySize;
    for (qint64 i = 0; i < records; ++i) {
        const qint64 pos = i * ListRecord::HistorySize;
        if (!file.seek(pos))
            break;
        const QByteArray field = file.read(ListRecord::PathSize);
        if (field.size() != ListRecord::PathSize)
            break;
        if (keyOf(field) == key) {
            at = pos;
            break;
        }
    }
    if (!file.seek(at) || file.write(*bytes) != bytes->size())
        qCWarning(lcHistory) << "history record not written:" << file.errorString();
}

std::optional<ListRecord> PropertyHistory::FindHistory(const QString &path) const
{
    const std::optional<QByteArray> field = ListRecord::pathField(path);
    if (!field)
        return std::nullopt;
    const QByteArray key = keyOf(*field);
    QFile file(m_file);
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 records = file.size() / ListRecord::HistorySize;
    for (qint64 i = 0; i < records; ++i) {
        if (!file.seek(i * ListRecord::HistorySize))
            return std::nullopt;
        const QByteArray bytes = file.read(ListRecord::HistorySize);
        if (bytes.size() != ListRecord::HistorySize)
            return std::nullopt;
        if (keyOf(bytes.left(ListRecord::PathSize)) == key)
            return ListRecord::fromHistory(
                reinterpret_cast<const std::uint8_t *>(bytes.constData()));
        if (m_pump)
            m_pump();
    }
    return std::nullopt;
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
