#include "app/MainCommands.h"

#include "app/DroppedFiles.h"
#include "app/EnvironmentSetup.h"
#include "app/FileDialog.h"
#include "app/MainActions.h"
#include "app/TFormEnvironmentSetup.h"
#include "app/TFormMain.h"
#include "core/HelpManual.h"
#include "core/MemoryNo.h"
#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "imaging/TitleTypeDialogChooser.h"
#include "list/ListEditor.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"
#include "list/TFormImageDisplay.h"
#include "list/TitleList.h"
#include "memory/GridPictures.h"
#include "memory/KeyerState.h"
#include "memory/ListGrid.h"
#include "memory/ListGridCellDrawer.h"
#include "properties/DefaultProperties.h"
#include "properties/PropertyCommand.h"
#include "properties/TFormDefaultDataSetup.h"
#include "properties/TFormProperty.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QApplication>
#include <QLoggingCategory>
#include <QMenu>
#include <QTimer>

Q_LOGGING_CATEGORY(lcCommands, "titledeck.commands", QtWarningMsg)

MainCommands::MainCommands(TFormMain &window, MainActions &actions, KeyerState &keyer)
    : QObject(&window), m_window(window), m_actions(actions), m_keyer(keyer)
{
    const MainServices &s = window.services();
    m_history = std::make_unique<PropertyHistory>(window.paths().HistoryFile, s.waits);
    m_chooser = std::make_unique<TitleTypeDialogChooser>(s.images, s.boxes, &window);
    m_chooser->setHelp([this](int topic) { HelpManual::ShowHelp(&m_window, topic); });
    m_services.reset(
        new ListServices{s.boxes, s.images, s.waits, window.settings(), *m_history, *m_chooser});
    m_services->connected = [this] { return m_window.Connected(); };
    m_editor = std::make_unique<ListEditor>(window.titleList(), *m_services);
    m_property = std::make_unique<PropertyCommand>(*m_editor, [this](int order) {
        TFormProperty dialog(m_window.titleList(), order, *m_services, &m_window);
        return dialog.exec() == QDialog::Accepted;
    });

    ListGrid &grid = window.grid();
    m_pictures = std::make_unique<GridPictures>(window.devicePixelRatioF());
    m_drawer = std::make_unique<ListGridCellDrawer>(grid, *m_pictures);
    grid.setPictures(m_pictures.get());
    grid.setCellDrawer([this](QPainter &p, GridColumn column, int row, const QRect &cell) {
        m_drawer->draw(p, column, row, cell);
    });
    // Undo and redo bring back the grid's first row, then show the cursor row
    // as every other cursor move does (the window may have been resized since).
    m_editor->setTopRowAccess([&grid] { return grid.topRow(); },
                              [&grid, &list = window.titleList()](int row) {
                                  grid.setTopRow(row);
                                  grid.scrollToRow(list.cursor());
                              });
    m_chooseFile = [this](int mode) {
        return FileDialog::FileDialog(&m_window, mode, m_window.settings().Environment);
    };

    // The image viewer: created hidden, kept until exit.
    m_imageDisplay = new TFormImageDisplay(window.titleList(), *m_services, &window);
    m_imageDisplay->setObjectName(QStringLiteral("TFormImageDisplay"));

    ListEditor *editor = m_editor.get();
    connect(editor, &ListEditor::undoRedoChanged, this, &MainCommands::updateCommandStates);
    connect(editor, &ListEditor::clipboardChanged, this, &MainCommands::updateCommandStates);
    connect(editor, &ListEditor::busyChanged, this, &MainCommands::updateCommandStates);
    connect(editor, &ListEditor::listReset, this, [this] {
        if (m_window.titleList().isEmpty())
            m_imageDisplay->hide();
        updateCommandStates();
        updateSortMarks();
    });
    connect(editor, &ListEditor::keyerIdleRequested, this,
            [this] { m_keyer.SetDskState(DskState::Idle, MemoryNo::None); });
    TitleList &list = window.titleList();
    connect(&list, &TitleList::countChanged, this, &MainCommands::updateCommandStates);
    connect(&list, &TitleList::listChanged, this, &MainCommands::updateCommandStates);
    connect(&list, &TitleList::rowChanged, this, &MainCommands::updateCommandStates);
    connect(&list, &TitleList::selectionChanged, this, &MainCommands::updateStatusText);
    connect(&list, &TitleList::cursorSet, this, &MainCommands::updateStatusText);

    connectActions();
    connectKeyer();
    updateCommandStates();
    updateSortMarks();
}

MainCommands::~MainCommands() = default;

void MainCommands::connectActions()
{
    const MainActions &a = m_actions;
    ListEditor *e = m_editor.get();
    const auto on = [this](QAction *action, void (MainCommands::*handler)()) {
        connect(action, &QAction::triggered, this, handler);
    };
    on(a.mnuFile_MakeNewList, &MainCommands::mnuFile_MakeNewListClick);
    on(a.mnuFile_FileOpen, &MainCommands::mnuFile_FileOpenClick);
    on(a.pmnuAdd, &MainCommands::mnuFile_FileOpenClick);
    on(a.mnuFile_ListOpen, &MainCommands::mnuFile_ListOpenClick);
    connect(a.mnuFile_ListSave, &QAction::triggered, this, &MainCommands::mnuFile_ListSaveClick);
    connect(a.mnuFile_ListSaveAs, &QAction::triggered, this,
            &MainCommands::mnuFile_ListSaveAsClick);
    on(a.mnuFile_ImageDisplay, &MainCommands::mnuFile_ImageDisplayClick);
    on(a.mnuFile_Exit, &MainCommands::mnuFile_ExitClick);
    on(a.mnuTool_EnvSetup, &MainCommands::mnuTool_EnvSetupClick);
    on(a.mnuFile_Property, &MainCommands::mnuFile_PropertyClick);
    on(a.pmnuProperty, &MainCommands::mnuFile_PropertyClick);
    on(a.mnuTool_DefaultDataSetup, &MainCommands::mnuTool_DefaultDataSetupClick);
    connect(a.mnuEdit, &QMenu::aboutToShow, this, &MainCommands::mnuEditClick);
    connect(a.mnuEdit_Undo, &QAction::triggered, e, &ListEditor::Undo);
    connect(a.mnuEdit_Redo, &QAction::triggered, e, &ListEditor::Redo);
    connect(a.mnuEdit_Cut, &QAction::triggered, e, &ListEditor::Cut);
    connect(a.mnuEdit_Copy, &QAction::triggered, e, &ListEditor::Copy);
    connect(a.mnuEdit_Paste, &QAction::triggered, e, &ListEditor::Paste);
    connect(a.mnuEdit_Delete, &QAction::triggered, e, &ListEditor::Delete);
    connect(a.mnuEdit_SelectAll, &QAction::triggered, e, &ListEditor::SelectAll);
    on(a.mnuView_Icon, &MainCommands::mnuView_IconClick);
    on(a.mnuView_List, &MainCommands::mnuView_ListClick);
    on(a.mnuView_SortName_Upward, &MainCommands::mnuView_SortName_UpwardClick);
    on(a.mnuView_SortName_Downward, &MainCommands::mnuView_SortName_DownwardClick);
    on(a.mnuView_SortComment_Upward, &MainCommands::mnuView_SortComment_UpwardClick);
    on(a.mnuView_SortComment_Downward, &MainCommands::mnuView_SortComment_DownwardClick);
    on(a.mnuCursor_CursorTop, &MainCommands::mnuCursor_CursorTopClick);
    on(a.mnuCursor_CursorPrevSkip, &MainCommands::mnuCursor_CursorPrevSkipClick);
    on(a.mnuCursor_CursorPrev, &MainCommands::mnuCursor_CursorPrevClick);
    on(a.mnuCursor_CursorNext, &MainCommands::mnuCursor_CursorNextClick);
    on(a.mnuCursor_CursorNextSkip, &MainCommands::mnuCursor_CursorNextSkipClick);
    on(a.mnuCursor_CursorBottom, &MainCommands::mnuCursor_CursorBottomClick);
    on(a.mnuCursor_JumpToDsk, &MainCommands::mnuCursor_JumpToDskClick);
    for (int m = 1; m <= 9; ++m)
        connect(a.mnuCursor_JumpToM[std::size_t(m)], &QAction::triggered, this,
                [this, m] { JumpToMark(m); });
    const bool icon = m_window.grid().iconView();
    a.mnuView_Icon->setChecked(icon);
    a.mnuView_List->setChecked(!icon);
}

void MainCommands::connectKeyer()
{
    TimerBlinkDskCursor = new QTimer(this);
    TimerBlinkDskCursor->setObjectName(QStringLiteral("TimerBlinkDskCursor"));
    TimerBlinkDskCursor->setInterval(500);
    connect(TimerBlinkDskCursor, &QTimer::timeout, this, [this] {
        m_blinkPhase ^= 1;
        showBlinkPhase(m_blinkPhase);
    });
    connect(&m_keyer, &KeyerState::dskStateChanged, this, &MainCommands::showDskState);
    connect(&m_keyer, &KeyerState::dskJumpEnabled, m_actions.mnuCursor_JumpToDsk,
            &QAction::setEnabled);
    connect(&m_keyer, &KeyerState::blinkingChanged, this, [this](bool blinking) {
        if (blinking) {
            TimerBlinkDskCursor->start();
        } else {
            TimerBlinkDskCursor->stop();
            m_blinkPhase = 0;
            showBlinkPhase(0);
        }
    });
}

QString MainCommands::chooseFile(int mode)
{
    return m_chooseFile ? m_chooseFile(mode) : QString();
}

bool MainCommands::offerSave()
{
    if (m_window.titleList().isEmpty() || !m_editor->Modified())
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
    if (m_keyer.IsDskBusy()) {
        ShowMessageById(m_window.boxes(), 1, 136, MsgError);
        return;
    }
    if (m_editor->ListFileName().isEmpty() && m_window.titleList().isEmpty())
        return;
    if (offerSave())
        m_editor->NewList();
}

void MainCommands::mnuFile_FileOpenClick()
{
    if (m_window.titleList().isFull())
        return;
    const QString path = chooseFile(0);
    if (!path.isEmpty())
        m_editor->AddImageFile(path);
}

void MainCommands::mnuFile_ListOpenClick()
{
    openList({});
}

bool MainCommands::openList(const QString &givenPath)
{
    if (m_keyer.IsDskBusy()) {
        ShowMessageById(m_window.boxes(), 1, 136, MsgError);
        return false;
    }
    if (!offerSave())
        return false;
    const QString path = givenPath.isEmpty() ? chooseFile(4) : givenPath;
    return !path.isEmpty() && m_editor->OpenList(path, true);
}

bool MainCommands::mnuFile_ListSaveClick()
{
    const QString name = m_editor->ListFileName();
    if (name.isEmpty())
        return mnuFile_ListSaveAsClick();
    return m_editor->SaveList(name, true);
}

bool MainCommands::mnuFile_ListSaveAsClick()
{
    if (m_window.titleList().isEmpty())
        return false;
    const QString path = chooseFile(5);
    return !path.isEmpty() && m_editor->SaveList(path, false);
}

void MainCommands::mnuFile_ImageDisplayClick()
{
    m_imageDisplay->showCursorTitle();
}

void MainCommands::mnuTool_EnvSetupClick()
{
    EnvironmentSettings &environment = m_window.settings().Environment;
    TFormEnvironmentSetup dialog(environment, *m_history, m_window.boxes(), &m_window);
    if (dialog.exec() == QDialog::Accepted)
        EnvironmentSetup::store(dialog.result(), environment);
}

void MainCommands::mnuFile_ExitClick()
{
    m_window.close();
}

void MainCommands::mnuFile_PropertyClick()
{
    m_property->run();
}

void MainCommands::mnuTool_DefaultDataSetupClick()
{
    DefaultTitleSettings &defaults = m_window.settings().Default;
    TFormDefaultDataSetup dialog(DefaultProperties::fromSettings(defaults),
                                 m_services->format().framesPerSecond, m_window.boxes(), &m_window);
    if (dialog.exec() == QDialog::Accepted)
        dialog.defaults().toSettings(defaults);
}

void MainCommands::mnuEditClick()
{
    const bool titles = !m_window.titleList().isEmpty();
    const bool idle = !m_editor->busy();
    m_actions.mnuEdit_Cut->setEnabled(titles && idle);
    m_actions.mnuEdit_Copy->setEnabled(titles && idle);
    m_actions.mnuEdit_Delete->setEnabled(titles && idle);
    m_actions.mnuEdit_SelectAll->setEnabled(titles);
    m_actions.mnuEdit_Paste->setEnabled(m_editor->hasClipboard() && idle);
}

void MainCommands::mnuView_IconClick()
{
    m_actions.mnuView_Icon->setChecked(true);
    m_window.setIconView(true);
}

void MainCommands::mnuView_ListClick()
{
    m_actions.mnuView_List->setChecked(true);
    m_window.setIconView(false);
}

void MainCommands::mnuView_SortName_UpwardClick()
{
    SortList(ListEditor::NameAscending);
}

void MainCommands::mnuView_SortName_DownwardClick()
{
    SortList(ListEditor::NameDescending);
}

void MainCommands::mnuView_SortComment_UpwardClick()
{
    SortList(ListEditor::CommentAscending);
}

void MainCommands::mnuView_SortComment_DownwardClick()
{
    SortList(ListEditor::CommentDescending);
}

void MainCommands::SortList(int mode)
{
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
    if (list.OnAirMemoryNo() == MemoryNo::None)
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
    int added = 0;
    for (const QString &path : DroppedFiles::filesToAdd(paths)) {
        if (!m_editor->AddImageFile(path))
            break;
        ++added;
    }
    qCDebug(lcCommands) << "dropped" << paths.size() << "files, added" << added;
    return added;
}

void MainCommands::openAtStart(const QString &path)
{
    m_editor->OpenAtStart(path);
}

void MainCommands::closeListForFormatChange()
{
    if (m_editor->ListFileName().isEmpty() && m_window.titleList().isEmpty())
        return;
    if (offerSave())
        m_editor->NewList();
}

void MainCommands::showDskState(DskState state)
{
    m_drawer->setDskState(state);
    ListGrid &grid = m_window.grid();
    for (GridColumn column : {GridColumn::State, GridColumn::On, GridColumn::Type, GridColumn::Off})
        grid.RedrawColumn(column);
}

void MainCommands::showBlinkPhase(int phase)
{
    m_drawer->setBlinkPhase(phase);
    m_window.grid().RedrawColumn(GridColumn::On);
    m_window.grid().RedrawColumn(GridColumn::Off);
}

void MainCommands::updateCommandStates()
{
    const TitleList &list = m_window.titleList();
    const bool titles = !list.isEmpty();
    // While the list editor reads files, every command that changes the list waits.
    const bool idle = !m_editor->busy();
    const MainActions &a = m_actions;
    for (QAction *command :
         {a.mnuFile_MakeNewList, a.mnuFile_ListOpen, a.mnuFile_ListSave, a.mnuFile_ListSaveAs,
          a.mnuView_SortName_Upward, a.mnuView_SortName_Downward, a.mnuView_SortComment_Upward,
          a.mnuView_SortComment_Downward})
        command->setEnabled(idle);
    a.mnuFile_FileOpen->setEnabled(!list.isFull() && idle);
    a.pmnuAdd->setEnabled(!list.isFull() && idle);
    a.mnuFile_ImageDisplay->setEnabled(titles);
    a.mnuFile_Property->setEnabled(titles && idle);
    a.pmnuProperty->setEnabled(titles && idle);
    for (QAction *cursor :
         {a.mnuCursor_CursorTop, a.mnuCursor_CursorPrevSkip, a.mnuCursor_CursorPrev,
          a.mnuCursor_CursorNext, a.mnuCursor_CursorNextSkip, a.mnuCursor_CursorBottom})
        cursor->setEnabled(titles);
    const auto used = list.UsedMarks();
    for (int m = 1; m <= 9; ++m)
        a.mnuCursor_JumpToM[std::size_t(m)]->setEnabled(used[std::size_t(m)]);
    a.mnuEdit_Undo->setText(m_editor->undoCaption());
    a.mnuEdit_Undo->setEnabled(m_editor->canUndo() && idle);
    a.mnuEdit_Redo->setText(m_editor->redoCaption());
    a.mnuEdit_Redo->setEnabled(m_editor->canRedo() && idle);
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
