#pragma once

#include <QString>

class ListEditor;
class MessageBoxes;

// At start, before the last list is reopened: a recovery copy left by a run
// that did not end normally is offered for restoring (message 158 with the
// list's name, its title count and the time of its last change). Yes restores
// it as a modified list under its own list file name, so that Save writes it
// there; No removes it. A copy that cannot be read or is damaged is renamed
// (so that it is not offered again but is kept for inspection), message 159
// names it, and the start goes on.
namespace RecoveryOffer {

// Returns whether a list was restored.
bool offerAtStart(ListEditor &editor, const QString &copyFile, MessageBoxes &boxes);
// Where a damaged copy is moved: beside it, not yet taken.
QString damagedName(const QString &copyFile);

} // namespace RecoveryOffer
