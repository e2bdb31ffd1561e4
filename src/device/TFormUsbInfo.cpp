#include "device/TFormUsbInfo.h"

#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "device/BulkInTransfer.h"
#include "device/BulkOutTransfer.h"
#include "device/DescriptorText.h"
#include "device/DeviceCommands.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/SerialCommand.h"
#include "device/TFormBulkInTransfer.h"
#include "device/TFormBulkOutTransfer.h"
#include "resources/MessageTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

TFormUsbInfo::TFormUsbInfo(DeviceLink &link, BulkInTransfer &bulkIn, BulkOutTransfer &bulkOut,
                           DeviceEventReader &events, QWidget *parent)
    : QWidget(parent, Qt::Window), m_link(link), m_bulkIn(bulkIn), m_bulkOut(bulkOut),
      m_events(events)
{
    setObjectName(QStringLiteral("TFormUsbInfo"));
    setWindowTitle(MessageTable::caption(QStringLiteral("USB情報")));
    buildControls();

    // The log as the link holds it, then every line it adds.
    RichEditStatus->setPlainText(m_link.logLines().join(QLatin1Char('\n')));
    CBoxShowInfo->setChecked(m_link.logEnabled());
    connect(&m_link, &DeviceLink::logLineAdded, this,
            [this](const QString &line) { RichEditStatus->appendPlainText(line); });
    connect(&m_link, &DeviceLink::logCleared, RichEditStatus, &QPlainTextEdit::clear);
    connect(&m_link, &DeviceLink::descriptorsChanged, this, &TFormUsbInfo::CBoxDescriptorChange);
    connect(&m_link, &DeviceLink::resetCountChanged, this,
            [this](int count) { LabelResetCount->setText(QString::number(count)); });
    connect(&m_link, &DeviceLink::connectedStateChanged, this, &TFormUsbInfo::updateDeviceControls);
    LabelResetCount->setText(QString::number(m_link.ResetCount()));
    CBoxDescriptor->setCurrentIndex(0);
    CBoxDescriptorChange();
    CBox232C_CommandChange();
    updateDeviceControls();
}

// The link goes before the main window that owns this one; nothing here touches it.
TFormUsbInfo::~TFormUsbInfo() = default;

void TFormUsbInfo::setRefreshPause(std::function<std::shared_ptr<void>()> pause)
{
    m_pauseRefresh = std::move(pause);
}

void TFormUsbInfo::buildControls()
{
    RichEditStatus = new QPlainTextEdit(this);
    RichEditStatus->setReadOnly(true);
    RichEditStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEditStatus->setLineWrapMode(QPlainTextEdit::NoWrap);
    CBoxShowInfo = new QCheckBox(QStringLiteral("Show  Information"), this);
    connect(CBoxShowInfo, &QCheckBox::clicked, this, &TFormUsbInfo::CBoxShowInfoClick);

    CBoxDescriptor = new QComboBox(this);
    CBoxDescriptor->addItems(
        {QStringLiteral("Device"), QStringLiteral("Configuration"), QStringLiteral("Interface")});
    connect(CBoxDescriptor, &QComboBox::currentIndexChanged, this,
            &TFormUsbInfo::CBoxDescriptorChange);
    MemoDescriptor = new QPlainTextEdit(this);
    MemoDescriptor->setReadOnly(true);
    MemoDescriptor->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto *testGroup = new QGroupBox(QStringLiteral("Transfer Test"), this);
    ButtonTestStart = new QPushButton(QStringLiteral("Start"), testGroup);
    CBoxEndless = new QCheckBox(QStringLiteral("Endless"), testGroup);
    auto *testLayout = new QHBoxLayout(testGroup);
    testLayout->addWidget(ButtonTestStart);
    testLayout->addWidget(CBoxEndless);
    connect(ButtonTestStart, &QPushButton::clicked, this, &TFormUsbInfo::ButtonTestStartClick);

    auto *previewGroup = new QGroupBox(QStringLiteral("Preview GMC Memory"), this);
    EditMemoryPage = new QSpinBox(previewGroup);
    EditMemoryPage->setRange(0, 0xFFFF);
    ButtonPreview = new QPushButton(QStringLiteral("Preview"), previewGroup);
    auto *previewLayout = new QHBoxLayout(previewGroup);
    previewLayout->addWidget(EditMemoryPage);
    previewLayout->addWidget(ButtonPreview);
    connect(ButtonPreview, &QPushButton::clicked, this, &TFormUsbInfo::ButtonPreviewClick);

    auto *resetGroup = new QGroupBox(QStringLiteral("Reset Device"), this);
    LabelResetCount = new QLabel(QStringLiteral("0"), resetGroup);
    LabelResetCount->setMinimumWidth(40);
    ButtonResetDevice = new QPushButton(QStringLiteral("Reset"), resetGroup);
    auto *resetLayout = new QHBoxLayout(resetGroup);
    resetLayout->addWidget(LabelResetCount);
    resetLayout->addWidget(ButtonResetDevice);
    connect(ButtonResetDevice, &QPushButton::clicked, this, &TFormUsbInfo::ButtonResetDeviceClick);

    auto *serialGroup = new QGroupBox(QStringLiteral("RS232C Command"), this);
    CBox232C_Command = new QComboBox(serialGroup);
    CBox232C_Command->setEditable(true);
    CBox232C_Command->setInsertPolicy(QComboBox::NoInsert);
    for (const SerialCommand::Entry &e : SerialCommand::table())
        CBox232C_Command->addItem(QLatin1String(e.name));
    connect(CBox232C_Command, &QComboBox::currentIndexChanged, this,
            &TFormUsbInfo::CBox232C_CommandChange);
    auto *serialLayout = new QHBoxLayout(serialGroup);
    serialLayout->addWidget(CBox232C_Command);
    for (std::size_t k = 0; k < Edit232C_Param.size(); ++k) {
        Edit232C_Param[k] = new QLineEdit(serialGroup);
        Edit232C_Param[k]->setObjectName(QStringLiteral("Edit232C_Param%1").arg(k + 1));
        Edit232C_Param[k]->setMaximumWidth(60);
        serialLayout->addWidget(Edit232C_Param[k]);
    }
    Button232C_Send = new QPushButton(QStringLiteral("Send"), serialGroup);
    serialLayout->addWidget(Button232C_Send);
    connect(Button232C_Send, &QPushButton::clicked, this, &TFormUsbInfo::Button232C_SendClick);

    auto *grid = new QGridLayout(this);
    auto *logColumn = new QVBoxLayout;
    logColumn->addWidget(RichEditStatus);
    logColumn->addWidget(CBoxShowInfo);
    auto *descriptorColumn = new QVBoxLayout;
    descriptorColumn->addWidget(CBoxDescriptor);
    descriptorColumn->addWidget(MemoDescriptor);
    grid->addLayout(logColumn, 0, 0, 1, 2);
    grid->addLayout(descriptorColumn, 0, 2, 1, 1);
    grid->addWidget(testGroup, 1, 0);
    grid->addWidget(previewGroup, 1, 1);
    grid->addWidget(resetGroup, 1, 2);
    grid->addWidget(serialGroup, 2, 0, 1, 3);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    resize(760, 520);
}

void TFormUsbInfo::updateDeviceControls()
{
    // The commands need a mixer; a test in progress keeps its button off.
    const bool connected = m_link.Connected();
    ButtonTestStart->setEnabled(connected && !m_testing);
    ButtonPreview->setEnabled(connected);
    ButtonResetDevice->setEnabled(connected);
    Button232C_Send->setEnabled(connected);
}

void TFormUsbInfo::CBoxShowInfoClick()
{
    m_link.setLogEnabled(CBoxShowInfo->isChecked());
}

void TFormUsbInfo::CBoxDescriptorChange()
{
    MemoDescriptor->setPlainText(
        DescriptorText::lines(DescriptorText::Kind(qMax(0, CBoxDescriptor->currentIndex())),
                              m_link.DeviceDescriptor(), m_link.ConfigDescriptor())
            .join(QLatin1Char('\n')));
}

bool TFormUsbInfo::readTest()
{
    return TFormBulkInTransfer(m_bulkIn, this).StartBulkIn(BulkInTransfer::PipeTest, 0, QString());
}

bool TFormUsbInfo::writeTest()
{
    return TFormBulkOutTransfer(m_bulkOut, this).StartBulkOut(BulkOutTransfer::PipeTest, 0, {});
}

bool TFormUsbInfo::deferredWhileMoving(void (TFormUsbInfo::*handler)())
{
    // A click handled while a memory-map read (or another transfer) waits for
    // its block would cut that block off; the command runs once it is over.
    if (!m_bulkIn.busy() && !m_bulkOut.busy())
        return false;
    QTimer::singleShot(Waits::kRecheckMs, this, handler);
    return true;
}

void TFormUsbInfo::ButtonTestStartClick()
{
    if (m_testing)
        return;
    if (deferredWhileMoving(&TFormUsbInfo::ButtonTestStartClick))
        return;
    m_testing = true;
    updateDeviceControls();
    TransferTest test({[this] { return writeTest(); }, [this] { return readTest(); },
                       [this] { return m_events.EventPipeAlive(); }, m_pauseRefresh,
                       [this] { return m_link.Connected(); }, nullptr,
                       [this](const TransferTest::Result &result) {
                           m_link.messageBoxes().show(0, 0, QStringLiteral("result"), result.text(),
                                                      result.allPassed() ? MsgInformation
                                                                         : MsgError);
                       }});
    if (CBoxEndless->isChecked())
        test.RunEndless();
    else
        test.RunOnce();
    m_testing = false;
    updateDeviceControls();
}

void TFormUsbInfo::ButtonPreviewClick()
{
    DeviceCommands(m_link).PreviewMemoryPage(std::uint16_t(EditMemoryPage->value()));
}

void TFormUsbInfo::ButtonResetDeviceClick()
{
    if (deferredWhileMoving(&TFormUsbInfo::ButtonResetDeviceClick))
        return;
    m_link.ResetDevice();
    LabelResetCount->setText(QString::number(m_link.ResetCount()));
}

void TFormUsbInfo::CBox232C_CommandChange()
{
    const int index = CBox232C_Command->currentIndex();
    const QList<SerialCommand::Entry> &table = SerialCommand::table();
    const int count = index >= 0 && index < table.size() ? table[index].parameterCount : 0;
    for (int k = 0; k < int(Edit232C_Param.size()); ++k) {
        Edit232C_Param[size_t(k)]->clear();
        Edit232C_Param[size_t(k)]->setEnabled(k < count);
    }
}

QByteArray TFormUsbInfo::serialBlock() const
{
    QStringList parameters;
    for (QLineEdit *edit : Edit232C_Param) {
        if (!edit->isEnabled())
            break;
        parameters << edit->text();
    }
    return SerialCommand::buildBlock(CBox232C_Command->currentText(), parameters,
                                     int(parameters.size()));
}

void TFormUsbInfo::Button232C_SendClick()
{
    DeviceCommands(m_link).SendSerialCommand(serialBlock());
}
