#include "list/UndoStack.h"

#include "resources/MessageTable.h"

void UndoStack::push(UndoStep step)
{
    m_steps.push_back(std::move(step));
    while (int(m_steps.size()) > m_limit)
        m_steps.pop_front();
}

UndoStep UndoStack::pop()
{
    UndoStep step = std::move(m_steps.back());
    m_steps.pop_back();
    return step;
}

QString UndoStack::actionName(int action)
{
    if (action < 1 || action > 6)
        return QString();
    return MessageTable::text(34 + action - 1);
}

QString UndoStack::caption(int captionId, const UndoStack &stack)
{
    const UndoStep *step = stack.top();
    return MessageTable::text(captionId) + QStringLiteral("  ") +
           (step ? actionName(step->Action) : QString());
}
