#pragma once

#include "core/MessageBoxes.h"

#include <QList>
#include <QString>

// Message boxes for tests: records every message shown and answers from a
// script (first in, first out); with the script empty it answers the default.
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        int captionId;
        int textId;
        QString caption;
        QString text;
        int flags;
    };

    int show(int captionId, int textId, const QString &caption, const QString &text,
             int flags) override;

    void answer(int button) { m_answers.append(button); }
    void setDefaultAnswer(int button) { m_default = button; }
    QList<int> shownIds() const;
    const QList<Shown> &shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QList<int> m_answers;
    QList<Shown> m_shown;
    int m_default = IdOk;
};
