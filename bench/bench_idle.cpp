// The CPU the connected, idle program spends on keeping its memory mirror up
// to date: the 500 ms refresh reads the map from the virtual mixer (through
// the bulk worker, with its 200 ms settle) and checks the room of a full list
// of titles, for 10 seconds of real time. A plain timing program: the figure
// is the process's CPU time over the wall time.
//
//   build/bench/bench_idle [SECONDS]

#include "core/MemorySetting.h"
#include "core/MessageBoxes.h"
#include "core/Settings.h"
#include "core/Waits.h"
#include "device/BulkInTransfer.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/KeyerState.h"
#include "memory/MemoryRefresh.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

class SilentBoxes : public MessageBoxes
{
public:
    int show(int, int, const QString &, const QString &, int) override { return IdNo; }
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    Waits waits;
    SilentBoxes boxes;
    VirtualMixerBackend backend(std::make_unique<VirtualMixer>(waits));
    DeviceLink link(&backend, waits, boxes);
    link.setLogEnabled(false);
    if (!link.Start() || !link.Connected()) {
        std::fprintf(stderr, "the virtual mixer did not connect\n");
        return 1;
    }

    // A full list of titles that are not stored, each looking for room.
    TitleList list;
    for (int i = 1; i <= TitleList::MaxTitles; ++i) {
        TitleEntry e = TitleEntry::create();
        e.Attributes.setMemoryNo(MemoryNo::NotStored);
        e.Attributes.setBlocksPerFrame(1 << (i % 4));
        e.Attributes.setFrameCount(1 + i % 30);
        list.insert(i, std::move(e));
    }
    KeyerState keyer(list);
    MagickImageLibrary images;
    DefaultTitleSettings defaults;
    DeviceMemoryMirror mirror({list, keyer, boxes, images, waits, defaults}, MemorySetting{});
    mirror.setLink(&link);
    BulkInTransfer bulkIn(link, images);
    mirror.setMapReader([&] {
        bulkIn.ReadMemoryMap([&](const QByteArray &map) { return mirror.ApplyMemoryMap(map); });
    });
    int maps = 0;
    QObject::connect(&mirror, &DeviceMemoryMirror::mapApplied, [&maps] { ++maps; });
    MemoryRefresh refresh(mirror);

    QElapsedTimer wall;
    const double cpuBefore = cpuSeconds();
    wall.start();
    refresh.setConnected(true);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double elapsed = wall.elapsed() * 1e-3;
    std::printf("idle refresh: %d maps in %.1f s wall, %.1f ms CPU, %.3f %% of one core\n", maps,
                elapsed, cpu * 1e3, 100.0 * cpu / elapsed);
    link.Stop();
    return 0;
}
