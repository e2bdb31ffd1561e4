#include "core/MessageBoxes.h"

#include "resources/MessageTable.h"

int ShowMessageById(MessageBoxes &boxes, int captionId, int textId, int flags,
                    std::initializer_list<QVariant> args)
{
    const QString caption = MessageTable::text(captionId).left(255);
    const QString text = MessageTable::formatText(MessageTable::text(textId).left(255), args);
    return boxes.show(captionId, textId, caption, text, flags);
}
