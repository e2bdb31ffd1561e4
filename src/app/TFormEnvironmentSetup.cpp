#include "app/TFormEnvironmentSetup.h"

#include "app/EnvironmentSetup.h"
#include "core/HelpManual.h"
#include "list/PropertyHistory.h"
#include "resources/MessageTable.h"
#include "ui_TFormEnvironmentSetup.h"

#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>

namespace {
// Wide enough for a usual folder path.
constexpr int kFolderFieldWidth = 320;
} // namespace

TFormEnvironmentSetup::TFormEnvironmentSetup(const EnvironmentSettings &current,
                                             PropertyHistory &history, MessageBoxes &boxes,
                                             QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFormEnvironmentSetup>()), m_main(current),
      m_edited(current), m_history(history), m_boxes(boxes)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // Modal to the main window only: the help window it opens stays usable.
    setWindowModality(Qt::WindowModal);
    for (QLineEdit *edit : {ui->EditListFolder, ui->EditTitleFolder, ui->EditIntVideoFolder})
        edit->setMinimumWidth(kFolderFieldWidth);
    translateCaptions();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_chooseFolder = [this](const QString &start) {
        return QFileDialog::getExistingDirectory(this, QString(), start, QFileDialog::ShowDirsOnly);
    };
    m_help = [this](int topic) { HelpManual::ShowHelp(this, topic); };

    connect(ui->CBoxMemoryClearWhenConnect, &QCheckBox::clicked, this,
            &TFormEnvironmentSetup::CBoxMemoryClearWhenConnectClick);
    connect(ui->ButtonClearHistory, &QPushButton::clicked, this,
            &TFormEnvironmentSetup::ButtonClearHistoryClick);
    connect(ui->ButtonListBrowse, &QPushButton::clicked, this,
            &TFormEnvironmentSetup::ButtonListBrowseClick);
    connect(ui->ButtonTitleBrowse, &QPushButton::clicked, this,
            &TFormEnvironmentSetup::ButtonTitleBrowseClick);
    connect(ui->ButtonIntVideoBrowse, &QPushButton::clicked, this,
            &TFormEnvironmentSetup::ButtonIntVideoBrowseClick);
    connect(ui->EditListFolder, &QLineEdit::editingFinished, this,
            &TFormEnvironmentSetup::EditListFolderExit);
    connect(ui->EditTitleFolder, &QLineEdit::editingFinished, this,
            &TFormEnvironmentSetup::EditTitleFolderExit);
    connect(ui->EditIntVideoFolder, &QLineEdit::editingFinished, this,
            &TFormEnvironmentSetup::EditIntVideoFolderExit);
    connect(ui->ButtonOK, &QPushButton::clicked, this, &TFormEnvironmentSetup::ButtonOKClick);
    connect(ui->ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->ButtonHelp, &QPushButton::clicked, this, &TFormEnvironmentSetup::ButtonHelpClick);
    FormShow();
}

TFormEnvironmentSetup::~TFormEnvironmentSetup() = default;

void TFormEnvironmentSetup::translateCaptions()
{
    setWindowTitle(MessageTable::caption(windowTitle()));
    for (QAbstractButton *b : findChildren<QAbstractButton *>())
        b->setText(MessageTable::caption(b->text()));
    for (QLabel *l : findChildren<QLabel *>())
        l->setText(MessageTable::caption(l->text()));
    for (QGroupBox *g : findChildren<QGroupBox *>())
        g->setTitle(MessageTable::caption(g->title()));
    for (int i = 0; i < ui->PageControl->count(); ++i)
        ui->PageControl->setTabText(i, MessageTable::caption(ui->PageControl->tabText(i)));
}

void TFormEnvironmentSetup::FormShow()
{
    const EnvironmentSettings &e = m_edited;
    ui->CBoxBeginLastStatus->setChecked(e.BeginLastStatus);
    ui->CBoxConfirmClose->setChecked(e.ConfirmClose);
    ui->CBoxMemoryClearWhenConnect->setChecked(e.ClearMemory);
    ui->CBoxClearKeepData->setChecked(e.ClearKeepData);
    ui->CBoxClearKeepData->setEnabled(e.ClearMemory);
    ui->CBoxCursorAutoMove->setChecked(e.CursorAutoMove);
    if (e.HistoryMode == 0)
        ui->RButtonAlwaysUseHistory->setChecked(true);
    else if (e.HistoryMode == 1)
        ui->RButtonSelectUseHistory->setChecked(true);
    else
        ui->RButtonNoUseHistory->setChecked(true);
    (e.YUVMax != 0 ? ui->RButtonYUVMaxSuperWhite : ui->RButtonYUVMaxWhite)->setChecked(true);
    (e.YUVMin != 0 ? ui->RButtonYUVMinSuperBlack : ui->RButtonYUVMinBlack)->setChecked(true);
    ui->EditListFolder->setText(e.ListFolder);
    ui->EditTitleFolder->setText(e.TitleFolder);
    ui->EditIntVideoFolder->setText(e.IntVideoFolder);
}

void TFormEnvironmentSetup::CBoxMemoryClearWhenConnectClick()
{
    // The protected-data choice only means something when memory is cleared;
    // its check stays for the next time.
    ui->CBoxClearKeepData->setEnabled(ui->CBoxMemoryClearWhenConnect->isChecked());
}

void TFormEnvironmentSetup::ButtonClearHistoryClick()
{
    m_history.ClearHistory(m_boxes);
}

QString TFormEnvironmentSetup::chooseFolder(const QString &start)
{
    return m_chooseFolder ? m_chooseFolder(start) : QString();
}

void TFormEnvironmentSetup::browse(QLineEdit *edit)
{
    const QString folder = chooseFolder(edit->text());
    if (!folder.isEmpty())
        edit->setText(QDir::toNativeSeparators(folder));
}

void TFormEnvironmentSetup::ButtonListBrowseClick()
{
    browse(ui->EditListFolder);
}

void TFormEnvironmentSetup::ButtonTitleBrowseClick()
{
    browse(ui->EditTitleFolder);
}

void TFormEnvironmentSetup::ButtonIntVideoBrowseClick()
{
    browse(ui->EditIntVideoFolder);
}

void TFormEnvironmentSetup::EditListFolderExit()
{
    ui->EditListFolder->setText(
        EnvironmentSetup::checkedFolder(ui->EditListFolder->text(), m_main.ListFolder));
}

void TFormEnvironmentSetup::EditTitleFolderExit()
{
    ui->EditTitleFolder->setText(
        EnvironmentSetup::checkedFolder(ui->EditTitleFolder->text(), m_main.TitleFolder));
}

void TFormEnvironmentSetup::EditIntVideoFolderExit()
{
    ui->EditIntVideoFolder->setText(
        EnvironmentSetup::checkedFolder(ui->EditIntVideoFolder->text(), m_main.IntVideoFolder));
}

void TFormEnvironmentSetup::ButtonOKClick()
{
    // The folder checks run as if the focus had left each field.
    EditListFolderExit();
    EditTitleFolderExit();
    EditIntVideoFolderExit();
    EnvironmentSettings &e = m_edited;
    e.BeginLastStatus = ui->CBoxBeginLastStatus->isChecked();
    e.ConfirmClose = ui->CBoxConfirmClose->isChecked();
    e.ClearMemory = ui->CBoxMemoryClearWhenConnect->isChecked();
    e.ClearKeepData = ui->CBoxClearKeepData->isChecked();
    e.CursorAutoMove = ui->CBoxCursorAutoMove->isChecked();
    e.HistoryMode = ui->RButtonAlwaysUseHistory->isChecked()   ? 0
                    : ui->RButtonSelectUseHistory->isChecked() ? 1
                                                               : 2;
    e.YUVMax = ui->RButtonYUVMaxSuperWhite->isChecked() ? 1 : 0;
    e.YUVMin = ui->RButtonYUVMinSuperBlack->isChecked() ? 1 : 0;
    e.ListFolder = ui->EditListFolder->text();
    e.TitleFolder = ui->EditTitleFolder->text();
    e.IntVideoFolder = ui->EditIntVideoFolder->text();
    accept();
}

void TFormEnvironmentSetup::ButtonHelpClick()
{
    if (m_help)
        m_help(HelpManual::Environment);
}

void TFormEnvironmentSetup::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        ButtonHelpClick();
        return;
    }
    // Esc closes as Cancel (the dialog's own handling).
    QDialog::keyPressEvent(event);
}
