// The bulk worker's throughput: one block moved by TThreadReadWrite in
// 4096-byte pieces (the queued call to the side's worker thread, the pieces,
// the progress and finish steps, the waiting side's event loop) through the
// in-process virtual mixer backend
// and, when run under umockdev's preload library, through the libusb backend
// on a mocked bus; next to a plain memcpy of the same bytes in the same
// pieces, and a loop of the same transfers without the worker.

#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "device/LibUsbBackend.h"
#include "device/TThreadReadWrite.h"
#include "link/UsbdevfsMixerHarness.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "mixer/VirtualMixerIds.h"
#include "support/ScriptedMessageBoxes.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kPiece = TThreadReadWrite::kPieceSize;
constexpr int kUnits = 2400;         // the diagnostics window's transfer test
constexpr int kBlock = kUnits * 512; // 1,228,800 bytes

std::vector<std::uint8_t> pattern()
{
    std::vector<std::uint8_t> data(kBlock);
    for (int i = 0; i < kBlock; ++i)
        data[i] = std::uint8_t(i * 31 + (i >> 12));
    return data;
}

struct LinkRig
{
    Waits waits{1.0};
    VirtualMixer mixer{waits, 1};
    std::unique_ptr<UsbdevfsMixerHarness> harness;
    std::unique_ptr<UsbBackend> backend;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<DeviceLink> link;
    std::unique_ptr<DeviceCommands> commands;

    explicit LinkRig(bool libusb)
    {
        if (libusb) {
            harness = std::make_unique<UsbdevfsMixerHarness>(mixer);
            backend = std::make_unique<LibUsbBackend>(VirtualMixerIds::VendorId,
                                                      VirtualMixerIds::ProductId);
        } else {
            backend = std::make_unique<VirtualMixerBackend>(mixer);
        }
        link = std::make_unique<DeviceLink>(backend.get(), waits, boxes);
        link->setLogEnabled(false);
        commands = std::make_unique<DeviceCommands>(*link);
        link->Start();
    }
    ~LinkRig() { link.reset(); }
};

void workerWrite(benchmark::State &state, bool libusb)
{
    if (libusb && !UsbdevfsMixerHarness::mockEnvironment()) {
        state.SkipWithError("run under umockdev-wrapper for the libusb figures");
        return;
    }
    LinkRig rig(libusb);
    if (!rig.link->Connected()) {
        state.SkipWithError("the mixer did not connect");
        return;
    }
    std::vector<std::uint8_t> data = pattern();
    for (auto _ : state) {
        // The begin request is the model's business, not the worker's.
        state.PauseTiming();
        const bool begun = rig.commands->BeginTestWrite(kUnits);
        state.ResumeTiming();
        if (!begun) {
            state.SkipWithError("BeginTestWrite refused");
            return;
        }
        const auto moved =
            TThreadReadWrite::Run(*rig.link, rig.link->WritePipe(), rig.link->writeSide(),
                                  data.data(), kBlock, TThreadReadWrite::ModeWrite);
        if (moved != std::uint32_t(kBlock)) {
            state.SkipWithError("short transfer");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kBlock);
}

void workerRead(benchmark::State &state, bool libusb)
{
    if (libusb && !UsbdevfsMixerHarness::mockEnvironment()) {
        state.SkipWithError("run under umockdev-wrapper for the libusb figures");
        return;
    }
    LinkRig rig(libusb);
    std::vector<std::uint8_t> buffer(kBlock);
    for (auto _ : state) {
        state.PauseTiming();
        const bool begun = rig.commands->BeginTestRead(kUnits);
        state.ResumeTiming();
        if (!begun) {
            state.SkipWithError("BeginTestRead refused");
            return;
        }
        const auto moved =
            TThreadReadWrite::Run(*rig.link, rig.link->ReadPipe(), rig.link->readSide(),
                                  buffer.data(), kBlock, TThreadReadWrite::ModeRead);
        if (moved != std::uint32_t(kBlock)) {
            state.SkipWithError("short transfer");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kBlock);
}

void BM_WorkerWriteVirtualMixer(benchmark::State &state)
{
    workerWrite(state, false);
}

void BM_WorkerReadVirtualMixer(benchmark::State &state)
{
    workerRead(state, false);
}

void BM_WorkerWriteLibUsbUmockdev(benchmark::State &state)
{
    workerWrite(state, true);
}

void BM_WorkerReadLibUsbUmockdev(benchmark::State &state)
{
    workerRead(state, true);
}

// One empty block: what the worker adds to every block (the queued call to
// its thread, one progress and the finish step, the waiting side's wake-up).
void BM_WorkerEmptyBlockVirtualMixer(benchmark::State &state)
{
    LinkRig rig(false);
    std::uint8_t byte = 0;
    for (auto _ : state) {
        rig.commands->BeginTestWrite(0);
        TThreadReadWrite::Run(*rig.link, rig.link->WritePipe(), rig.link->writeSide(), &byte, 0,
                              TThreadReadWrite::ModeWrite);
    }
}

// The same transfers from the calling thread, without the worker around them.
void BM_PieceLoopVirtualMixer(benchmark::State &state)
{
    LinkRig rig(false);
    std::vector<std::uint8_t> data = pattern();
    for (auto _ : state) {
        state.PauseTiming();
        rig.commands->BeginTestWrite(kUnits);
        state.ResumeTiming();
        for (int done = 0; done < kBlock; done += kPiece)
            rig.link->WritePipe().transfer(data.data() + done, std::min(kPiece, kBlock - done),
                                           3000);
    }
    state.SetBytesProcessed(state.iterations() * kBlock);
}

void BM_PieceLoopReadVirtualMixer(benchmark::State &state)
{
    LinkRig rig(false);
    std::vector<std::uint8_t> buffer(kBlock);
    for (auto _ : state) {
        state.PauseTiming();
        rig.commands->BeginTestRead(kUnits);
        state.ResumeTiming();
        for (int done = 0; done < kBlock; done += kPiece)
            rig.link->ReadPipe().transfer(buffer.data() + done, std::min(kPiece, kBlock - done),
                                          3000);
    }
    state.SetBytesProcessed(state.iterations() * kBlock);
}

void BM_MemcpyPieces(benchmark::State &state)
{
    std::vector<std::uint8_t> source = pattern();
    std::vector<std::uint8_t> target(kBlock);
    for (auto _ : state) {
        for (int done = 0; done < kBlock; done += kPiece)
            std::memcpy(target.data() + done, source.data() + done,
                        std::min(kPiece, kBlock - done));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kBlock);
}

} // namespace

BENCHMARK(BM_MemcpyPieces)->UseRealTime();
BENCHMARK(BM_PieceLoopVirtualMixer)->UseRealTime();
BENCHMARK(BM_PieceLoopReadVirtualMixer)->UseRealTime();
BENCHMARK(BM_WorkerWriteVirtualMixer)->UseRealTime();
BENCHMARK(BM_WorkerReadVirtualMixer)->UseRealTime();
BENCHMARK(BM_WorkerEmptyBlockVirtualMixer)->UseRealTime();
BENCHMARK(BM_WorkerWriteLibUsbUmockdev)->UseRealTime();
BENCHMARK(BM_WorkerReadLibUsbUmockdev)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("titledeck.*.debug=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
