#pragma once

#include "list/ListRecord.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <span>

class MessageBoxes;
class Waits;
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
    // Look-ups let pending events run between records through waits.
    PropertyHistory(QString historyFile, Waits &waits);

    QString fileName() const { return m_file; }

    // Records or updates each entry's attributes, name, comment and icon frame
    // under its first file, in order. The new history is written whole, once,
    // through SafeFileWriter, so a failed store (a full disk) leaves the file
    // byte for byte. False, quietly, when a path does not fit the key field (the
    // others are recorded) or the file cannot be read or written.
    bool StoreHistory(std::span<const TitleEntry> entries);
    bool StoreHistory(const TitleEntry &entry);
    // The record of a first-file path (IconFrame, Name, Comment, Attributes; Mark 0).
    std::optional<ListRecord> FindHistory(const QString &path) const;
    // Asks message 128 (caption 10); on Yes deletes the file, showing 90 when
    // that fails (a missing file included). Returns whether it was deleted.
    bool ClearHistory(MessageBoxes &boxes);

private:
    // Index of the first whole record of history whose key is key, -1 when there
    // is none; with pump, pending events run after each other record.
    qint64 findRecord(const QByteArray &history, const QByteArray &key, bool pump) const;

    QString m_file;
    Waits &m_waits;
};
