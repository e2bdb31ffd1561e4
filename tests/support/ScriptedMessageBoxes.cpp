#include "support/ScriptedMessageBoxes.h"

int ScriptedMessageBoxes::show(int captionId, int textId, const QString &caption,
                               const QString &text, int flags)
{
    m_shown.append({captionId, textId, caption, text, flags});
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    if (m_default == IdOk && flags != MsgError)
        return (flags & 0x0F) == 3 ? IdCancel : IdNo;
    return m_default;
}

QList<int> ScriptedMessageBoxes::shownIds() const
{
    QList<int> ids;
    for (const Shown &s : m_shown)
        ids.append(s.textId);
    return ids;
}
