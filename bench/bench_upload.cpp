// One MOVIE title of 720 x 480 32-bit TARGA frames loaded into the virtual
// mixer over a 35 MB/s link with the protocol's real waits: the wall time
// against the floor the waits and the link set, and the longest gap of a 5 ms
// timer on the user-interface thread while it runs. A plain timing program:
//
//   bench_upload [FRAMES] [RUNS]     (30 frames, the most the memory holds; 3 runs)

#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceLink.h"
#include "device/LoadSelectedTitles.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <cstdio>
#include <sys/prctl.h>

namespace {

constexpr double kLinkRate = 35e6; // bytes a second
constexpr int kWidth = 720;
constexpr int kHeight = 480;
constexpr double kFrameBytes = 720.0 * 480 * 4; // 640 x 480 taken, 1.125 wide on the device

class QuietBoxes : public MessageBoxes
{
public:
    int show(int, int textId, const QString &, const QString &, int) override
    {
        std::fprintf(stderr, "message %d\n", textId);
        return IdOk;
    }
};

QStringList writeFrames(const QString &folder, int frames)
{
    QByteArray tga(18, '\0');
    tga[2] = 2; // uncompressed true colour
    qToLittleEndian<quint16>(kWidth, tga.data() + 12);
    qToLittleEndian<quint16>(kHeight, tga.data() + 14);
    tga[16] = 32;
    tga[17] = 0x28; // top-left origin, 8 alpha bits
    QStringList files;
    for (int f = 0; f < frames; ++f) {
        QByteArray pixels(kWidth * kHeight * 4, '\0');
        for (int i = 0; i < kWidth * kHeight; ++i) {
            pixels[i * 4] = char(i + f);
            pixels[i * 4 + 1] = char(i / kWidth);
            pixels[i * 4 + 2] = char(f * 8);
            pixels[i * 4 + 3] = char(255 - (i % kWidth) / 3);
        }
        const QString name = folder + QString::asprintf("/movie%03d.tga", f + 1);
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(tga + pixels) != tga.size() + pixels.size())
            return {};
        files << name;
    }
    return files;
}

} // namespace

int main(int argc, char **argv)
{
    // Timed waits end on time, as on an idle machine: the kernel's default
    // 50 us slack on every one of a frame's 338 link waits is the model's, not the program's.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QTemporaryDir dir;
    const QStringList files = writeFrames(dir.path(), frames);
    if (files.isEmpty())
        return 1;

    // The protocol's waits for one title: allocation 50, header 100, then per
    // frame 100 before and 250 after the write; and the bytes over the link.
    const double floorMs =
        50 + 100 + frames * (100 + 250) + frames * kFrameBytes / kLinkRate * 1000.0;
    std::printf("frames %d, floor %.0f ms (waits %d ms, link %.0f ms)\n", frames, floorMs,
                150 + frames * 350, frames * kFrameBytes / kLinkRate * 1000.0);

    for (int r = 0; r < runs; ++r) {
        Waits waits(1.0);
        QuietBoxes boxes;
        VirtualMixer mixer(waits);
        MixerDevice::Snapshot all = mixer.snapshot();
        all.memory.titleRows = 30;
        mixer.restore(all);
        mixer.setLinkRate(std::uint32_t(kLinkRate));
        VirtualMixerBackend backend(mixer);
        DeviceLink link(&backend, waits, boxes);
        link.Start();
        MagickImageLibrary images;
        TitleList list;
        BulkOutTransfer transfer(link, images);
        transfer.setTitleList(&list);
        TitleEntry title = TitleEntry::create();
        TitleAttributes &a = title.Attributes;
        a.setMemoryNo(MemoryNo::NotStored);
        a.setKind(TitleKind::Movie);
        a.setWidth(640);
        a.setHeight(480);
        a.setBlocksPerFrame(8);
        a.setFrameCount(frames);
        title.FileList = files;
        title.Selected = true;
        list.insert(1, title);

        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        bool ok = false;
        qint64 wall = 0;
        QTimer::singleShot(0, [&] {
            tick.start();
            sinceTick.start();
            QElapsedTimer clock;
            clock.start();
            ok =
                LoadSelectedTitles(link, list, [&](int mode, int arg, std::vector<TransferItem> i) {
                    return transfer.setJob(mode, arg, std::move(i)) && transfer.Run();
                });
            wall = clock.elapsed();
            tick.stop();
            app.quit();
        });
        app.exec();
        // Time the worker spent moving the frames, from its log lines.
        qint64 moving = 0;
        for (const QString &line : link.logLines()) {
            if (!line.startsWith(QLatin1String("Transfer Time : ")))
                continue;
            const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            moving += parts.value(3).toLongLong() * 1000 + parts.value(5).toLongLong();
        }
        link.Stop();
        std::printf("run %d: frames moved in %lld ms (the link alone: %.0f ms)\n", r + 1,
                    static_cast<long long>(moving), frames * kFrameBytes / kLinkRate * 1000.0);
        std::printf("run %d: %s, wall %lld ms, %.2f %% above the floor, longest UI gap %lld ms\n",
                    r + 1, ok ? "stored" : "FAILED", static_cast<long long>(wall),
                    (wall - floorMs) / floorMs * 100.0, static_cast<long long>(longestGap));
        if (!ok)
            return 1;
    }
    return 0;
}
