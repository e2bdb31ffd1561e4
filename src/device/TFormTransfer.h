#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

class TransferJob;

namespace Ui {
class TFormTransfer;
}

// The modal progress dialog of the bulk transfers: status text, the gauge of
// the job's side and Cancel. Shown, it runs the job once (its start timer's
// first tick) and closes with OK when the job succeeded, with Cancel when it
// failed. While the job runs, closing the window or Escape act as Cancel.
class TFormTransfer : public QDialog
{
    Q_OBJECT

public:
    TFormTransfer(TransferJob &job, QWidget *parent = nullptr);
    ~TFormTransfer() override;

    bool running() const { return m_running; }

public slots:
    void reject() override;

private:
    void TransferStartTimerTimer();
    void ButtonCancelClick();

    std::unique_ptr<Ui::TFormTransfer> ui;
    TransferJob &m_job;
    QTimer TransferStartTimer;
    bool m_running = false;
    bool m_done = false;
};
