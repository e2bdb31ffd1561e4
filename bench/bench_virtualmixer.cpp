// The transfer path against the virtual mixer: a full NTSC frame moved in the
// bulk worker's 4096-byte pieces through the in-process backend, both ways,
// next to a plain memcpy of the same bytes in the same pieces.
#include "core/Waits.h"
#include "device/DeviceRequests.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "mixer/VirtualMixerIds.h"

#include <QLoggingCategory>
#include <QtEndian>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int Piece = 4096;
constexpr int FrameBytes = 720 * 4 * 480; // 640 x 480 in NTSC

struct Rig
{
    Waits waits{1.0};
    VirtualMixer mixer{waits, 1};
    VirtualMixerBackend backend{mixer};
    std::uint16_t memoryNo = 0;

    Rig()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("titledeck.mixer.debug=false"));
        backend.open();
        backend.openPipe(0, VirtualMixerIds::ReadEndpoint);
        backend.openPipe(0, VirtualMixerIds::WriteEndpoint);
        std::uint8_t reply[6] = {};
        backend.vendorIn(std::uint8_t(DeviceRequest::In::AllocTitleMemory), 8, 1, reply, 6);
        memoryNo = qFromLittleEndian<quint16>(reply);
        std::uint8_t header[40] = {};
        header[4] = 8;
        header[6] = 1;
        qToLittleEndian<quint16>(640, header + 32);
        qToLittleEndian<quint16>(480, header + 34);
        backend.vendorOut(std::uint8_t(DeviceRequest::Out::WriteTitleHeader), memoryNo, 0, header,
                          40);
    }

    bool begin(DeviceRequest::In request)
    {
        std::uint8_t status[2] = {};
        return backend.vendorIn(std::uint8_t(request), memoryNo, 0, status, 2) && status[0] == 2;
    }

    int move(std::uint8_t endpoint, std::uint8_t *data, int size)
    {
        int done = 0;
        while (done < size) {
            const int piece = std::min(Piece, size - done);
            const TransferResult r = backend.transfer(endpoint, data + done, piece, 3000);
            done += r.transferred;
            if (!r.ok() || r.transferred != piece)
                break;
        }
        return done;
    }
};

void BM_FrameUpload(benchmark::State &state)
{
    Rig rig;
    std::vector<std::uint8_t> frame(FrameBytes, 0x40);
    for (auto _ : state) {
        rig.begin(DeviceRequest::In::BeginFrameWrite);
        if (rig.move(VirtualMixerIds::WriteEndpoint, frame.data(), FrameBytes) != FrameBytes)
            state.SkipWithError("short upload");
    }
    state.SetBytesProcessed(state.iterations() * FrameBytes);
}
BENCHMARK(BM_FrameUpload)->Unit(benchmark::kMillisecond);

void BM_FrameReadBack(benchmark::State &state)
{
    Rig rig;
    std::vector<std::uint8_t> frame(FrameBytes, 0x40);
    rig.begin(DeviceRequest::In::BeginFrameWrite);
    rig.move(VirtualMixerIds::WriteEndpoint, frame.data(), FrameBytes);
    for (auto _ : state) {
        rig.begin(DeviceRequest::In::BeginFrameRead);
        if (rig.move(VirtualMixerIds::ReadEndpoint, frame.data(), FrameBytes) != FrameBytes)
            state.SkipWithError("short read");
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetBytesProcessed(state.iterations() * FrameBytes);
}
BENCHMARK(BM_FrameReadBack)->Unit(benchmark::kMillisecond);

void BM_MemcpyPieces(benchmark::State &state)
{
    std::vector<std::uint8_t> from(FrameBytes, 0x40), to(FrameBytes);
    for (auto _ : state) {
        for (int done = 0; done < FrameBytes; done += Piece)
            std::memcpy(to.data() + done, from.data() + done,
                        size_t(std::min(Piece, FrameBytes - done)));
        benchmark::DoNotOptimize(to.data());
    }
    state.SetBytesProcessed(state.iterations() * FrameBytes);
}
BENCHMARK(BM_MemcpyPieces)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
