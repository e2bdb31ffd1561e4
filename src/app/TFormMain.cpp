#include "app/TFormMain.h"

#include "app/DesktopFiles.h"
#include "app/GridMouseController.h"
#include "app/HelpMenu.h"
#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "app/MainWindowLogic.h"
#include "app/OperateCommands.h"
#include "core/HelpManual.h"
#include "core/MemoryNo.h"
#include "core/MemorySetting.h"
#include "core/MessageBoxes.h"
#include "core/SettingsStore.h"
#include "list/ListEditor.h"
#include "list/ListServices.h"
#include "list/RecoveryCopy.h"
#include "list/RecoveryKeeper.h"
#include "list/RecoveryOffer.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "memory/KeyerState.h"
#include "memory/ListGrid.h"
#include "memory/MemoryRefresh.h"
#include "memory/TFormMemoryManagement.h"
#include "resources/MessageTable.h"
#include "ui_TFormMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>
#include <new>
#include <utility>

TFormMain::TFormMain(const MainServices &services, QWidget *parent)
    : QMainWindow(parent), m_services(services), ui(std::make_unique<Ui::TFormMain>())
{
    ui->setupUi(this);
    FormCreate();
}

TFormMain::~TFormMain() = default;

ListGrid &TFormMain::grid()
{
    return *ui->DrawGrid;
}

void TFormMain::FormCreate()
{
    // The program and data folders; a folder that cannot be made is reported
    // by whatever later fails to write there.
    m_services.paths.PrepareDataFolders();

    m_statusPanel0 = new QLabel(this);
    m_statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    m_statusPanel0->setMinimumWidth(120);
    m_statusPanel1 = new QLabel(this);
    m_statusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    ui->StatusBar->addWidget(m_statusPanel0);
    ui->StatusBar->addWidget(m_statusPanel1, 1);

    try {
        m_list = std::make_unique<TitleList>();
    } catch (const std::bad_alloc &) {
        ShowMessageById(m_services.boxes, 1, 123, MsgError);
        return;
    }
    grid().setList(m_list.get());
    connect(&grid(), &ListGrid::resized, this, &TFormMain::FormResize);

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    SettingsContext context{m_services.paths.ProgramFolder, available.width(), available.height()};
    m_settings = LoadSettings(m_services.store, context);
    const MainFormSettings &m = m_settings.MainForm;
    setGeometry(m.Left, m.Top, m.Width, m.Height);
    applyViewMode();

    // The commands of the menus, the toolbar, the keys and the mouse.
    m_actions = new MainActions(*this);
    // The help menu comes last in the menu bar and its button last in the toolbar.
    m_help = new HelpMenu(*this, *m_actions->toolBar);
    m_keyer = new KeyerState(*m_list, this);
    m_mirror = new DeviceMemoryMirror({*m_list, *m_keyer, m_services.boxes, m_services.images,
                                       m_services.waits, m_settings.Default},
                                      ReadMemorySetting(m_services.store), this);
    m_refresh = new MemoryRefresh(*m_mirror, this);
    m_commands = new MainCommands(*this, *m_actions, *m_keyer);
    m_operate = new OperateCommands(*m_actions, *m_list, *m_mirror, *m_refresh, *m_keyer,
                                    m_services.waits, m_services.boxes, this);
    m_operate->player().setCursorAutoMove([this] { return m_settings.Environment.CursorAutoMove; });
    ListEditor &editor = m_commands->editor();
    ListServices &services = editor.services();
    services.videoFormat = [this]() -> const VideoFormatParams & {
        return m_mirror->videoFormat();
    };
    services.aspect16x9 = [this] { return m_mirror->aspect16x9(); };
    m_mirror->setListCloser([this] { m_commands->closeListForFormatChange(); });
    // After the list grew or was replaced, once the operation is over.
    connect(&editor, &ListEditor::memoryRefreshRequested, m_mirror,
            &DeviceMemoryMirror::RefreshMemoryNow, Qt::QueuedConnection);
    m_memoryWindow = new TFormMemoryManagement(
        {*m_mirror, *m_refresh, *m_list, m_services.boxes, m_services.images}, this);
    m_memoryWindow->setFontScale(grid().fontScale());
    connect(m_actions->mnuTool_MemoryManagement, &QAction::triggered, this, [this] {
        m_memoryWindow->show();
        m_memoryWindow->raise();
        m_memoryWindow->activateWindow();
    });
    m_mouse = new GridMouseController(grid(), *m_list, *m_commands, *m_actions, this);
    connect(&m_commands->editor(), &ListEditor::captionChanged, this, &TFormMain::UpdateCaption);
    m_recovery = new RecoveryKeeper(m_commands->editor(),
                                    RecoveryCopy::fileIn(m_services.paths.ProgramFolder), this);
    m_desktop = new DesktopFiles(*this, *m_commands);
    // A program that ends without closing the window (the device asked for
    // it) still writes its settings and its history.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TFormMain::FormDestroy);
    // Files dropped from the desktop.
    setAcceptDrops(true);

    // Cursor on row 1; both header sorts as after an ascending sort.
    m_list->SetCursor(1);
    m_commands->updateSortMarks();
    m_autoLoadRunning = false;
    setConnected(false);
    m_created = true;
}

void TFormMain::setIconView(bool icon)
{
    m_settings.Environment.FormModeIcon = icon;
    applyViewMode();
}

void TFormMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    raise();
    activateWindow();
    m_commands->dropFiles(paths);
}

void TFormMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        FormShow();
    }
}

void TFormMain::FormShow()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect s = screen->geometry();
        QRect g = geometry();
        g.moveLeft(MainWindowLogic::recentred(g.left(), s.width(), g.width()));
        g.moveTop(MainWindowLogic::recentred(g.top(), s.height(), g.height()));
        if (g != geometry())
            setGeometry(g);
    }
    ListEditor &editor = m_commands->editor();
    // A list left unsaved by a run that did not end normally comes first.
    const bool restored =
        RecoveryOffer::offerAtStart(editor, m_recovery->copyFile(), m_services.boxes);
    if (!restored && m_startFiles.isEmpty() && m_settings.Environment.BeginLastStatus) {
        const QString last = ReadLastListFile(m_services.store);
        if (!last.isEmpty())
            m_commands->openAtStart(last);
    }
    editor.UpdateCaption(editor.Modified());
    m_recovery->start();
    m_startDone = true;
    if (!m_startFiles.isEmpty())
        openFiles(std::exchange(m_startFiles, {}));
}

void TFormMain::openFiles(const QStringList &paths)
{
    // Files handed over while the window is still starting wait for the
    // start's own list (a restored one, or the last list) to be in place.
    if (!m_startDone) {
        m_startFiles += paths;
        return;
    }
    m_desktop->open(paths);
}

void TFormMain::UpdateCaption(const QString &listFileName, bool modified)
{
    setWindowTitle(MainWindowLogic::caption(listFileName, modified));
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (!m_created || m_closing || FormCloseQuery()) {
        m_closeAccepted = true;
        event->accept();
        FormDestroy();
    } else {
        event->ignore();
    }
}

bool TFormMain::FormCloseQuery()
{
    return MainWindowLogic::closeQuery(m_services.boxes, !m_list->isEmpty(),
                                       m_commands->editor().Modified(),
                                       m_settings.Environment.ConfirmClose,
                                       [this] { return m_commands->mnuFile_ListSaveClick(); });
}

void TFormMain::FormDestroy()
{
    if (!m_created || m_closing)
        return;
    if (m_autoLoadRunning)
        m_keyer->SetDskState(DskState::Idle, MemoryNo::None);
    m_closing = true;
    // A list the operator chose not to save leaves no copy; one the program
    // had to leave without asking (the device ended it) is kept for the next start.
    m_recovery->finish(!m_closeAccepted);
    MainFormSettings &m = m_settings.MainForm;
    const QRect g = geometry();
    m.Left = g.left();
    m.Top = g.top();
    m.Width = g.width();
    m.Height = g.height();
    m.LastListFile = m_commands->editor().ListFileName();
    m_settings.Environment.FormModeIcon = grid().iconView();
    WriteMemorySetting(m_services.store, m_mirror->memorySetting());
    SaveSettings(m_services.store, m_settings);
    HelpManual::CloseHelp();
    // Every title leaves through the property history.
    m_commands->editor().ClearList();
    m_list->clear();
}

void TFormMain::FormResize()
{
    ListGrid &g = grid();
    g.setLastColumnWidth(
        MainWindowLogic::lastColumnWidth(g.width(), g.fixedColumnsWidth(), g.fontScale()));
}

void TFormMain::applyViewMode()
{
    grid().setIconView(m_settings.Environment.FormModeIcon);
    FormResize();
}

void TFormMain::setConnected(bool connected)
{
    m_connected = connected;
    m_statusPanel0->setText(MessageTable::text(connected ? 100 : 101));
    m_operate->setConnected(connected);
    m_refresh->setConnected(connected);
    if (m_memoryWindow)
        m_memoryWindow->updateCommands();
}

void TFormMain::setStatusPath(const QString &text)
{
    m_statusPanel1->setText(text);
}

QString TFormMain::statusText(int panel) const
{
    return panel == 0 ? m_statusPanel0->text() : m_statusPanel1->text();
}
