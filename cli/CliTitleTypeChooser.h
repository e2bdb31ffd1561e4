#pragma once

#include "imaging/TitleTypeChooser.h"

class MessageBoxes;

// The title type question answered from command-line options: the kind
// ("movie-once", "movie-repeat", "roll-up", "roll-down", "crawl-left",
// "crawl-right", "still"; the dialog's first choice, MOVIE ONCE, when not
// given), the frame count (all frames found when not given) and the icon frame
// (1 when not given). A kind the picture does not allow is reported and counts
// as a cancel.
class CliTitleTypeChooser : public TitleTypeChooser
{
public:
    // Nothing when the option text names no kind.
    static std::optional<QString> kindText(const QString &option);

    void setKind(const QString &kindText) { m_kind = kindText; }
    void setFrames(int frames) { m_frames = frames; }
    void setIcon(int icon) { m_icon = icon; }

    std::optional<TitleTypeAnswer> chooseTitleType(const TitleTypeQuestion &question) override;

private:
    QString m_kind;
    int m_frames = 0;
    int m_icon = 0;
};
