#include "memory/TFormAutoLoad.h"

#include "memory/AutoLoad.h"
#include "resources/MessageTable.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString caption(const char *japanese)
{
    return MessageTable::caption(QString::fromUtf8(japanese));
}

QLabel *valueLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setMinimumWidth(160);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    return label;
}

} // namespace

TFormAutoLoad::TFormAutoLoad(AutoLoad &autoLoad, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_autoLoad(autoLoad)
{
    setObjectName(QStringLiteral("FormAutoLoad"));
    setWindowTitle(caption("自動ロード"));
    setModal(true);

    auto *play = new QGroupBox(caption("再生"), this);
    auto *playForm = new QFormLayout;
    LabelPlayOrder = valueLabel(play);
    LabelPlayStatus = valueLabel(play);
    playForm->addRow(MessageTable::text(60), LabelPlayOrder);
    playForm->addRow(caption("状態"), LabelPlayStatus);
    CBoxEndless = new QCheckBox(caption("エンドレス再生"), play);
    BitBtnPlay = new QPushButton(caption("再生"), play);
    BitBtnStop = new QPushButton(caption("停止"), play);
    BitBtnPause = new QPushButton(caption("一時停止"), play);
    BitBtnPause->setVisible(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtnPlay);
    buttons->addWidget(BitBtnPause);
    buttons->addWidget(BitBtnStop);
    auto *playBox = new QVBoxLayout(play);
    playBox->addLayout(playForm);
    playBox->addWidget(CBoxEndless);
    playBox->addLayout(buttons);

    auto *transfer = new QGroupBox(caption("転送"), this);
    auto *transferForm = new QFormLayout(transfer);
    LabelTransferOrder = valueLabel(transfer);
    LabelTransferStatus = valueLabel(transfer);
    transferForm->addRow(MessageTable::text(60), LabelTransferOrder);
    transferForm->addRow(caption("状態"), LabelTransferStatus);

    LabelPlayOrder->setObjectName(QStringLiteral("LabelPlayOrder"));
    LabelPlayStatus->setObjectName(QStringLiteral("LabelPlayStatus"));
    LabelTransferOrder->setObjectName(QStringLiteral("LabelTransferOrder"));
    LabelTransferStatus->setObjectName(QStringLiteral("LabelTransferStatus"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(play);
    layout->addWidget(transfer);

    for (QPushButton *b : {BitBtnPlay, BitBtnStop, BitBtnPause}) {
        b->setAutoDefault(false);
        b->installEventFilter(this);
    }
    connect(BitBtnPlay, &QPushButton::clicked, &m_autoLoad, &AutoLoad::BitBtnPlayClick);
    connect(BitBtnStop, &QPushButton::clicked, &m_autoLoad, &AutoLoad::BitBtnStopClick);
    connect(BitBtnPause, &QPushButton::clicked, &m_autoLoad, &AutoLoad::BitBtnPauseClick);
    connect(CBoxEndless, &QCheckBox::toggled, &m_autoLoad, &AutoLoad::setEndless);

    connect(&m_autoLoad, &AutoLoad::playOrderChanged, this,
            [this](int index) { LabelPlayOrder->setText(QString::number(index)); });
    connect(&m_autoLoad, &AutoLoad::playStatusChanged, LabelPlayStatus, &QLabel::setText);
    connect(&m_autoLoad, &AutoLoad::transferOrderChanged, LabelTransferOrder, &QLabel::setText);
    connect(&m_autoLoad, &AutoLoad::transferStatusChanged, LabelTransferStatus, &QLabel::setText);
    connect(&m_autoLoad, &AutoLoad::playEnabled, this, [this](bool enabled, bool focus) {
        BitBtnPlay->setEnabled(enabled);
        if (enabled && focus && isVisible())
            BitBtnPlay->setFocus();
    });
    connect(&m_autoLoad, &AutoLoad::finished, this, &QDialog::accept);
}

void TFormAutoLoad::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    for (QLabel *l : {LabelPlayOrder, LabelPlayStatus, LabelTransferOrder, LabelTransferStatus})
        l->clear();
    BitBtnPlay->setEnabled(false);
    m_autoLoad.setEndless(CBoxEndless->isChecked());
    // The run starts once the window is up; it closes the window when it ends.
    QTimer::singleShot(0, this, [this] {
        if (!m_autoLoad.running() && !m_autoLoad.StartAutoLoad())
            accept();
    });
}

void TFormAutoLoad::closeEvent(QCloseEvent *event)
{
    // The window goes when the run is over.
    if (m_autoLoad.running()) {
        m_autoLoad.abort();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFormAutoLoad::reject()
{
    if (m_autoLoad.running())
        m_autoLoad.BitBtnStopClick();
    else
        QDialog::reject();
}

bool TFormAutoLoad::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Escape) {
            m_autoLoad.BitBtnStopClick();
            return true;
        }
        // Space presses the button as usual; every other key does nothing.
        return key != Qt::Key_Space;
    }
    return QDialog::eventFilter(watched, event);
}
