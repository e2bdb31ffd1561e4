#pragma once

#include "memory/ClipProperties.h"

#include <QDialog>

class Bitmap;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// "プロパティ" of an IntVideo clip: its icon, type and frame count, how it
// plays (once or repeated, forwards or in reverse; shown, not changed here)
// and the interval between its frames, which the operator may edit.
class TFormIntvProperty : public QDialog
{
    Q_OBJECT

public:
    explicit TFormIntvProperty(QWidget *parent = nullptr);

    // Fills the controls from the clip's header; icon may be null (empty icon).
    void preset(const TitleAttributes &header, const Bitmap &icon, bool aspect16x9);
    // The properties as the dialog shows them, with the interval read back.
    ClipProperties properties() const;

    QLineEdit *intervalEdit() const { return EditMovieInterval; }

private:
    void EditMovieIntervalExit();

    QLabel *ImageIcon;
    QLabel *PanelType;
    QLabel *PanelFrame;
    QRadioButton *RButtonMovieRepeat;
    QRadioButton *RButtonMovieOnce;
    QRadioButton *RButtonMovieNormal;
    QRadioButton *RButtonMovieReverse;
    QLineEdit *EditMovieInterval;
    QSpinBox *UpDownMovieInterval;
};
