#pragma once

#include "imaging/Bitmap.h"
#include "properties/TitleProperties.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <memory>

class EffectControls;
class TitleList;
struct ListServices;

namespace Ui {
class TFormProperty;
}

// "プロパティ  OrderN": the operator edits one title of the send list in a
// working copy (TitleProperties); OK writes it back into the title, Cancel
// and Escape drop it. Every field corrects itself when it is left; the only
// question is message 102 when the chosen mark belongs to another title.
class TFormProperty : public QDialog
{
    Q_OBJECT

public:
    TFormProperty(TitleList &list, int order, ListServices &services, QWidget *parent = nullptr);
    ~TFormProperty() override;

    // Opens help at a topic (the manual's page of this dialog by default).
    void setHelp(std::function<void(int topic)> help) { m_help = std::move(help); }
    // The working copy as the controls hold it now.
    TitleProperties properties() const;
    // The thumbnail as drawn last.
    QImage thumbnail() const;

    // Control handlers.
    void CBoxInAutoTriggerClick();
    void CBoxOutAutoTriggerClick();
    void EditRollCrawlSpeedChange();
    void ButtonOKClick();
    void ButtonHelpClick();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpControls();
    void fill();
    void fillKind();
    void drawThumbnail();

    std::unique_ptr<Ui::TFormProperty> ui;
    TitleList &m_list;
    int m_order;
    ListServices &m_services;
    TitleProperties m_props;
    QStringList m_fileList;
    EffectControls *m_effects = nullptr;
    std::function<void(int)> m_help;
    bool m_showing = true;
    // The icon frame's picture, loaded once per frame number.
    int m_loadedIcon = 0;
    Bitmap m_picture;
};
