#pragma once

#include "list/ListRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

// The copy of an unsaved send list that the program keeps in its program
// folder while the list has changes, so that a list edited before a crash or
// a power cut can be restored at the next start. The file holds a small
// header (the list file the list belongs to, or none for a new list, the time
// of the last change kept, whether the list was modified), the titles as
// list file records, and a SHA-256 of everything before it, so that a copy
// cut short or damaged is recognised and never restored.
struct RecoveryCopy
{
    // The list file the titles belong to; empty for a list never saved.
    QString OriginalPath;
    // When the last change kept in the copy was made (UTC).
    QDateTime ChangedAt;
    bool Modified = true;
    std::vector<ListRecord> Records;

    // The copy's file in a program folder.
    static QString fileIn(const QString &programFolder);
    QByteArray encode() const;
    // Nothing for anything but a complete, intact copy; why then says what is wrong.
    static std::optional<RecoveryCopy> decode(QByteArrayView bytes, QString *why = nullptr);
};
