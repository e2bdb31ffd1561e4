#pragma once

#include "core/Settings.h"

#include <QDialog>
#include <functional>
#include <memory>

class MessageBoxes;
class PropertyHistory;
class QLineEdit;

namespace Ui {
class TFormEnvironmentSetup;
}

// "動作環境": the preferences of the main window on three pages (operation,
// conversion, folders). Works on a copy of the main window's values; OK hands
// them back (result()), Cancel, Esc and the close button drop them. Only
// clearing the property history acts at once.
class TFormEnvironmentSetup : public QDialog
{
    Q_OBJECT

public:
    // Chooses a folder starting at a folder (empty: cancelled).
    using FolderChooser = std::function<QString(const QString &startFolder)>;

    TFormEnvironmentSetup(const EnvironmentSettings &current, PropertyHistory &history,
                          MessageBoxes &boxes, QWidget *parent = nullptr);
    ~TFormEnvironmentSetup() override;

    // The values as OK read them back from the controls.
    const EnvironmentSettings &result() const { return m_edited; }

    // Tests answer the folder picker and see help requests.
    void setFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    void setHelp(std::function<void(int topic)> help) { m_help = std::move(help); }

    // Control handlers.
    void CBoxMemoryClearWhenConnectClick();
    void ButtonClearHistoryClick();
    void ButtonListBrowseClick();
    void ButtonTitleBrowseClick();
    void ButtonIntVideoBrowseClick();
    void EditListFolderExit();
    void EditTitleFolderExit();
    void EditIntVideoFolderExit();
    void ButtonOKClick();
    void ButtonHelpClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void translateCaptions();
    void FormShow();
    void browse(QLineEdit *edit);
    QString chooseFolder(const QString &start);

    std::unique_ptr<Ui::TFormEnvironmentSetup> ui;
    // The main window's values: the fallback of the folder fields.
    const EnvironmentSettings m_main;
    EnvironmentSettings m_edited;
    PropertyHistory &m_history;
    MessageBoxes &m_boxes;
    FolderChooser m_chooseFolder;
    std::function<void(int)> m_help;
};
