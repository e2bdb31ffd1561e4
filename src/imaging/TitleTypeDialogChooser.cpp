#include "imaging/TitleTypeDialogChooser.h"

#include "imaging/TFormTitleType.h"

TitleTypeDialogChooser::TitleTypeDialogChooser(ImageLibrary &images, MessageBoxes &boxes,
                                               QWidget *owner)
    : m_images(images), m_boxes(boxes), m_owner(owner)
{}

std::optional<TitleTypeAnswer>
TitleTypeDialogChooser::chooseTitleType(const TitleTypeQuestion &question)
{
    TFormTitleType dialog(question, m_images, m_boxes, m_owner);
    dialog.setHelp(m_help);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}
