#pragma once

#include "app/TFormMain.h"
#include "core/AppPaths.h"
#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "imaging/MagickImageLibrary.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QColor>
#include <QList>
#include <memory>

namespace ListUiFixtures {

// Writes a w x h picture of one colour (TARGA, or BMP or JPEG by the name).
bool writePicture(MagickImageLibrary &images, const QString &path, int w, int h,
                  const QColor &ground);

// A main window with its own settings, program folder and scripted message boxes.
struct WindowRig
{
    TestEnvironment env;
    ScriptedMessageBoxes boxes;
    MagickImageLibrary images;
    Waits waits{0.01};
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<TFormMain> window;

    explicit WindowRig(const QByteArray &ini = {});
    // Shows the window; false when it is never exposed.
    bool show();
    QString iniFile() const { return env.path(QStringLiteral("TitleDeck.ini")); }
    QString folder(const QString &name) const;
    // A 64 x 48 picture of that name in the folder "p"; returns its path.
    QString picture(const QString &fileName);
    // Three 64 x 48 pictures base001.tga .. base003.tga in the folder "seq".
    QStringList sequence(const QString &base);
};

} // namespace ListUiFixtures
