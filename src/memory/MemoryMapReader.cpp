#include "memory/MemoryMapReader.h"

#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "device/TThreadReadWrite.h"
#include "memory/DeviceMemoryMirror.h"

namespace {
constexpr int kSettleMs = 200;

void resetAfterFault(DeviceLink &link)
{
    link.waits().pause(kSettleMs);
    link.ResetDevice();
    link.waits().pause(kSettleMs);
}
} // namespace

bool MemoryMapReader::Read(DeviceLink &link, const std::function<bool(const QByteArray &)> &sink)
{
    if (!link.ReadPipe().isOpen() || link.readSide().Busy())
        return false;
    TransferSide &side = link.readSide();
    DeviceCommands commands(link);
    const auto go = commands.BeginMemoryMapRead(side.MapResync);
    if (!go || go->isEmpty() || go->at(0) == 0)
        return false;
    QByteArray buffer(ReadSize, '\0');
    link.waits().pause(kSettleMs);
    const std::uint32_t moved = TThreadReadWrite::Run(
        link, link.ReadPipe(), side, reinterpret_cast<std::uint8_t *>(buffer.data()), ReadSize,
        TThreadReadWrite::ModeRead);
    if (moved != std::uint32_t(ReadSize)) {
        commands.CancelTransfer(false);
        resetAfterFault(link);
        return false;
    }
    if (sink(buffer.left(DeviceMemoryMirror::MapSize))) {
        side.MapResync = false;
        return true;
    }
    side.MapResync = true;
    resetAfterFault(link);
    return false;
}
