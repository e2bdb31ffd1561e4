// TitleDeck: the title manager of the KL-VT90 video mixer.

#include "app/AppPaths.h"
#include "app/DialogMessageBoxes.h"
#include "app/SettingsStore.h"
#include "app/SingleInstance.h"
#include "app/TFormMain.h"
#include "app/TFormSplash.h"
#include "app/Waits.h"
#include "imaging/MagickImageLibrary.h"
#include "resources/MessageTable.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TitleDeck"));
    QApplication::setApplicationDisplayName(QStringLiteral("TitleDeck"));
    QApplication::setOrganizationName(QStringLiteral("Korvel KL-VT90"));
    QApplication::setApplicationVersion(QStringLiteral(TITLEDECK_VERSION));

    MessageTable::setLanguage(MessageTable::chooseLanguage());
    DialogMessageBoxes boxes;

    const AppPaths paths = AppPaths::standard();
    SingleInstance instance(paths.ProgramFolder);
    if (!instance.acquire()) {
        ShowMessageById(boxes, 1, 81, MsgError);
        return 0;
    }

    auto *splash = new TFormSplash;
    splash->showNow();

    MagickImageLibrary images;
    SettingsStore store;
    Waits waits;
    TFormMain main(MainServices{boxes, images, store, waits, paths});
    if (!main.created())
        return -1;
    main.show();
    // The window is destroyed before the instance lock is released.
    return app.exec();
}
