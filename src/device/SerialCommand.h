#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The RS-232C style commands the mixer's controller takes through
// SendSerialCommand, and the 34-byte block that carries one of them.
namespace SerialCommand {

struct Entry
{
    const char *name;
    int parameterCount;
};

// The 64 commands offered, in the order of the command list.
const QList<Entry> &table();
// The parameter count of a command name, or -1 when it is not in the table.
int parameterCount(const QString &name);

// Zero-filled 34 bytes: the first three characters of the command, ":", then
// the parameters in order (only the first `enabledCount`); for "WFV" a "/"
// goes before parameters 3 and 4 and a "-" before parameter 5. Copying stops
// when the block is full.
QByteArray buildBlock(const QString &command, const QStringList &parameters, int enabledCount);

} // namespace SerialCommand
