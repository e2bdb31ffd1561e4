#pragma once

#include "resources/MessageTable.h"

class QCoreApplication;

// The toolkit's own texts (message box buttons, the file dialog's labels and
// its messages) in the program's language. The program's texts come from the
// message table; these come from the toolkit's translations as the system
// installs them.
namespace ToolkitTranslations {

// Installs the toolkit's translation for language on app (nothing for
// English, which the toolkit speaks itself). Returns whether the texts are
// in that language: false when the system has no translation files for it.
bool install(QCoreApplication &app, Language language);

} // namespace ToolkitTranslations
