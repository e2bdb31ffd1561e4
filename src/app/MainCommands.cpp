#include "app/MainCommands.h"

#include "app/DroppedFiles.h"
#include "app/FileDialog.h"
#include "app/MainActions.h"
#include "app/TFormMain.h"
#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "imaging/TitleTypeDialogChooser.h"
#include "list/ListEditor.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"
#include "list/TitleList.h"
#include "memory/GridPictures.h"
#include "memory/ListGrid.h"
#include "memory/ListGridCellDrawer.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QApplication>
#include <QLoggingCategory>
#include <QMenu>

Q_LOGGING_CATEGORY(lcCommands, "titledeck.commands", QtWarningMsg)

MainCommands::MainCommands(TFormMain &window, MainActions &actions)
    : QObject(&window), m_window(window), m_actions(actions)
{
    const MainServices &s = window.services();
    m_history = std::make_unique<PropertyHistory>(window.paths().HistoryFile, s.waits);
    m_chooser = std::make_unique<TitleTypeDialogChooser>(s.images, s.boxes, &window);
    m_services.reset(
        new ListServices{s.boxes, s.images, s.waits, window.settings(), *m_history, *m_chooser});
    m_services->connected = [this] { return m_window.Connected(); };
    m_editor = std::make_unique<ListEditor>(window.titleList(), *m_services);

    ListGrid &grid = window.grid();
    m_pictures = std::make_unique<GridPictures>(window.devicePixelRatioF());
    m_drawer = std::make_unique<ListGridCellDrawer>(grid, *m_pictures);
    grid.setPictures(m_pictures.get());
    grid.setCellDrawer([this](QPainter &p, int column, int row, const QRect &cell) {
        m_drawer->draw(p, column, row, cell);
    });
    m_editor->setTopRowAccess([&grid] { return grid.topRow(); },
                              [&grid](int row) { grid.setTopRow(row); });
    m_chooseFile = [this](int mode) {
        return FileDialog::FileDialog(&m_window, mode, m_window.settings().Environment);
    };

    connect(m_editor.get(), &ListEditor::captionChanged, this,
            [this](const QString &fileName, bool modified) {
                m_window.setListFileName(fileName);
                m_window.UpdateCaption(modified);
            });
    connect(m_editor.get(), &ListEditor::undoRedoChanged, this, &MainCommands::updateCommandStates);
    connect(m_editor.get(), &ListEditor::clipboardChanged, this,
            &MainCommands::updateCommandStates);
    connect(m_editor.get(), &ListEditor::listReset, this, [this] {
        updateCommandStates();
        updateSortMarks();
    });
    connect(m_editor.get(), &ListEditor::keyerIdleRequested, this,
            [this] { m_window.SetDskState(TFormMain::Idle, TitleList::NoMemory); });
    TitleList &list = window.titleList();
    connect(&list, &TitleList::countChanged, this, &MainCommands::updateCommandStates);
    connect(&list, &TitleList::listChanged, this, &MainCommands::updateCommandStates);
    connect(&list, &TitleList::rowChanged, this, &MainCommands::updateCommandStates);
    connect(&list, &TitleList::selectionChanged, this, &MainCommands::updateStatusText);
    connect(&list, &TitleList::cursorSet, this, &MainCommands::updateStatusText);

    connectActions();
    updateCommandStates();
    updateSortMarks();
}

MainCommands::~MainCommands() = default;

void MainCommands::connectActions()
{
    const auto on = [this](const char *name, auto handler) {
        if (QAction *a = m_actions.action(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    on("mnuFile_MakeNewList", &MainCommands::mnuFile_MakeNewListClick);
    on("mnuFile_FileOpen", &MainCommands::mnuFile_FileOpenClick);
    on("mnuFile_ListOpen", &MainCommands::mnuFile_ListOpenClick);
    on("mnuFile_ListSave", &MainCommands::mnuFile_ListSaveClick);
    on("mnuFile_ListSaveAs", &MainCommands::mnuFile_ListSaveAsClick);
    on("mnuFile_Exit", &MainCommands::mnuFile_ExitClick);
    on("mnuEdit_Undo", &MainCommands::mnuEdit_UndoClick);
    on("mnuEdit_Redo", &MainCommands::mnuEdit_RedoClick);
    on("mnuEdit_Cut", &MainCommands::mnuEdit_CutClick);
    on("mnuEdit_Copy", &MainCommands::mnuEdit_CopyClick);
    on("mnuEdit_Paste", &MainCommands::mnuEdit_PasteClick);
    on("mnuEdit_Delete", &MainCommands::mnuEdit_DeleteClick);
    on("mnuEdit_SelectAll", &MainCommands::mnuEdit_SelectAllClick);
    on("mnuView_Icon", &MainCommands::mnuView_IconClick);
    on("mnuView_List", &MainCommands::mnuView_ListClick);
    on("mnuCursor_CursorTop", &MainCommands::mnuCursor_CursorTopClick);
    on("mnuCursor_CursorPrevSkip", &MainCommands::mnuCursor_CursorPrevSkipClick);
    on("mnuCursor_CursorPrev", &MainCommands::mnuCursor_CursorPrevClick);
    on("mnuCursor_CursorNext", &MainCommands::mnuCursor_CursorNextClick);
    on("mnuCursor_CursorNextSkip", &MainCommands::mnuCursor_CursorNextSkipClick);
    on("mnuCursor_CursorBottom", &MainCommands::mnuCursor_CursorBottomClick);
    on("mnuCursor_JumpToDsk", &MainCommands::mnuCursor_JumpToDskClick);
    const std::pair<const char *, int> sorts[] = {
        {"mnuView_SortName_Upward", ListEditor::NameAscending},
        {"mnuView_SortName_Downward", ListEditor::NameDescending},
        {"mnuView_SortComment_Upward", ListEditor::CommentAscending},
        {"mnuView_SortComment_Downward", ListEditor::CommentDescending},
    };
    for (const auto &[name, mode] : sorts)
        if (QAction *a = m_actions.action(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, this, [this, m = mode] { SortList(m); });
    for (int m = 1; m <= 9; ++m)
        connect(m_actions.markAction(m), &QAction::triggered, this, [this, m] { JumpToMark(m); });
    if (QMenu *edit = m_actions.menu(QStringLiteral("mnuEdit")))
        connect(edit, &QMenu::aboutToShow, this, &MainCommands::mnuEditClick);
    const bool icon = m_window.grid().iconView();
    m_actions.action(QStringLiteral("mnuView_Icon"))->setChecked(icon);
    m_actions.action(QStringLiteral("mnuView_List"))->setChecked(!icon);
}

QString MainCommands::chooseFile(int mode)
{
    return m_chooseFile ? m_chooseFile(mode) : QString();
}

bool MainCommands::listCommandsRefused() const
{
    // A list being read keeps events flowing; another list command must wait.
    return m_editor->busy();
}

bool MainCommands::offerSave()
{
    TitleList &list = m_window.titleList();
    if (list.isEmpty() || !m_window.Modified())
        return true;
    const int answer = ShowMessageById(m_window.boxes(), 11, 129, MsgExclamationYesNoCancel);
    if (answer == IdCancel)
        return false;
    if (answer == IdYes)
        return mnuFile_ListSaveClick();
    return true;
}

void MainCommands::mnuFile_MakeNewListClick()
{
    if (listCommandsRefused())
        return;
    const int dsk = m_window.DskState();
    if (dsk >= TFormMain::OnWait && dsk <= TFormMain::OffRunning) {
        ShowMessageById(m_window.boxes(), 1, 136, MsgError);
        return;
    }
    if (m_window.ListFileName().isEmpty() && m_window.titleList().isEmpty())
        return;
    if (!offerSave())
        return;
    m_editor->NewList();
    // The window may still name a list that was missing at start.
    m_window.setListFileName(QString());
    m_window.UpdateCaption(false);
    updateCommandStates();
}

void MainCommands::mnuFile_FileOpenClick()
{
    if (listCommandsRefused() || m_window.titleList().isFull())
        return;
    const QString path = chooseFile(0);
    if (!path.isEmpty())
        m_editor->AddImageFile(path);
    updateCommandStates();
}

void MainCommands::mnuFile_ListOpenClick()
{
    if (listCommandsRefused())
        return;
    const int dsk = m_window.DskState();
    if (dsk >= TFormMain::OnWait && dsk <= TFormMain::OffRunning) {
        ShowMessageById(m_window.boxes(), 1, 136, MsgError);
        return;
    }
    if (!offerSave())
        return;
    const QString path = chooseFile(4);
    if (path.isEmpty())
        return;
    m_editor->OpenList(path, true);
    updateCommandStates();
}

bool MainCommands::mnuFile_ListSaveClick()
{
    if (listCommandsRefused())
        return false;
    const QString name = m_window.ListFileName();
    if (name.isEmpty())
        return mnuFile_ListSaveAsClick();
    return m_editor->SaveList(name, true);
}

bool MainCommands::mnuFile_ListSaveAsClick()
{
    if (listCommandsRefused() || m_window.titleList().isEmpty())
        return false;
    const QString path = chooseFile(5);
    if (path.isEmpty())
        return false;
    return m_editor->SaveList(path, false);
}

void MainCommands::mnuFile_ExitClick()
{
    m_window.close();
}

void MainCommands::mnuEditClick()
{
    const bool titles = !m_window.titleList().isEmpty();
    for (const char *name : {"mnuEdit_Cut", "mnuEdit_Copy", "mnuEdit_Delete", "mnuEdit_SelectAll"})
        m_actions.action(QString::fromLatin1(name))->setEnabled(titles);
    m_actions.action(QStringLiteral("mnuEdit_Paste"))->setEnabled(m_editor->hasClipboard());
}

void MainCommands::mnuEdit_UndoClick()
{
    if (!listCommandsRefused())
        m_editor->Undo();
}

void MainCommands::mnuEdit_RedoClick()
{
    if (!listCommandsRefused())
        m_editor->Redo();
}

void MainCommands::mnuEdit_CutClick()
{
    if (!listCommandsRefused())
        m_editor->Cut();
}

void MainCommands::mnuEdit_CopyClick()
{
    if (!listCommandsRefused())
        m_editor->Copy();
}

void MainCommands::mnuEdit_PasteClick()
{
    if (!listCommandsRefused())
        m_editor->Paste();
}

void MainCommands::mnuEdit_DeleteClick()
{
    if (!listCommandsRefused())
        m_editor->Delete();
}

void MainCommands::mnuEdit_SelectAllClick()
{
    if (!m_window.titleList().isEmpty())
        m_editor->SelectAll();
}

void MainCommands::mnuView_IconClick()
{
    m_actions.action(QStringLiteral("mnuView_Icon"))->setChecked(true);
    m_window.setIconView(true);
}

void MainCommands::mnuView_ListClick()
{
    m_actions.action(QStringLiteral("mnuView_List"))->setChecked(true);
    m_window.setIconView(false);
}

void MainCommands::SortList(int mode)
{
    if (listCommandsRefused())
        return;
    m_editor->SortList(mode);
    updateSortMarks();
}

void MainCommands::updateSortMarks()
{
    // The marks show the direction of the last sort: the next header click
    // goes the other way.
    m_window.grid().setSortDirections(m_editor->nextNameSortMode() == ListEditor::NameDescending,
                                      m_editor->nextCommentSortMode() ==
                                          ListEditor::CommentDescending);
}

void MainCommands::mnuCursor_CursorTopClick()
{
    m_window.titleList().SetCursor(1);
}

void MainCommands::mnuCursor_CursorPrevSkipClick()
{
    TitleList &list = m_window.titleList();
    list.SetCursor(list.cursor() - 10);
}

void MainCommands::mnuCursor_CursorPrevClick()
{
    TitleList &list = m_window.titleList();
    if (list.cursor() > 1)
        list.SetCursor(list.cursor() - 1);
}

void MainCommands::mnuCursor_CursorNextClick()
{
    TitleList &list = m_window.titleList();
    if (list.cursor() < list.count())
        list.SetCursor(list.cursor() + 1);
}

void MainCommands::mnuCursor_CursorNextSkipClick()
{
    TitleList &list = m_window.titleList();
    list.SetCursor(list.cursor() + 10);
}

void MainCommands::mnuCursor_CursorBottomClick()
{
    TitleList &list = m_window.titleList();
    list.SetCursor(list.count());
}

void MainCommands::mnuCursor_JumpToDskClick()
{
    TitleList &list = m_window.titleList();
    if (list.OnAirMemoryNo() == TitleList::NoMemory)
        return;
    if (const auto index = list.FindByMemoryNo(list.OnAirMemoryNo()))
        list.SetCursor(*index);
}

void MainCommands::JumpToMark(int mark)
{
    if (mark < 1 || mark > 9)
        return;
    TitleList &list = m_window.titleList();
    if (const auto index = list.FindByMark(mark))
        list.SetCursor(*index);
}

int MainCommands::dropFiles(const QStringList &paths)
{
    if (listCommandsRefused())
        return 0;
    int added = 0;
    for (const QString &path : DroppedFiles::filesToAdd(paths)) {
        if (!m_editor->AddImageFile(path))
            break;
        ++added;
    }
    qCDebug(lcCommands) << "dropped" << paths.size() << "files, added" << added;
    updateCommandStates();
    return added;
}

void MainCommands::openAtStart(const QString &path)
{
    m_editor->OpenList(path, false);
    updateCommandStates();
}

void MainCommands::setDskJumpEnabled(bool enabled)
{
    m_actions.action(QStringLiteral("mnuCursor_JumpToDsk"))->setEnabled(enabled);
}

void MainCommands::showDskState(int state)
{
    m_drawer->setDskState(state);
    ListGrid &grid = m_window.grid();
    for (int column : {0, 4, 5, 6})
        grid.RedrawColumn(column);
}

void MainCommands::showBlinkPhase(int phase)
{
    m_drawer->setBlinkPhase(phase);
    m_window.grid().RedrawColumn(4);
    m_window.grid().RedrawColumn(6);
}

void MainCommands::updateCommandStates()
{
    const TitleList &list = m_window.titleList();
    const bool titles = !list.isEmpty();
    m_actions.action(QStringLiteral("mnuFile_FileOpen"))->setEnabled(!list.isFull());
    for (const char *name :
         {"mnuCursor_CursorTop", "mnuCursor_CursorPrevSkip", "mnuCursor_CursorPrev",
          "mnuCursor_CursorNext", "mnuCursor_CursorNextSkip", "mnuCursor_CursorBottom"})
        m_actions.action(QString::fromLatin1(name))->setEnabled(titles);
    const auto used = list.UsedMarks();
    for (int m = 1; m <= 9; ++m)
        m_actions.markAction(m)->setEnabled(used[std::size_t(m)]);
    QAction *undo = m_actions.action(QStringLiteral("mnuEdit_Undo"));
    undo->setText(m_editor->undoCaption());
    undo->setEnabled(m_editor->canUndo());
    QAction *redo = m_actions.action(QStringLiteral("mnuEdit_Redo"));
    redo->setText(m_editor->redoCaption());
    redo->setEnabled(m_editor->canRedo());
    mnuEditClick();
    updateStatusText();
}

void MainCommands::updateStatusText()
{
    const TitleList &list = m_window.titleList();
    if (list.isEmpty()) {
        m_window.setStatusPath(QString());
        return;
    }
    const int selected = list.SelectionCount();
    if (selected > 1)
        m_window.setStatusPath(MessageTable::format(19, {selected}));
    else
        m_window.setStatusPath(list.at(std::clamp(list.cursor(), 1, list.count())).firstFile());
}
