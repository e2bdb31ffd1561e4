// Memory map blocks as the mixer sends them: the mirror taking a map (and the
// one before it), the memory window's grids and selection drawing from it,
// and the header the mixer sends for a selected clip.

#include "FuzzSupport.h"
#include "core/Settings.h"
#include "core/Waits.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/KeyerState.h"
#include "memory/MemoryGridLayout.h"
#include "memory/MemorySelection.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

struct Rig
{
    Waits waits{0.0};
    FuzzMessageBoxes boxes;
    MagickImageLibrary images;
    TitleList list;
    KeyerState keyer{list};
    DefaultTitleSettings defaults;
    DeviceMemoryMirror mirror{{list, keyer, boxes, images, waits, defaults}, MemorySetting{}};
    MemorySelection selection{mirror, list};
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Rig rig;
    FuzzedDataProvider in(data, size);
    // A few list titles that the map may or may not hold.
    rig.list.clear();
    const int titles = in.ConsumeIntegralInRange(0, 4);
    for (int t = 0; t < titles; ++t) {
        TitleEntry e = TitleEntry::create();
        e.FileList = {QStringLiteral("/p/t%1.tga").arg(t)};
        e.Attributes.setMemoryNo(in.ConsumeIntegral<std::uint16_t>());
        e.Attributes.setBlocksPerFrame(in.ConsumeIntegralInRange(0, 9));
        e.Attributes.setFrameCount(in.ConsumeIntegralInRange(0, 300));
        e.Attributes.setProtect(in.ConsumeBool());
        rig.list.insert(t + 1, e);
    }
    const QByteArray header = QByteArray::fromStdString(in.ConsumeBytesAsString(40));
    rig.selection.setHeaderReader([&header](std::uint16_t) { return header; });

    // One or two maps, each as long as the rest allows.
    for (int map = 0; map < 2 && in.remaining_bytes() > 0; ++map) {
        const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, 2 * 968);
        const QByteArray block = QByteArray::fromStdString(in.ConsumeBytesAsString(length));
        const bool taken = rig.mirror.ApplyMemoryMap(block);
        FUZZ_CHECK(taken == DeviceMemoryMirror::headerOf(block).has_value());
        FUZZ_CHECK(!taken || block.size() >= DeviceMemoryMirror::MapSize);
        const bool pal = rig.mirror.videoFormat().isPal;
        FUZZ_CHECK(rig.mirror.SlotRows() ==
                   (pal ? DeviceMemoryMirror::PalRows : DeviceMemoryMirror::Rows));
        for (int grid = 0; grid < 2; ++grid)
            for (int row = 0; row < MemoryGridLayout::gridRows(pal); ++row) {
                const int slotRow = MemoryGridLayout::slotRow(grid, row, pal);
                (void)MemoryGridLayout::rowHeader(slotRow, rig.mirror.TitleRows());
                for (int block = 0; block < DeviceMemoryMirror::BlocksPerRow; ++block) {
                    const MemoryMapRecord r = rig.mirror.record(slotRow, block);
                    (void)MemoryGridLayout::frameLines(rig.mirror, slotRow, block);
                    (void)MemoryGridLayout::blockColour(r.usage, rig.mirror.IsInList(r.memoryNo),
                                                        false);
                    if (r.usage != BlockUsage::Empty) {
                        rig.selection.selectBlock(slotRow, block);
                        FUZZ_CHECK(rig.mirror.usageOf(r.memoryNo).has_value());
                    }
                }
            }
        rig.selection.follow();
        (void)rig.selection.storedOrders();
        rig.mirror.CheckFreeMemory();
        (void)rig.mirror.memorySetting();
    }
    rig.selection.clear();
    return 0;
}
