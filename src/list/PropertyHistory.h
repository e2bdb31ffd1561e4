#pragma once

#include "list/ListRecord.h"

#include <QString>
#include <functional>
#include <optional>

class MessageBoxes;
class QFile;
struct TitleEntry;

// The property history file ("TitleDeck.vth" in the program folder): one
// 560-byte record per first-file path (compared byte for byte, case-sensitive),
// kept in the order the paths were first recorded. Titles leaving the list are
// recorded; an import may take a recorded title's properties again.
//
// The file is never trusted: a trailing partial record is ignored (new records
// are written at the last whole multiple of 560), and a missing or unwritable
// file only means nothing is recorded or found.
class PropertyHistory
{
public:
    explicit PropertyHistory(QString historyFile);

    QString fileName() const { return m_file; }
    // Called between records of a look-up so that the interface stays alive;
    // by default it processes pending events when called on the application's
    // thread.
    void setPump(std::function<void()> pump) { m_pump = std::move(pump); }

    // Records or updates (in place) the entry's attributes, name, comment and
    // icon frame under its first file. Silently skipped when the file cannot be
    // opened or created, or the path does not fit the key field.
    void StoreHistory(const TitleEntry &entry);
    // The record of a first-file path (IconFrame, Name, Comment, Attributes; Mark 0).
    std::optional<ListRecord> FindHistory(const QString &path) const;
    // Asks message 128 (caption 10); on Yes deletes the file, showing 90 when
    // that fails (a missing file included). Returns whether it was deleted.
    bool ClearHistory(MessageBoxes &boxes);

private:
    // Index of the first whole record whose key is key, -1 when there is none,
    // nothing when the file cannot be read. pump runs after each other record.
    static std::optional<qint64> findRecord(QFile &file, const QByteArray &key,
                                            const std::function<void()> &pump);

    QString m_file;
    std::function<void()> m_pump;
};
