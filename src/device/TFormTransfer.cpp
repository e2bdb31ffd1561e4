#include "device/TFormTransfer.h"

#include "device/TransferJob.h"
#include "device/TransferSide.h"
#include "resources/MessageTable.h"
#include "ui_TFormTransfer.h"

#include <algorithm>

namespace {
QString caption(const char *japanese)
{
    return MessageTable::caption(QString::fromUtf8(japanese));
}
} // namespace

TFormTransfer::TFormTransfer(TransferJob &job, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFormTransfer>()), m_job(job)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    ui->Label3->setText(caption("処理状況"));
    ui->ButtonCancel->setText(caption("キャンセル"));
    ui->CGauge->setRange(0, 1000);
    ui->CGauge->setValue(0);

    connect(&job, &TransferJob::captionChanged, this, &QWidget::setWindowTitle);
    connect(&job, &TransferJob::statusChanged, ui->LabelStatus, &QLabel::setText);
    TransferSide &side = job.side();
    connect(&side, &TransferSide::progressChanged, this, [this, &side](qint64 progress) {
        // The gauge runs in thousandths of the side's maximum, which may pass an int.
        const qint64 max = side.GaugeMax;
        ui->CGauge->setValue(max > 0 ? int(std::min<qint64>(progress, max) * 1000 / max) : 0);
    });
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &TFormTransfer::ButtonCancelClick);

    // The job starts once the dialog is on screen.
    TransferStartTimer.setInterval(10);
    TransferStartTimer.setSingleShot(true);
    connect(&TransferStartTimer, &QTimer::timeout, this, &TFormTransfer::TransferStartTimerTimer);
    TransferStartTimer.start();
}

TFormTransfer::~TFormTransfer() = default;

void TFormTransfer::TransferStartTimerTimer()
{
    if (m_running || m_done)
        return;
    m_running = true;
    const bool ok = m_job.Run();
    m_running = false;
    m_done = true;
    done(ok ? QDialog::Accepted : QDialog::Rejected);
}

void TFormTransfer::ButtonCancelClick()
{
    if (m_running)
        m_job.Cancel();
}

void TFormTransfer::reject()
{
    // Escape or the window manager's close: a running job is cancelled and
    // ends the dialog itself when it has cleaned up.
    if (m_running) {
        m_job.Cancel();
        return;
    }
    if (m_done)
        QDialog::reject();
}
