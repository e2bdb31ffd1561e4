#pragma once

#include "app/TFormMain.h"
#include "core/AppPaths.h"
#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "imaging/MagickImageLibrary.h"
#include "imaging/TitleTypeChooser.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QColor>
#include <QList>
#include <memory>

struct TitleEntry;

namespace ListUiFixtures {

// Writes a w x h TARGA picture: a coloured ground with a text line, as a title
// artist would make it. Returns whether it was written.
bool writePicture(MagickImageLibrary &images, const QString &path, int w, int h,
                  const QColor &ground, const QString &text, const QColor &ink = Qt::white);
// Writes a numbered sequence base001.tga .. base<count>.tga; returns the first file.
QString writeSequence(MagickImageLibrary &images, const QString &folder, const QString &base,
                      int count, int w, int h, const QColor &ground, const QString &text);

// A title for the grid alone (no files): kind, blocks, frames and properties set directly.
TitleEntry gridTitle(const QString &name, int blocksPerFrame = 8, int frames = 1);

// Answers the title type question from a queue; cancels when it is empty.
class ScriptedChooser : public TitleTypeChooser
{
public:
    std::optional<TitleTypeAnswer> chooseTitleType(const TitleTypeQuestion &question) override;
    void answer(TitleTypeKind kind, int frames, int icon)
    {
        m_answers.append({kind, frames, icon});
    }
    QList<TitleTypeQuestion> asked;

private:
    QList<TitleTypeAnswer> m_answers;
};

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
    QString iniFile() const { return env.path(QStringLiteral("TitleDeck.ini")); }
    QString folder(const QString &name) const;
};

} // namespace ListUiFixtures
