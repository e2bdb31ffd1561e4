#pragma once

#include <QDialog>

class AutoLoad;
class QCheckBox;
class QLabel;
class QPushButton;

// "自動ロード": follows a running auto-load (the title playing and its state,
// the title being sent) and drives it: Play triggers the keyer, Stop (or
// Escape, or closing) ends the run, Endless keeps it going round. The run
// starts when the window is shown and the window closes when it is over.
class TFormAutoLoad : public QDialog
{
    Q_OBJECT

public:
    TFormAutoLoad(AutoLoad &autoLoad, QWidget *parent = nullptr);

    QCheckBox *endlessBox() const { return CBoxEndless; }
    QPushButton *playButton() const { return BitBtnPlay; }
    QPushButton *stopButton() const { return BitBtnStop; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AutoLoad &m_autoLoad;
    QLabel *LabelPlayOrder;
    QLabel *LabelPlayStatus;
    QLabel *LabelTransferOrder;
    QLabel *LabelTransferStatus;
    QCheckBox *CBoxEndless;
    QPushButton *BitBtnPlay;
    QPushButton *BitBtnStop;
    QPushButton *BitBtnPause;
};
