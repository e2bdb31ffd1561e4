#pragma once

#include "imaging/TitleTypeChooser.h"

#include <functional>

class ImageLibrary;
class MessageBoxes;
class QWidget;

// Answers the import's title type question with the modal title type dialog,
// created for the question and freed when it closes.
class TitleTypeDialogChooser : public TitleTypeChooser
{
public:
    TitleTypeDialogChooser(ImageLibrary &images, MessageBoxes &boxes, QWidget *owner);

    void setHelp(std::function<void(int topic)> help) { m_help = std::move(help); }
    std::optional<TitleTypeAnswer> chooseTitleType(const TitleTypeQuestion &question) override;

private:
    ImageLibrary &m_images;
    MessageBoxes &m_boxes;
    QWidget *m_owner;
    std::function<void(int)> m_help;
};
