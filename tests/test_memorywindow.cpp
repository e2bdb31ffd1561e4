// The memory window: its grids laid out over the slot rows, the frame lines
// and colours of stored data, the selection and how it follows the map, the
// clear of a protected title from here, and the movie properties of a clip.

#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "memory/ClipProperties.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/KeyerState.h"
#include "memory/MemoryBlockGrid.h"
#include "memory/MemoryGridLayout.h"
#include "memory/MemoryPreview.h"
#include "memory/MemoryRefresh.h"
#include "memory/MemorySelection.h"
#include "memory/TFormIntvProperty.h"
#include "memory/TFormMemoryManagement.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

using Used = QList<std::tuple<int, int, BlockUsage, std::uint16_t>>;

QByteArray mapOf(int signal, int titleRows, const Used &used)
{
    QByteArray b(DeviceMemoryMirror::MapSize, '\0');
    auto *p = reinterpret_cast<std::uint8_t *>(b.data());
    p[0] = 0xFE, p[1] = 0xFF, p[2] = 0xFC, p[3] = 0xFD;
    p[4] = std::uint8_t(signal), p[6] = std::uint8_t(titleRows);
    for (int k = 0; k < 240; ++k)
        qToLittleEndian<quint16>(0xFFFF, p + 8 + 4 * k + 2);
    for (const auto &[row, block, usage, memoryNo] : used) {
        p[8 + 4 * (row * 8 + block)] = std::uint8_t(usage);
        qToLittleEndian<quint16>(memoryNo, p + 8 + 4 * (row * 8 + block) + 2);
    }
    return b;
}

// A list, a mirror and the window over them; optionally on a virtual mixer.
struct Rig
{
    Waits waits{0.01};
    ScriptedMessageBoxes boxes;
    MagickImageLibrary images;
    TitleList list;
    KeyerState keyer{list};
    DefaultTitleSettings defaults;
    DeviceMemoryMirror mirror{{list, keyer, boxes, images, waits, defaults}, MemorySetting{}};
    MemoryRefresh refresh{mirror};
    TFormMemoryManagement window{{mirror, refresh, list, boxes, images}};
    VirtualMixer *mixer = nullptr;
    std::unique_ptr<VirtualMixerBackend> backend;
    std::unique_ptr<DeviceLink> link;

    explicit Rig(bool withMixer = false)
    {
        if (!withMixer)
            return;
        auto owned = std::make_unique<VirtualMixer>(waits);
        mixer = owned.get();
        backend = std::make_unique<VirtualMixerBackend>(std::move(owned));
        link = std::make_unique<DeviceLink>(backend.get(), waits, boxes);
        link->Start();
        mirror.setLink(link.get());
        mirror.setMapReader([this] { mirror.ApplyMemoryMap(mixer->memoryMapBlock()); });
        TFormMemoryManagement::Hooks hooks;
        hooks.link = [this] { return link.get(); };
        window.setHooks(hooks);
    }
    ~Rig()
    {
        if (link)
            link->Stop();
    }
    void addTitle(std::uint16_t memoryNo, std::uint32_t deviceWord = 0, bool protect = false)
    {
        TitleEntry e = ListFixtures::titleOf(QStringLiteral("/p/t.tga"), 1, 1);
        e.Attributes.setMemoryNo(memoryNo);
        e.Attributes.setDeviceWord(deviceWord);
        e.Attributes.setProtect(protect);
        list.insert(list.count() + 1, e);
    }
    QRgb pixelOf(int grid, int row, int block)
    {
        MemoryBlockGrid &g = window.grid(grid);
        return g.grab().toImage().pixel(g.cellRect(row, block + 1).center()) & 0xFFFFFF;
    }
};

} // namespace

class TestMemoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void palWithTenTitleRowsSpansBothGrids()
    {
        Rig rig;
        rig.mirror.ApplyMemoryMap(mapOf(1, 10, {}));
        const bool pal = rig.mirror.videoFormat().isPal;
        QVERIFY(pal);
        // (grid, row) -> title row?, number shown
        const QList<std::tuple<int, int, bool, int>> rows = {{0, 0, true, 1},   {0, 9, true, 10},
                                                             {0, 10, false, 1}, {0, 12, false, 3},
                                                             {1, 0, false, 4},  {1, 12, false, 16}};
        for (const auto &[grid, row, title, number] : rows) {
            const MemoryGridLayout::RowHeader h = MemoryGridLayout::rowHeader(
                MemoryGridLayout::slotRow(grid, row, pal), rig.mirror.TitleRows());
            QCOMPARE(h.titleRow, title);
            QCOMPARE(h.number, number);
        }
        // Both grids end with the format's last slot row, and take clicks there.
        MemoryBlockGrid &right = rig.window.grid(1);
        QCOMPARE(right.height(), rig.window.grid(0).height());
        QCOMPARE(right.height(), MemoryGridLayout::gridSize(1.0, true).height);
        int slot = -1, block = -1;
        QVERIFY(right.cellAt(right.cellRect(12, 8).center(), slot, block));
        QCOMPARE(slot, 25);
        QCOMPARE(block, 7);
        QVERIFY(!right.cellAt(right.cellRect(12, 0).center(), slot, block));
        QCOMPARE(rig.pixelOf(0, 10, 0) & 0xFFFFFF, 0xFFFFFFu);
        // Back to NTSC while hidden: the window grows to show all 15 rows.
        rig.mirror.ApplyMemoryMap(mapOf(0, 15, {}));
        MemoryBlockGrid &left = rig.window.grid(0);
        QCOMPARE(left.height(), MemoryGridLayout::gridSize(1.0, false).height);
        QVERIFY(left.mapTo(&rig.window, QPoint(0, left.height())).y() <= rig.window.height());
    }

    void titleAcrossTwoRowsReadsAsOnePiecePerRow()
    {
        Rig rig;
        Used used;
        for (int k = 4; k < 16; ++k) // 3 frames of 4 blocks from row 0 block 4
            used.append({k / 8, k % 8, BlockUsage::UsedTitle, 0x0001});
        used.append({2, 0, BlockUsage::UsedTitle, 0x0002});
        rig.mirror.ApplyMemoryMap(mapOf(0, 15, used));
        using F = MemoryGridLayout::Frame;
        auto sides = [&](int row, int block) {
            const F f = MemoryGridLayout::frameLines(rig.mirror, row, block);
            return std::tuple{f.top, f.bottom, f.left, f.right};
        };
        QCOMPARE(sides(0, 3), std::tuple(false, false, false, false));
        QCOMPARE(sides(0, 4), std::tuple(true, true, true, false));
        QCOMPARE(sides(0, 5), std::tuple(true, true, false, false));
        QCOMPARE(sides(0, 7), std::tuple(true, true, false, false));
        QCOMPARE(sides(1, 0), std::tuple(true, true, false, false));
        QCOMPARE(sides(1, 7), std::tuple(true, true, false, true));
        QCOMPARE(sides(2, 0), std::tuple(true, true, true, true));
        // The very first and very last blocks are closed at the map's ends.
        rig.mirror.ApplyMemoryMap(mapOf(
            0, 15,
            {{0, 0, BlockUsage::UsedIntVideo, 0x4000}, {29, 7, BlockUsage::UsedIntVideo, 0x4001}}));
        QCOMPARE(sides(0, 0), std::tuple(true, true, true, true));
        QCOMPARE(sides(29, 7), std::tuple(true, true, true, true));
    }

    void keptTitleOutsideTheListIsGreenWhenSelected()
    {
        Rig rig;
        rig.mirror.ApplyMemoryMap(mapOf(0, 15,
                                        {{0, 0, BlockUsage::KeptTitle, 0x0005},
                                         {0, 1, BlockUsage::KeptTitle, 0x0005},
                                         {0, 2, BlockUsage::KeptTitle, 0x0006}}));
        rig.addTitle(0x0006, 0, true);
        rig.window.show();
        rig.window.selection().selectBlock(0, 1);
        QCOMPARE(rig.window.selection().memoryNo(), std::uint16_t(0x0005));
        QVERIFY(rig.window.selection().panel().name.isEmpty());
        QVERIFY(rig.window.mnuFile_SaveTitle->isEnabled() == false); // no device
        rig.window.grid(0).update();
        QCOMPARE(rig.pixelOf(0, 0, 0), QRgb(0x60FF60));
        QCOMPARE(rig.pixelOf(0, 0, 2), QRgb(MemoryGridLayout::toRgb(0xFFC8FF)));
        // The list title, chosen by its order number, turns magenta.
        rig.window.orderCombo().setCurrentIndex(0);
        rig.window.CBoxTitleOrderChange(0);
        QCOMPARE(rig.window.selection().memoryNo(), std::uint16_t(0x0006));
        QCOMPARE(rig.pixelOf(0, 0, 2), QRgb(MemoryGridLayout::toRgb(0xFF60FF)));
        QCOMPARE(rig.pixelOf(0, 0, 0), QRgb(MemoryGridLayout::toRgb(0xC8FFC8)));
    }

    void protectedListTitleIsClearedFromTheWindow()
    {
        Rig rig(true);
        DeviceCommands commands(*rig.link);
        const auto a = DeviceCommands::parseAllocation(*commands.AllocTitleMemory(1, true, 1));
        rig.addTitle(a.memoryNo, a.deviceWord, true);
        rig.mirror.RefreshMemoryNow();
        rig.window.show();
        rig.window.selection().selectBlockOf(a.memoryNo);
        rig.window.updateCommands();
        QVERIFY(rig.window.mnuOperate_Clear->isEnabled());
        rig.boxes.answer(IdYes);
        rig.window.mnuOperate_Clear->trigger();
        QCOMPARE(rig.boxes.shownIds(), QList<int>{112});
        QVERIFY(!rig.mixer->item(a.memoryNo));
        QVERIFY(!rig.list.at(1).isStored());
        QVERIFY(!rig.window.selection().hasSelection());
        QVERIFY(!rig.window.mnuOperate_Clear->isEnabled());
    }

    void previewOfTheSelection()
    {
        Rig rig(true);
        const auto clip =
            DeviceCommands::parseAllocation(*DeviceCommands(*rig.link).AllocIntVideoMemory(1));
        rig.mirror.RefreshMemoryNow();
        rig.window.show();
        rig.window.selection().selectBlockOf(clip.memoryNo);
        rig.window.updateCommands();
        QVERIFY(rig.window.mnuFile_CaptureVideo->isEnabled() == false); // no save given
        QCOMPARE(rig.window.selection().panel().type, MessageTable::text(42));
        rig.window.mnuOperate_Preview->trigger();
        QCOMPARE(rig.mixer->previewMemoryNo(), clip.memoryNo);
        rig.window.mnuOperate_PreviewStop->trigger();
        QCOMPARE(rig.mixer->previewMemoryNo(), MemoryNo::None);
        // A busy mixer says so (133); a refusal passes silently.
        rig.mixer->injectStatus(std::uint8_t(DeviceRequest::Status::Busy), 1);
        QCOMPARE(MemoryPreview::start(*rig.link, clip.memoryNo), MemoryPreview::Result::Busy);
        QCOMPARE(rig.boxes.shownIds(), QList<int>{133});
        QCOMPARE(MemoryPreview::start(*rig.link, 0x0001), MemoryPreview::Result::Refused);
        QCOMPARE(rig.boxes.shownIds().size(), 1);
    }

    void clipIconsComeFromLoadsAndSaves()
    {
        Rig rig(true);
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("clip.bmp"));
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(saved));
        const auto clip =
            DeviceCommands::parseAllocation(*DeviceCommands(*rig.link).AllocIntVideoMemory(1));
        rig.mirror.RefreshMemoryNow();

        TFormMemoryManagement::Hooks hooks;
        hooks.link = [&rig] { return rig.link.get(); };
        hooks.chooseFile = [&](int) { return saved; };
        QList<int> pausedDuring;
        hooks.save = [&](int mode, std::uint16_t memoryNo, const QString &) {
            pausedDuring << rig.refresh.pauseDepth();
            return mode == 3 && memoryNo == clip.memoryNo ? QStringList{saved} : QStringList();
        };
        hooks.loadVideo = [&](const QString &, TitleAttributes &stored, Bitmap &icon) {
            pausedDuring << rig.refresh.pauseDepth();
            stored.setMemoryNo(0x4001);
            stored.setDeviceWord(77);
            icon = Bitmap(112, 84, 24);
            return true;
        };
        rig.window.setHooks(hooks);
        rig.window.show();
        rig.window.selection().selectBlockOf(clip.memoryNo);
        QVERIFY(rig.window.selection().panel().icon.isNull());
        rig.window.mnuFile_CaptureVideoClick();
        QVERIFY(rig.mirror.intVideoIcons().contains({clip.memoryNo, clip.deviceWord}));
        QVERIFY(!rig.window.selection().panel().icon.isNull());
        rig.window.mnuFile_LoadVideoClick();
        QVERIFY(rig.mirror.intVideoIcons().contains({0x4001, 77}));
        QCOMPARE(pausedDuring, (QList<int>{1, 1}));
        QCOMPARE(rig.refresh.pauseDepth(), 0);
    }

    void doubleClickAndPlace()
    {
        Rig rig;
        rig.addTitle(0x0003);
        rig.mirror.ApplyMemoryMap(mapOf(
            0, 15, {{1, 0, BlockUsage::UsedTitle, 0x0003}, {1, 1, BlockUsage::UsedTitle, 0x0004}}));
        QList<std::uint16_t> opened;
        TFormMemoryManagement::Hooks hooks;
        hooks.openTitleProperty = [&](std::uint16_t memoryNo) { opened << memoryNo; };
        rig.window.setHooks(hooks);
        rig.window.show();
        // A list title opens its property dialog; a title of no list has none.
        for (const int block : {0, 1}) {
            rig.window.selection().selectBlock(1, block);
            rig.window.DrawGrid1DblClick();
        }
        QCOMPARE(opened, QList<std::uint16_t>{0x0003});
        // Where the operator puts the window is kept with the memory setting.
        rig.window.move(40, 50);
        QCOMPARE(rig.mirror.memorySetting().Left, std::optional<int>(40));
        QCOMPARE(rig.mirror.memorySetting().Top, std::optional<int>(50));
    }

    void selectionFollowsTheMap()
    {
        Rig rig;
        rig.addTitle(0x0003);
        rig.mirror.ApplyMemoryMap(mapOf(0, 15, {{1, 0, BlockUsage::UsedTitle, 0x0003}}));
        rig.window.show();
        rig.window.selection().selectBlock(1, 0);
        QCOMPARE(rig.window.selection().panel().order, 1);
        // Still there, elsewhere and protected now: kept, with its new use.
        rig.mirror.ApplyMemoryMap(mapOf(0, 15, {{2, 3, BlockUsage::KeptTitle, 0x0003}}));
        QCOMPARE(rig.window.selection().memoryNo(), std::uint16_t(0x0003));
        QCOMPARE(rig.window.selection().usage(), BlockUsage::KeptTitle);
        QCOMPARE(rig.window.orderCombo().currentText(), QStringLiteral("1"));
        // Gone (cleared on the mixer's panel): nothing selected, the panel empty.
        rig.mirror.ApplyMemoryMap(mapOf(0, 15, {}));
        QVERIFY(!rig.window.selection().hasSelection());
        QCOMPARE(rig.window.selection().panel().order, 0);
        QCOMPARE(rig.window.orderCombo().currentIndex(), -1);
    }

    void clipPropertiesRoundTrip()
    {
        Rig rig(true);
        DeviceCommands commands(*rig.link);
        const auto clip = DeviceCommands::parseAllocation(*commands.AllocIntVideoMemory(3));
        TitleAttributes h = *ClipProperties::readHeader(*rig.link, clip.memoryNo);
        h.setKind(TitleKind::Movie);
        h.setFrameCount(3);
        QVERIFY(commands.WriteTitleHeader(
            clip.memoryNo, QByteArray(reinterpret_cast<const char *>(h.bytes().data()), 40)));

        // The dialog shows the header and gives back what it shows, the
        // interval corrected when it is out of range.
        TFormIntvProperty dialog;
        dialog.preset(h, Bitmap(), false);
        dialog.intervalEdit()->setText(QStringLiteral("300"));
        emit dialog.intervalEdit()->editingFinished();
        QCOMPARE(dialog.intervalEdit()->text(), QStringLiteral("0"));
        ClipProperties p = dialog.properties();
        QCOMPARE(p.repeat, false);

        const QList<std::tuple<bool, bool, int, int>> cases = {{true, true, 7, 0x0D},
                                                               {false, false, 255, 0x01}};
        for (const auto &[repeat, reverse, interval, flags] : cases) {
            p = {repeat, reverse, interval};
            QCOMPARE(ClipProperties::write(*rig.link, clip.memoryNo, p),
                     ClipProperties::Result::Written);
            const TitleAttributes back = *ClipProperties::readHeader(*rig.link, clip.memoryNo);
            QCOMPARE(int(back.typeFlags()), flags);
            QCOMPARE(back.movieInterval(), interval);
            QCOMPARE(back.frameCount(), 3);
        }
        // A still clip has no movie properties; a title number is no clip.
        h.setKind(TitleKind::Still);
        QVERIFY(commands.WriteTitleHeader(
            clip.memoryNo, QByteArray(reinterpret_cast<const char *>(h.bytes().data()), 40)));
        QCOMPARE(ClipProperties::write(*rig.link, clip.memoryNo, p), ClipProperties::Result::Still);
        QCOMPARE(int(ClipProperties::readHeader(*rig.link, clip.memoryNo)->typeFlags()),
                 int(h.typeFlags()));
        QCOMPARE(ClipProperties::write(*rig.link, 0x0001, p), ClipProperties::Result::NotAClip);
    }
};

QTEST_MAIN(TestMemoryWindow)
#include "test_memorywindow.moc"
