#include "device/TFormVT90Info.h"

#include "core/MessageBoxes.h"
#include "core/SafeFileWriter.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/KeyCodes.h"
#include "resources/MessageTable.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString caption(const char *text)
{
    return MessageTable::caption(QString::fromUtf8(text));
}

QLabel *keyLabel(const QString &name)
{
    auto *label = new QLabel;
    label->setObjectName(name);
    label->setMinimumWidth(32);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

TFormVT90Info::TFormVT90Info(DeviceLink &link, DeviceEventReader &reader, MessageBoxes &boxes,
                             QWidget *parent)
    : QDialog(parent), m_link(link), m_boxes(boxes)
{
    setObjectName(QStringLiteral("FormVT90Info"));
    setWindowTitle(caption("本体情報"));
    resize(520, 460);

    auto *firmware = new QHBoxLayout;
    firmware->addWidget(new QLabel(caption("USB Firmware Version")));
    LabelUsbFirmVersion = new QLabel(link.FirmwareText());
    LabelUsbFirmVersion->setObjectName(QStringLiteral("LabelUsbFirmVersion"));
    firmware->addWidget(LabelUsbFirmVersion, 1);

    auto *events = new QGroupBox(caption("M16C Command Data"));
    RichEdit = new QPlainTextEdit;
    RichEdit->setObjectName(QStringLiteral("RichEdit"));
    RichEdit->setReadOnly(true);
    RichEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CBoxShowVT90Info = new QCheckBox(caption("Show data"));
    CBoxShowVT90Info->setObjectName(QStringLiteral("CBoxShowVT90Info"));
    CBoxShowVT90Info->setChecked(true);
    auto *clear = new QPushButton(caption("Clear"));
    clear->setObjectName(QStringLiteral("ButtonClear"));
    auto *save = new QPushButton(caption("Save"));
    save->setObjectName(QStringLiteral("ButtonSave"));
    auto *eventButtons = new QHBoxLayout;
    eventButtons->addWidget(CBoxShowVT90Info);
    eventButtons->addStretch(1);
    eventButtons->addWidget(clear);
    eventButtons->addWidget(save);
    auto *eventLayout = new QVBoxLayout(events);
    eventLayout->addWidget(RichEdit, 1);
    eventLayout->addLayout(eventButtons);

    auto *keys = new QGroupBox(caption("KeyCode"));
    auto *keyGrid = new QGridLayout(keys);
    const QStringList rows = {QString(), caption("CP A"), caption("CP B")};
    const QStringList names = {QStringLiteral("LabelKeyCode"), QStringLiteral("LabelKeyCodeCpA"),
                               QStringLiteral("LabelKeyCodeCpB")};
    for (int row = 0; row < 3; ++row) {
        keyGrid->addWidget(new QLabel(rows[row]), row, 0);
        for (int k = 0; k < 3; ++k) {
            QLabel *label = keyLabel(names[row] + QString::number(k + 1));
            LabelKeyCodes[std::size_t(row * 3 + k)] = label;
            keyGrid->addWidget(label, row, k + 1);
        }
    }
    keyGrid->setColumnStretch(4, 1);

    auto *ok = new QPushButton(caption("OK"));
    ok->setObjectName(QStringLiteral("ButtonOK"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(firmware);
    layout->addWidget(events, 1);
    layout->addWidget(keys);
    layout->addLayout(bottom);

    TimerGetKeyCode.setObjectName(QStringLiteral("TimerGetKeyCode"));
    TimerGetKeyCode.setInterval(kKeyCodeMs);
    connect(&TimerGetKeyCode, &QTimer::timeout, this, &TFormVT90Info::TimerGetKeyCodeTimer);
    connect(clear, &QPushButton::clicked, this, &TFormVT90Info::ButtonClearClick);
    connect(save, &QPushButton::clicked, this, &TFormVT90Info::ButtonSaveClick);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    connect(&reader, &DeviceEventReader::lineReceived, this, &TFormVT90Info::addLine);
    connect(&link, &DeviceLink::firmwareTextChanged, LabelUsbFirmVersion, &QLabel::setText);

    m_chooseSave = [](QWidget *owner) {
        return QFileDialog::getSaveFileName(owner, QString(), QString(),
                                            QStringLiteral("Text (*.txt);;* (*)"));
    };
}

void TFormVT90Info::addLine(const QString &line)
{
    if (!isVisible() || !CBoxShowVT90Info->isChecked())
        return;
    if (RichEdit->blockCount() > kMaxLines)
        RichEdit->clear();
    RichEdit->appendPlainText(line);
}

void TFormVT90Info::TimerGetKeyCodeTimer()
{
    const std::optional<QStringList> codes = KeyCodes::read(m_link);
    if (!codes)
        return;
    for (int i = 0; i < KeyCodes::Count; ++i)
        LabelKeyCodes[std::size_t(i)]->setText(codes->at(i));
}

void TFormVT90Info::ButtonClearClick()
{
    RichEdit->clear();
}

bool TFormVT90Info::ButtonSaveClick()
{
    const QString path = m_chooseSave ? m_chooseSave(this) : QString();
    if (path.isEmpty())
        return true;
    QString text = RichEdit->toPlainText();
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    if (SafeFileWriter::replace(path, text.toUtf8()))
        return true;
    ShowMessageById(m_boxes, 1, 91, MsgError);
    return false;
}

void TFormVT90Info::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    TimerGetKeyCode.start();
}

void TFormVT90Info::hideEvent(QHideEvent *event)
{
    TimerGetKeyCode.stop();
    QDialog::hideEvent(event);
}
