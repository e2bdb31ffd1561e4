#include "memory/TFormMemoryManagement.h"

#include "core/HelpManual.h"
#include "device/DeviceLink.h"
#include "imaging/Bitmap.h"
#include "imaging/ImageLibrary.h"
#include "imaging/Thumbnail.h"
#include "list/TitleList.h"
#include "memory/ClipProperties.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/MemoryBlockGrid.h"
#include "memory/MemoryGridLayout.h"
#include "memory/MemoryPreview.h"
#include "memory/MemoryRefresh.h"
#include "memory/MemorySelection.h"
#include "memory/TFormIntvProperty.h"
#include "resources/MessageTable.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QString c(const char *japanese)
{
    return MessageTable::caption(QString::fromUtf8(japanese));
}

QColor colour(std::uint32_t bgr)
{
    return QColor::fromRgb(MemoryGridLayout::toRgb(bgr));
}

QLabel *legendPanel(QWidget *parent, const char *name, const QString &text, std::uint32_t bgr)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, colour(bgr));
    p.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(p);
    l->setMinimumWidth(110);
    return l;
}

QLabel *valueLabel(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setMinimumWidth(120);
    return l;
}

QImage imageOf(const Bitmap &b)
{
    return QImage(b.bits(), b.width(), b.height(), b.bytesPerLine(),
                  b.bitsPerPixel() == 24 ? QImage::Format_BGR888 : QImage::Format_RGB32);
}

} // namespace

TFormMemoryManagement::TFormMemoryManagement(const Services &services, QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_services(services),
      m_selection(std::make_unique<MemorySelection>(services.mirror, services.list))
{
    FormCreate();
}

// The icon cache goes with the mirror.
TFormMemoryManagement::~TFormMemoryManagement() = default;

void TFormMemoryManagement::FormCreate()
{
    setObjectName(QStringLiteral("TFormMemoryManagement"));
    setWindowTitle(c("メモリ状態"));
    buildActions();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    auto *top = new QHBoxLayout;
    auto *format = new QGroupBox(central);
    format->setObjectName(QStringLiteral("PanelMemorySetting"));
    auto *formatLayout = new QVBoxLayout(format);
    LabelSignal = new QLabel(format);
    LabelSignal->setObjectName(QStringLiteral("LabelSignal"));
    LabelAspect = new QLabel(format);
    LabelAspect->setObjectName(QStringLiteral("LabelAspect"));
    QFont formatFont = font();
    formatFont.setPointSize(10);
    for (QLabel *l : {LabelSignal, LabelAspect}) {
        l->setFont(formatFont);
        l->setAlignment(Qt::AlignCenter);
        formatLayout->addWidget(l);
    }
    top->addWidget(format);
    top->addWidget(buildLegend(), 1);
    layout->addLayout(top);

    auto *grids = new QHBoxLayout;
    DrawGrid1 = new MemoryBlockGrid(m_services.mirror, 0, central);
    DrawGrid2 = new MemoryBlockGrid(m_services.mirror, 1, central);
    for (MemoryBlockGrid *g : {DrawGrid1, DrawGrid2}) {
        grids->addWidget(g, 0, Qt::AlignTop);
        connect(g, &MemoryBlockGrid::blockClicked, this, &TFormMemoryManagement::blockClicked);
        connect(g, &MemoryBlockGrid::blockDoubleClicked, this,
                &TFormMemoryManagement::DrawGrid1DblClick);
    }
    grids->addWidget(buildSelectedData(), 0, Qt::AlignTop);
    layout->addLayout(grids);
    setCentralWidget(central);

    DeviceMemoryMirror &mirror = m_services.mirror;
    connect(&mirror, &DeviceMemoryMirror::mapApplied, this, &TFormMemoryManagement::mapApplied);
    connect(&mirror, &DeviceMemoryMirror::mirrorReset, this, [this] {
        CBoxTitleOrder->clear();
        m_selection->clear();
        showPanel();
    });
    // The new signal's format is in place once the map is taken (mapApplied).
    connect(&mirror, &DeviceMemoryMirror::aspectChanged, this, &TFormMemoryManagement::applyFormat);
    connect(&mirror, &DeviceMemoryMirror::titleRowsChanged, this, [this] {
        DrawGrid1->update();
        DrawGrid2->update();
    });
    m_selection->setHeaderReader([this](std::uint16_t memoryNo) -> std::optional<QByteArray> {
        DeviceLink *link = m_hooks.link ? m_hooks.link() : nullptr;
        if (!link || !link->Connected())
            return std::nullopt;
        const std::optional<TitleAttributes> h = ClipProperties::readHeader(*link, memoryNo);
        if (!h)
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char *>(h->bytes().data()), TitleAttributes::Size);
    });
    applyFormat();
    m_selection->clear();
    showPanel();
}

void TFormMemoryManagement::buildActions()
{
    auto make = [this](const char *name, const char *menuCaption, const char *buttonCaption) {
        auto *a = new QAction(c(menuCaption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setIconText(c(buttonCaption));
        a->setToolTip(c(buttonCaption));
        return a;
    };
    mnuFile_LoadTitle = make("mnuFile_LoadTitle", "タイトルをロード(&L)...", "タイトルをロード");
    mnuFile_SaveTitle = make("mnuFile_SaveTitle", "タイトルを保存(&S)...", "タイトルを保存");
    mnuFile_LoadVideo = make("mnuFile_LoadVideo", "Videoをロード(&O)...", "Videoをロード");
    mnuFile_CaptureVideo = make("mnuFile_CaptureVideo", "Videoを保存(&C)...", "Videoを保存");
    mnuFile_Close = make("mnuFile_Close", "閉じる(&X)", "閉じる");
    mnuOperate_Preview = make("mnuOperate_Preview", "プレビュー(&P)", "プレビュー");
    mnuOperate_PreviewStop = make("mnuOperate_PreviewStop", "停止(&S)", "停止");
    mnuOperate_Clear = make("mnuOperate_Clear", "指定領域のクリア(&C)", "指定領域のクリア");
    mnuOperate_ClearAll = make("mnuOperate_ClearAll", "全領域のクリア(&A)", "全領域のクリア");
    mnuOperate_Clear->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuOperate_ClearAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));

    using F = TFormMemoryManagement;
    const std::pair<QAction *, void (F::*)()> commands[] = {
        {mnuFile_LoadTitle, &F::mnuFile_LoadTitleClick},
        {mnuFile_SaveTitle, &F::mnuFile_SaveTitleClick},
        {mnuFile_LoadVideo, &F::mnuFile_LoadVideoClick},
        {mnuFile_CaptureVideo, &F::mnuFile_CaptureVideoClick},
        {mnuFile_Close, &F::mnuFile_CloseClick},
        {mnuOperate_Preview, &F::mnuOperate_PreviewClick},
        {mnuOperate_PreviewStop, &F::mnuOperate_PreviewStopClick},
        {mnuOperate_Clear, &F::mnuOperate_ClearClick},
        {mnuOperate_ClearAll, &F::mnuOperate_ClearAllClick},
    };
    for (const auto &[action, slot] : commands)
        connect(action, &QAction::triggered, this, slot);

    QMenu *file = menuBar()->addMenu(c("ファイル(&F)"));
    file->addActions(
        {mnuFile_LoadTitle, mnuFile_SaveTitle, mnuFile_LoadVideo, mnuFile_CaptureVideo});
    file->addSeparator();
    file->addAction(mnuFile_Close);
    QMenu *operate = menuBar()->addMenu(c("操作(&O)"));
    operate->addActions({mnuOperate_Preview, mnuOperate_PreviewStop});
    operate->addSeparator();
    operate->addActions({mnuOperate_Clear, mnuOperate_ClearAll});

    QToolBar *bar = addToolBar(QStringLiteral("ToolBar"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addActions(
        {mnuFile_LoadTitle, mnuFile_SaveTitle, mnuFile_LoadVideo, mnuFile_CaptureVideo});
    bar->addSeparator();
    bar->addActions({mnuOperate_Preview, mnuOperate_PreviewStop});
    bar->addSeparator();
    bar->addActions({mnuOperate_Clear, mnuOperate_ClearAll});
}

QWidget *TFormMemoryManagement::buildLegend()
{
    auto *legend = new QWidget(this);
    auto *g = new QGridLayout(legend);
    g->setContentsMargins(0, 0, 0, 0);
    g->setSpacing(2);
    g->addWidget(legendPanel(legend, "PanelTitleColor", QStringLiteral("Title Area"),
                             MemoryGridLayout::TitleArea),
                 0, 0);
    g->addWidget(legendPanel(legend, "PanelIntVideoColor", QStringLiteral("IntVideo Area"),
                             MemoryGridLayout::IntVideoArea),
                 1, 0);
    g->addWidget(
        legendPanel(legend, "PanelEmpty", QStringLiteral("Empty"), MemoryGridLayout::Empty), 0, 1);
    g->addWidget(legendPanel(legend, "PanelUsedTitle", QStringLiteral("Title / Used"),
                             MemoryGridLayout::UsedTitle),
                 0, 2);
    g->addWidget(legendPanel(legend, "PanelKeepedTitle", QStringLiteral("Title / Protected"),
                             MemoryGridLayout::KeptTitle),
                 1, 2);
    g->addWidget(legendPanel(legend, "PanelUsedUnknown", QStringLiteral("Title / Unknown"),
                             MemoryGridLayout::UsedUnknown),
                 0, 3);
    g->addWidget(legendPanel(legend, "PanelUsedIntVideo", QStringLiteral("IntVideo / Used"),
                             MemoryGridLayout::UsedIntVideo),
                 1, 3);
    return legend;
}

QWidget *TFormMemoryManagement::buildSelectedData()
{
    auto *box = new QGroupBox(c("選択されているデータ"), this);
    auto *v = new QVBoxLayout(box);
    ImageIcon = new QLabel(box);
    ImageIcon->setObjectName(QStringLiteral("ImageIcon"));
    ImageIcon->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ImageIcon->setAlignment(Qt::AlignCenter);
    v->addWidget(ImageIcon, 0, Qt::AlignHCenter);
    auto *g = new QGridLayout;
    CBoxTitleOrder = new QComboBox(box);
    CBoxTitleOrder->setObjectName(QStringLiteral("CBoxTitleOrder"));
    connect(CBoxTitleOrder, &QComboBox::activated, this,
            &TFormMemoryManagement::CBoxTitleOrderChange);
    LabelName = valueLabel(box, "LabelName");
    LabelType = valueLabel(box, "LabelType");
    LabelFrameCount = valueLabel(box, "LabelFrameCount");
    LabelDivide = valueLabel(box, "LabelDivide");
    const std::pair<const char *, QWidget *> rows[] = {{"Order", CBoxTitleOrder},
                                                       {"Name", LabelName},
                                                       {"Type", LabelType},
                                                       {"Frame", LabelFrameCount},
                                                       {"Divide", LabelDivide}};
    int r = 0;
    for (const auto &[caption, widget] : rows) {
        g->addWidget(new QLabel(QString::fromLatin1(caption), box), r, 0);
        g->addWidget(widget, r++, 1);
    }
    v->addLayout(g);
    v->addStretch();
    return box;
}

void TFormMemoryManagement::setHooks(Hooks hooks)
{
    m_hooks = std::move(hooks);
    updateCommands();
}

void TFormMemoryManagement::setFontScale(double scale)
{
    m_fontScale = scale;
    applyFormat();
}

void TFormMemoryManagement::applyFormat()
{
    const DeviceMemoryMirror &mirror = m_services.mirror;
    m_shownPal = mirror.videoFormat().isPal;
    LabelSignal->setText(mirror.videoFormat().isPal ? QStringLiteral("PAL")
                                                    : QStringLiteral("NTSC"));
    LabelAspect->setText(mirror.aspect16x9() ? QStringLiteral("16:9") : QStringLiteral("4:3"));
    DrawGrid1->applyGeometry(m_fontScale);
    DrawGrid2->applyGeometry(m_fontScale);
    const int iconHeight = MemoryGridLayout::iconHeight(mirror.aspect16x9());
    ImageIcon->setFixedSize(112 + 2 * ImageIcon->frameWidth(),
                            iconHeight + 2 * ImageIcon->frameWidth());
    showPanel();
    fitToGrids();
}

void TFormMemoryManagement::fitToGrids()
{
    // A fixed-size window that follows its grids, also while it is hidden.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    for (QLayout *l : {centralWidget()->layout(), layout()}) {
        l->invalidate();
        l->activate();
    }
    setFixedSize(sizeHint());
}

void TFormMemoryManagement::placeWindow()
{
    const MemorySetting s = m_services.mirror.memorySetting();
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->availableGeometry()
                             : QRect(0, 0, 1024, 768);
    QPoint at(screen.center().x() - width() / 2, screen.center().y() - height() / 2);
    if (s.Left && s.Top && *s.Left < screen.right() && *s.Top < screen.bottom() &&
        *s.Left >= screen.left() - width() && *s.Top >= screen.top())
        at = QPoint(*s.Left, *s.Top);
    move(at);
    m_placed = true;
}

void TFormMemoryManagement::showEvent(QShowEvent *event)
{
    fitToGrids();
    if (!m_placed)
        placeWindow();
    refillOrders();
    m_selection->follow();
    showPanel();
    QMainWindow::showEvent(event);
}

void TFormMemoryManagement::closeEvent(QCloseEvent *event)
{
    ImageIcon->clear();
    QMainWindow::closeEvent(event);
}

void TFormMemoryManagement::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (m_placed && isVisible())
        m_services.mirror.setWindowPosition(x(), y());
}

void TFormMemoryManagement::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        HelpManual::ShowHelp(this, HelpManual::MemoryWindow);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TFormMemoryManagement::refillOrders()
{
    const QList<int> orders = m_selection->storedOrders();
    QList<int> shown;
    for (int i = 0; i < CBoxTitleOrder->count(); ++i)
        shown.append(CBoxTitleOrder->itemData(i).toInt());
    // The same titles: the combo (and a list the operator has open) stays.
    if (orders == shown)
        return;
    const QSignalBlocker block(CBoxTitleOrder);
    CBoxTitleOrder->clear();
    for (const int order : orders)
        CBoxTitleOrder->addItem(QString::number(order), order);
    CBoxTitleOrder->setCurrentIndex(-1);
}

void TFormMemoryManagement::mapApplied()
{
    if (m_shownPal != m_services.mirror.videoFormat().isPal)
        applyFormat();
    if (!isVisible())
        return;
    refillOrders();
    m_selection->follow();
    showPanel();
}

void TFormMemoryManagement::showPanel()
{
    const MemorySelection::Panel &p = m_selection->panel();
    LabelName->setText(p.name);
    LabelType->setText(p.type);
    LabelFrameCount->setText(p.frames);
    LabelDivide->setText(p.divide);
    const bool wide = m_services.mirror.aspect16x9();
    const int h = MemoryGridLayout::iconHeight(wide);
    QPixmap picture(112, h);
    picture.fill(palette().window().color());
    if (!p.icon.isNull()) {
        const QImage image = imageOf(p.icon);
        // The thumbnail shows the whole 4:3 screen; a 16:9 icon is its picture band.
        picture = QPixmap::fromImage(wide && image.height() == Thumbnail::Height
                                         ? image.copy(0, 10, Thumbnail::Width, h)
                                         : image.scaled(112, h));
    }
    ImageIcon->setPixmap(picture);
    {
        const QSignalBlocker block(CBoxTitleOrder);
        CBoxTitleOrder->setCurrentIndex(p.order > 0 ? CBoxTitleOrder->findData(p.order) : -1);
    }
    updateCommands();
    DrawGrid1->update();
    DrawGrid2->update();
}

void TFormMemoryManagement::updateCommands()
{
    const MemorySelection::Panel &p = m_selection->panel();
    DeviceLink *link = m_hooks.link ? m_hooks.link() : nullptr;
    const bool connected = link && link->Connected();
    mnuFile_LoadTitle->setEnabled(connected && bool(m_hooks.loadTitle));
    mnuFile_LoadVideo->setEnabled(connected && bool(m_hooks.loadVideo) && bool(m_hooks.chooseFile));
    mnuOperate_ClearAll->setEnabled(connected);
    const bool canSave = connected && bool(m_hooks.save) && bool(m_hooks.chooseFile);
    mnuFile_SaveTitle->setEnabled(canSave && p.saveTitle);
    mnuFile_CaptureVideo->setEnabled(canSave && p.saveVideo);
    mnuOperate_Preview->setEnabled(connected && p.operate);
    mnuOperate_PreviewStop->setEnabled(connected && p.operate);
    mnuOperate_Clear->setEnabled(connected && p.operate);
}

void TFormMemoryManagement::blockClicked(int slotRow, int block)
{
    m_selection->selectBlock(slotRow, block);
    showPanel();
}

void TFormMemoryManagement::CBoxTitleOrderChange(int comboIndex)
{
    const int order = comboIndex >= 0 ? CBoxTitleOrder->itemData(comboIndex).toInt() : 0;
    m_selection->selectOrder(order);
    showPanel();
}

void TFormMemoryManagement::DrawGrid1DblClick()
{
    if (!m_selection->hasSelection())
        return;
    const std::uint16_t memoryNo = m_selection->memoryNo();
    if (!m_selection->isClip()) {
        if (m_hooks.openTitleProperty && m_services.list.FindByMemoryNo(memoryNo))
            m_hooks.openTitleProperty(memoryNo);
        return;
    }
    DeviceLink *link = m_hooks.link ? m_hooks.link() : nullptr;
    const std::optional<TitleAttributes> &header = m_selection->clipHeader();
    if (!link || !link->Connected() || !link->ExtendedFirmware() || !header)
        return;
    TFormIntvProperty dialog(this);
    dialog.preset(*header, m_selection->panel().icon, m_services.mirror.aspect16x9());
    if (dialog.exec() != QDialog::Accepted || header->kind() == TitleKind::Still)
        return;
    const MemoryRefresh::Pause pause(&m_services.refresh);
    ClipProperties::write(*link, memoryNo, dialog.properties());
    m_selection->selectBlockOf(memoryNo);
    showPanel();
}

void TFormMemoryManagement::mnuFile_LoadTitleClick()
{
    if (m_hooks.loadTitle)
        m_hooks.loadTitle();
}

void TFormMemoryManagement::saveSelected(int mode)
{
    if (!m_selection->hasSelection() || !m_hooks.save || !m_hooks.chooseFile)
        return;
    const std::uint16_t memoryNo = m_selection->memoryNo();
    const QString path = m_hooks.chooseFile(mode == 2 ? 1 : 3);
    if (path.isEmpty())
        return;
    QStringList files;
    {
        const MemoryRefresh::Pause pause(&m_services.refresh);
        files = m_hooks.save(mode, memoryNo, path);
    }
    if (mode == 3)
        remember(memoryNo, files);
    showPanel();
}

void TFormMemoryManagement::remember(std::uint16_t memoryNo, const QStringList &files)
{
    const std::optional<TitleAttributes> &header = m_selection->clipHeader();
    if (files.isEmpty() || !header || m_selection->memoryNo() != memoryNo)
        return;
    const std::optional<Bitmap> picture = m_services.images.load(files.first());
    if (!picture || picture->isNull())
        return;
    const Bitmap icon =
        Thumbnail::rendered(picture->bitsPerPixel() == 32 ? *picture : picture->converted(32), 0, 0,
                            m_services.mirror.videoFormat(), m_services.mirror.aspect16x9());
    m_services.mirror.addIntVideoIcon(memoryNo, header->deviceWord(), icon);
    m_selection->selectBlockOf(memoryNo);
}

void TFormMemoryManagement::mnuFile_SaveTitleClick()
{
    saveSelected(2);
}
void TFormMemoryManagement::mnuFile_CaptureVideoClick()
{
    saveSelected(3);
}

void TFormMemoryManagement::mnuFile_LoadVideoClick()
{
    if (!m_hooks.loadVideo || !m_hooks.chooseFile)
        return;
    const QString file = m_hooks.chooseFile(2);
    if (file.isEmpty())
        return;
    TitleAttributes stored;
    Bitmap icon;
    bool loaded = false;
    {
        const MemoryRefresh::Pause pause(&m_services.refresh);
        loaded = m_hooks.loadVideo(file, stored, icon);
    }
    if (loaded && !icon.isNull())
        m_services.mirror.addIntVideoIcon(stored.memoryNo(), stored.deviceWord(), icon);
    m_services.mirror.RefreshMemoryNow();
}

void TFormMemoryManagement::mnuFile_CloseClick()
{
    close();
}

void TFormMemoryManagement::mnuOperate_PreviewClick()
{
    DeviceLink *link = m_hooks.link ? m_hooks.link() : nullptr;
    if (link && m_selection->hasSelection())
        MemoryPreview::start(*link, m_selection->memoryNo());
}

void TFormMemoryManagement::mnuOperate_PreviewStopClick()
{
    DeviceLink *link = m_hooks.link ? m_hooks.link() : nullptr;
    if (link && m_selection->hasSelection())
        MemoryPreview::stop(*link, m_selection->memoryNo());
}

void TFormMemoryManagement::mnuOperate_ClearClick()
{
    if (!m_selection->hasSelection())
        return;
    if (m_services.mirror.ClearArea(m_selection->memoryNo()))
        m_services.mirror.RefreshMemoryNow();
    m_selection->follow();
    showPanel();
}

void TFormMemoryManagement::mnuOperate_ClearAllClick()
{
    if (m_services.mirror.ClearAll(MemoryNo::AllMemory, true))
        m_services.mirror.RefreshMemoryNow();
    m_selection->follow();
    showPanel();
}
