#pragma once

#include <QStringList>

// titledeck-cli list set FILE ORDER... [options]: the title property dialog's
// edits for one or many titles of a list file.
int runListSet(const QStringList &arguments);
