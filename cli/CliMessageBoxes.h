#pragma once

#include "core/MessageBoxes.h"

// Message boxes of the command line: every message is printed to standard
// error as "caption: text"; questions are answered No (Cancel where offered),
// errors OK. The count of messages shown lets a command tell whether any
// message was shown.
class CliMessageBoxes : public MessageBoxes
{
public:
    int show(int captionId, int textId, const QString &caption, const QString &text,
             int flags) override;

    int shownCount() const { return m_shown; }

private:
    int m_shown = 0;
};
