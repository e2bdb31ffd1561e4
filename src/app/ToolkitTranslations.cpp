#include "app/ToolkitTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcToolkitTexts, "titledeck.translations", QtWarningMsg)

namespace ToolkitTranslations {

bool install(QCoreApplication &app, Language language)
{
    if (language == Language::English)
        return true;
    // The translator lives as long as the application that uses it.
    auto *translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_ja"), folder)) {
        qCWarning(lcToolkitTexts) << "no Japanese toolkit texts in" << folder
                                  << "(Debian: qt6-translations-l10n)";
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace ToolkitTranslations
