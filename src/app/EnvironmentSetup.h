#pragma once

#include <QString>

struct EnvironmentSettings;

// The rules of the environment dialog, apart from its controls.
namespace EnvironmentSetup {

// A folder field that is left: a folder that exists is kept (as an absolute,
// clean path, as paths are stored); anything else goes back to the value the
// main window holds for that folder.
QString checkedFolder(const QString &typed, const QString &current);

// OK: the dialog's values into the main window's settings at once. The view
// mode, the IntVideo filter and the auto-load window's endless play are not
// the dialog's and stay as they are.
void store(const EnvironmentSettings &edited, EnvironmentSettings &target);

} // namespace EnvironmentSetup
