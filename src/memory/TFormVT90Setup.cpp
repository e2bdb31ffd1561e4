#include "memory/TFormVT90Setup.h"

#include "core/HelpManual.h"
#include "imaging/CorrectingSpinBox.h"
#include "resources/MessageTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QString captionText(const char *japanese)
{
    return MessageTable::caption(QString::fromUtf8(japanese));
}

CorrectingSpinBox *countBox(const char *name, int maximum)
{
    auto *box = new CorrectingSpinBox;
    box->setObjectName(QString::fromLatin1(name));
    box->edit()->setObjectName(QString::fromLatin1(name).replace("UpDown", "Edit"));
    box->edit()->setMaxLength(3);
    box->setRange(0, maximum);
    box->setMinimumWidth(64);
    return box;
}

} // namespace

TFormVT90Setup::TFormVT90Setup(DeviceLink &link, const KeyerState &keyer, MessageBoxes &boxes,
                               int signal, int aspect, int titleRows, QWidget *parent)
    : QDialog(parent), m_setup(link, keyer, boxes)
{
    setObjectName(QStringLiteral("VT90Setup"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(captionText("本体設定"));
    m_setup.open(signal, aspect, titleRows);

    CBoxSignal = new QComboBox;
    CBoxSignal->setObjectName(QStringLiteral("CBoxSignal"));
    CBoxSignal->addItems({QStringLiteral("NTSC"), QStringLiteral("PAL")});
    CBoxAspect = new QComboBox;
    CBoxAspect->setObjectName(QStringLiteral("CBoxAspect"));
    CBoxAspect->addItems({QStringLiteral("4:3"), QStringLiteral("16:9")});
    CBoxSignal->setCurrentIndex(m_setup.signal());
    CBoxAspect->setCurrentIndex(m_setup.aspect());

    // The counts take any text; leaving the edit corrects it by the rules and
    // gives the other count the rest of the rows.
    UpDownTitleCount = countBox("UpDownTitleCount", VT90Setup::NtscRows);
    UpDownIntVideoCount = countBox("UpDownIntVideoCount", VT90Setup::NtscRows);
    UpDownTitleCount->setRule([this](const QString &text) {
        m_setup.EditTitleCountChange(text);
        return m_setup.titleCount();
    });
    UpDownIntVideoCount->setRule([this](const QString &text) {
        m_setup.EditIntVideoCountChange(text);
        return m_setup.intVideoCount();
    });
    showCounts();

    auto *format = new QGroupBox(captionText("Format"));
    auto *formatForm = new QFormLayout(format);
    formatForm->addRow(captionText("Signal"), CBoxSignal);
    formatForm->addRow(captionText("Aspect"), CBoxAspect);
    auto *allocation = new QGroupBox(captionText("Allocation"));
    auto *allocationForm = new QFormLayout(allocation);
    allocationForm->addRow(captionText("Title"), UpDownTitleCount);
    allocationForm->addRow(captionText("IntVideo"), UpDownIntVideoCount);
    ButtonMemorySet = new QPushButton(captionText("設定反映"));
    ButtonMemorySet->setObjectName(QStringLiteral("ButtonMemorySet"));
    auto *memory = new QGroupBox(captionText("Memory"));
    auto *memoryLayout = new QVBoxLayout(memory);
    auto *groups = new QHBoxLayout;
    groups->addWidget(format);
    groups->addWidget(allocation);
    memoryLayout->addLayout(groups);
    memoryLayout->addWidget(ButtonMemorySet, 0, Qt::AlignRight);

    UpDownEventNumber = countBox("UpDownEventNumber", VT90Setup::MaxEventNumber);
    UpDownEventNumber->setRule([](const QString &text) {
        int number = 0;
        return VT90Setup::readEventNumber(text, number) ? number : 0;
    });
    UpDownEventNumber->setValue(0);
    ButtonEventRecall = new QPushButton(captionText("Recall"));
    ButtonEventRecall->setObjectName(QStringLiteral("ButtonEventRecall"));
    auto *recall = new QGroupBox(captionText("Event Recall"));
    auto *recallLayout = new QHBoxLayout(recall);
    recallLayout->addWidget(UpDownEventNumber);
    recallLayout->addStretch();
    recallLayout->addWidget(ButtonEventRecall);

    auto *buttons = new QDialogButtonBox;
    QPushButton *help = buttons->addButton(captionText("ヘルプ"), QDialogButtonBox::HelpRole);
    help->setObjectName(QStringLiteral("ButtonHelp"));
    QPushButton *close = buttons->addButton(captionText("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("ButtonClose"));
    for (QPushButton *b : {help, close, ButtonMemorySet, ButtonEventRecall})
        b->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(memory);
    layout->addWidget(recall);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(CBoxSignal, &QComboBox::activated, this, [this](int index) {
        m_setup.CBoxSignalChange(index);
        showCounts();
    });
    connect(CBoxAspect, &QComboBox::activated, this,
            [this](int index) { m_setup.CBoxAspectChange(index); });
    connect(UpDownTitleCount, &QSpinBox::valueChanged, this, [this](int value) {
        m_setup.EditTitleCountChange(QString::number(value));
        showCounts();
    });
    connect(UpDownIntVideoCount, &QSpinBox::valueChanged, this, [this](int value) {
        m_setup.EditIntVideoCountChange(QString::number(value));
        showCounts();
    });
    connect(UpDownTitleCount, &QAbstractSpinBox::editingFinished, this,
            &TFormVT90Setup::showCounts);
    connect(UpDownIntVideoCount, &QAbstractSpinBox::editingFinished, this,
            &TFormVT90Setup::showCounts);
    connect(ButtonMemorySet, &QPushButton::clicked, this, &TFormVT90Setup::ButtonMemorySetClick);
    connect(ButtonEventRecall, &QPushButton::clicked, this,
            &TFormVT90Setup::ButtonEventRecallClick);
    connect(help, &QPushButton::clicked, this, &TFormVT90Setup::ButtonHelpClick);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormVT90Setup::showCounts()
{
    const QSignalBlocker titles(UpDownTitleCount);
    const QSignalBlocker clips(UpDownIntVideoCount);
    UpDownTitleCount->setValue(m_setup.titleCount());
    UpDownIntVideoCount->setValue(m_setup.intVideoCount());
    // A corrected entry may leave the value as it was: the edits show it anyway.
    UpDownTitleCount->edit()->setText(QString::number(m_setup.titleCount()));
    UpDownIntVideoCount->edit()->setText(QString::number(m_setup.intVideoCount()));
}

void TFormVT90Setup::ButtonMemorySetClick()
{
    // What is still being typed counts as typed.
    UpDownTitleCount->interpretText();
    UpDownIntVideoCount->interpretText();
    if (m_setup.ButtonMemorySetClick() == VT90Setup::Applied::Sent)
        accept();
}

void TFormVT90Setup::ButtonEventRecallClick()
{
    QString text = UpDownEventNumber->edit()->text();
    m_setup.ButtonEventRecallClick(text);
    const QSignalBlocker block(UpDownEventNumber);
    UpDownEventNumber->setValue(text.toInt());
}

void TFormVT90Setup::ButtonHelpClick()
{
    HelpManual::ShowHelp(this, HelpManual::MemorySettingDialog);
}

void TFormVT90Setup::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        ButtonHelpClick();
        return;
    }
    QDialog::keyPressEvent(event);
}
