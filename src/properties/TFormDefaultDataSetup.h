#pragma once

#include "properties/DefaultProperties.h"
#include "properties/DefaultPropertyValues.h"

#include <QDialog>
#include <functional>
#include <memory>

class EffectControls;
class MessageBoxes;

namespace Ui {
class TFormDefaultDataSetup;
}

// "プロパティ初期値設定": the properties every new title starts with. Works on
// a copy of the defaults; after OK, defaults() holds the edited record for the
// caller to keep. "初期値に戻す" brings back the program's own values after
// message 104.
class TFormDefaultDataSetup : public QDialog
{
    Q_OBJECT

public:
    // framesPerSecond: the current video format's, the limit of every frame field.
    TFormDefaultDataSetup(const DefaultProperties &defaults, int framesPerSecond,
                          MessageBoxes &boxes, QWidget *parent = nullptr);
    ~TFormDefaultDataSetup() override;

    void setHelp(std::function<void(int topic)> help) { m_help = std::move(help); }
    const DefaultProperties &defaults() const { return m_defaults; }
    // The fields as the controls hold them now.
    DefaultPropertyValues values() const;

    // Control handlers.
    void ButtonInitClick();
    void ButtonOKClick();
    void ButtonHelpClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setUpControls();
    void fill();

    std::unique_ptr<Ui::TFormDefaultDataSetup> ui;
    DefaultProperties m_defaults;
    DefaultPropertyValues m_values;
    MessageBoxes &m_boxes;
    EffectControls *m_effects = nullptr;
    std::function<void(int)> m_help;
};
