#pragma once

#include "properties/EffectTexts.h"

#include <QObject>
#include <array>
#include <functional>

class CorrectingSpinBox;
class EffectLink;
class MaskedTimeEdit;
class QLineEdit;
class QRadioButton;
class QToolButton;
class QWidget;

// The On and Off groups that both property dialogs share: Pattern or Diss
// with the pattern number, the effect time, the slide direction buttons and
// the slide speed. The rules are EffectLink's and PropertyRules'; this only
// moves them in and out of the controls. The dialogs add their own trigger,
// wait and duration fields around it.
class EffectControls : public QObject
{
    Q_OBJECT

public:
    // The controls of one side, found in the dialog by their names
    // ("RButtonInPattern", "EditInPattern", "MEditInEffTime",
    // "SButtonInDirUp" ..., "UpDownInSlideSpeed"; the same with "Out").
    struct Side
    {
        QRadioButton *pattern = nullptr;
        QRadioButton *diss = nullptr;
        QLineEdit *patternEdit = nullptr;
        MaskedTimeEdit *time = nullptr;
        // Up, Down, Left, Right: slide directions 1..4.
        std::array<QToolButton *, 4> directions{};
        CorrectingSpinBox *speed = nullptr;

        static Side find(QWidget &dialog, const QString &side);
    };

    EffectControls(QWidget &dialog, EffectLink &link,
                   std::function<QString(const QString &)> timeRule);

    Side &in() { return m_in; }
    Side &out() { return m_out; }

    // Shows the texts of both sides and the link's state.
    void fill(const EffectTexts &in, const EffectTexts &out);
    // The fields back into texts (the time and slide fields; not the trigger or wait).
    void read(EffectTexts &in, EffectTexts &out) const;
    // Slides on or off; without vertical slides the up and down buttons are
    // released and disabled.
    void enableSlides(bool slides, bool vertical);
    // Shows the Pattern/Diss choice, the numbers and what can be changed.
    void showLink();
    // Runs the exit check of a pattern field whose text was typed but not yet checked.
    void leaveTypedPatterns();

private:
    void wire(Side &side, bool in);
    static void fillSide(Side &side, const EffectTexts &texts);
    static void readSide(const Side &side, EffectTexts &texts);

    EffectLink &m_link;
    Side m_in;
    Side m_out;
};
