#pragma once

#include "imaging/TitleTypeChooser.h"

#include <QDialog>
#include <functional>
#include <memory>

class ImageLibrary;
class MessageBoxes;

namespace Ui {
class TFormTitleType;
}

// "画像の読み込み": asked during import when the chosen picture starts a
// numbered sequence. The operator picks the title kind, how many of the found
// frames to keep and which frame serves as the icon, with a preview of it.
class TFormTitleType : public QDialog
{
    Q_OBJECT

public:
    TFormTitleType(const TitleTypeQuestion &question, ImageLibrary &images, MessageBoxes &boxes,
                   QWidget *parent = nullptr);
    ~TFormTitleType() override;

    // Opens help at a topic; F1 and the Help button use topic 10060.
    void setHelp(std::function<void(int topic)> help) { m_help = std::move(help); }

    // The choice as the dialog shows it now.
    TitleTypeAnswer answer() const;
    int frameMaximum() const;
    int iconMaximum() const;

    // Control handlers.
    void EditFrameChange();
    void EditIconChange();
    void CBoxTypeChange();
    void ButtonHelpClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    TitleTypeKind currentKind() const;
    void showPreview(int icon);

    std::unique_ptr<Ui::TFormTitleType> ui;
    TitleTypeQuestion m_question;
    ImageLibrary &m_images;
    MessageBoxes &m_boxes;
    std::function<void(int)> m_help;
    int m_previewedIcon = 0;
};
