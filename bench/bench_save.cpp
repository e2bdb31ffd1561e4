// Saving a MOVIE title of 60 frames out of the virtual mixer into TARGA files,
// with the protocol's real waits and the mixer's link at 35 MB/s: the wall
// time against its floor (the prescribed waits plus the bytes at the link
// rate), and the longest gap between the ticks of a 5 ms timer on the
// user-interface thread while the save runs.
//
// The mixer's memory holds 30 rows of 8 units, so 60 frames of a full 480
// lines cannot be stored at once: the title has frames of 4 units (640 x 240)
// in 30 title rows, and every read is one row, 720 x 480 device pixels.

#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "device/BulkInTransfer.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"
#include "link/MixerTitles.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

constexpr int kFrames = 60;
constexpr int kBlocksPerFrame = 4;
constexpr int kWidth = 640;
constexpr int kHeight = 240;
constexpr int kTitleRows = 30;
constexpr std::uint32_t kLinkRate = 35'000'000;

class QuietBoxes : public MessageBoxes
{
public:
    int show(int, int textId, const QString &, const QString &text, int) override
    {
        std::fprintf(stderr, "message %d: %s\n", textId, qPrintable(text));
        return IdYes;
    }
};

// Puts the title straight into the mixer's memory: frame f a flat grey of its own.
std::uint16_t storeTitle(VirtualMixer &mixer)
{
    mixer.controlIn(std::uint8_t(DeviceRequest::In::SetMemorySetting), 0, kTitleRows, 2);
    return MixerTitles::store(mixer, false, kWidth, kHeight, kBlocksPerFrame, kFrames, 255,
                              [](int f, int) { return 20 + 3 * f; });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Waits waits(1.0);
    VirtualMixer mixer(waits);
    mixer.setSettingBusyTime(0);
    const std::uint16_t memoryNo = storeTitle(mixer);
    mixer.setLinkRate(qEnvironmentVariableIsSet("BENCH_UNLIMITED") ? 0 : kLinkRate);
    VirtualMixerBackend backend(mixer);
    QuietBoxes boxes;
    DeviceLink link(&backend, waits, boxes);
    link.setLogEnabled(false);
    if (!link.Start() || !link.Connected()) {
        std::fprintf(stderr, "the virtual mixer did not connect\n");
        return 1;
    }
    MagickImageLibrary images;
    BulkInTransfer job(link, images);
    QTemporaryDir dir;

    // The user-interface thread's pulse while the save runs.
    QElapsedTimer pulse;
    qint64 longestGap = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, pulse.restart()); });

    // Group count, bytes and the time the blocks took, from each block's first
    // progress step to its finish step.
    int groups = 0;
    qint64 bytes = 0;
    qint64 readMs = 0;
    QElapsedTimer block;
    QObject::connect(&link.readSide(), &TransferSide::progressChanged, [&] {
        if (!block.isValid() && link.readSide().Busy())
            block.start();
    });
    QObject::connect(&link.readSide(), &TransferSide::finished, [&](std::uint32_t moved) {
        ++groups;
        bytes += moved;
        readMs += block.elapsed();
        block.invalidate();
    });

    QElapsedTimer wall;
    if (!job.setJob(BulkInTransfer::SaveTitle, memoryNo, dir.filePath("movie.tga")))
        return 1;
    wall.start();
    pulse.start();
    timer.start();
    const bool ok = job.Run();
    const qint64 elapsed = wall.elapsed();
    timer.stop();

    const int files = int(QDir(dir.path()).entryList(QDir::Files).size());
    const double floorMs =
        groups * 2 * BulkInTransfer::kStepWaitMs + double(bytes) * 1000.0 / kLinkRate;
    std::printf("save %s: %d files from %d reads, %lld bytes\n", ok ? "ok" : "FAILED", files,
                groups, static_cast<long long>(bytes));
    std::printf("wall %lld ms, floor %.0f ms (waits %d ms + link %.0f ms), wall/floor %.3f\n",
                static_cast<long long>(elapsed), floorMs, groups * 2 * BulkInTransfer::kStepWaitMs,
                double(bytes) * 1000.0 / kLinkRate, elapsed / floorMs);
    std::printf("blocks on the link: %lld ms\n", static_cast<long long>(readMs));
    std::printf("longest gap of the 5 ms timer: %lld ms\n", static_cast<long long>(longestGap));
    return ok && files == kFrames ? 0 : 1;
}
