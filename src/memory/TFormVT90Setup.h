#pragma once

#include "memory/VT90Setup.h"

#include <QDialog>

class CorrectingSpinBox;
class QComboBox;
class QPushButton;

// The mixer settings dialog ("本体設定"): the signal, the aspect and the
// split of the slot rows between titles and IntVideo, applied together, and
// the recall of a stored event. A view of VT90Setup, which holds the rules.
class TFormVT90Setup : public QDialog
{
    Q_OBJECT

public:
    // Opens with what the mixer runs (from its last memory map).
    TFormVT90Setup(DeviceLink &link, const KeyerState &keyer, MessageBoxes &boxes, int signal,
                   int aspect, int titleRows, QWidget *parent = nullptr);

    VT90Setup &setup() { return m_setup; }

    void ButtonMemorySetClick();
    void ButtonEventRecallClick();
    void ButtonHelpClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showCounts();

    VT90Setup m_setup;
    QComboBox *CBoxSignal;
    QComboBox *CBoxAspect;
    CorrectingSpinBox *UpDownTitleCount;
    CorrectingSpinBox *UpDownIntVideoCount;
    CorrectingSpinBox *UpDownEventNumber;
    QPushButton *ButtonMemorySet;
    QPushButton *ButtonEventRecall;
};
