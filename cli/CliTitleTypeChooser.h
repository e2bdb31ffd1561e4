#pragma once

#include "imaging/TitleTypeChooser.h"

#include <QString>
#include <optional>

// The title type question answered from command-line options: the kind
// ("movie-once", "movie-repeat", "roll-up", "roll-down", "crawl-left",
// "crawl-right", "still"; the dialog's first choice, MOVIE ONCE, when not
// given), the frame count (all frames found when not given) and the icon frame
// (1 when not given). A kind the picture does not allow is reported and counts
// as a cancel.
class CliTitleTypeChooser : public TitleTypeChooser
{
public:
    // The kind an option names; nothing for another text.
    static std::optional<TitleTypeKind> kindOption(const QString &option);
    // The option that names a kind.
    static QString optionOf(TitleTypeKind kind);

    void setKind(TitleTypeKind kind) { m_kind = kind; }
    void setFrames(int frames) { m_frames = frames; }
    void setIcon(int icon) { m_icon = icon; }

    std::optional<TitleTypeAnswer> chooseTitleType(const TitleTypeQuestion &question) override;
    // How many answers were refused with a message on standard error.
    int refusalCount() const { return m_refusals; }

private:
    std::optional<TitleTypeKind> m_kind;
    int m_frames = 0;
    int m_icon = 0;
    int m_refusals = 0;
};
