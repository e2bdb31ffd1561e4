// A rehearsal of a show against the virtual mixer at 35 MB/s in real time:
// auto-load of 24 full-frame 720 x 480 still titles (in and out effects of
// 0.5 s, 2 s on the keyer, automatic in and out) through a memory of 15 title
// rows, so the loader has to clear shown titles to make room for the coming
// ones. The same core objects as the auto-load window (AutoLoad with its
// loader thread and play workers, DskPlayer, KeyerState, the event reader and
// the memory mirror), with the event loop on the main thread. A plain timing
// program; one run takes about 50 s (73 s with a 1 s in-wait):
//
//   bench_rehearsal [IN_WAIT_MS] [RUNS]     (in-wait 0 ms; 1 run)
//
// Per title: the time from the previous title's "out end" to this title's
// "in start", as the program receives the lines and on the mixer's keyer;
// the title's in-wait; how long its player waited for the title's data and
// how long the title had been in memory by then. Then the longest gap of a
// 5 ms timer on the user-interface thread while the run went on (with the
// part of it the thread spent waiting for a processor), and PASS or FAIL for
// each goal. bench/README.md explains the columns.

#include "core/MemoryNo.h"
#include "core/MessageBoxes.h"
#include "core/Settings.h"
#include "core/Waits.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/DeviceRequests.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "memory/AutoLoad.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "memory/KeyerState.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "resources/MessageTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/prctl.h>
#include <vector>

namespace {

constexpr std::uint32_t kLinkRate = 35'000'000; // bytes a second
constexpr int kTitles = 24;
constexpr int kTitleRows = 15;
constexpr int kWidth = 720;
constexpr int kHeight = 480;
constexpr int kEffectFrames = 15; // 0.5 s at 30 frames a second
constexpr int kDurationSeconds = 2;
constexpr qint64 kGapGoalMs = 100;
constexpr qint64 kUiGapGoalMs = 30;

class QuietBoxes : public MessageBoxes
{
public:
    int show(int, int textId, const QString &, const QString &text, int) override
    {
        std::fprintf(stderr, "message %d: %s\n", textId, qPrintable(text));
        ++shown;
        return IdOk;
    }
    int shown = 0;
};

// The virtual mixer's port, noting when the keyer took each title in: the
// mixer's "in start" is the moment it accepts DskPlay. Its "out end" follows
// a fixed time later (the title's time on the keyer), so the keyer's own gap
// between two titles is known without the event reader's delivery in it.
class TimedBackend : public VirtualMixerBackend
{
public:
    TimedBackend(std::unique_ptr<VirtualMixer> mixer, const QElapsedTimer &clock)
        : VirtualMixerBackend(std::move(mixer)), m_clock(clock)
    {}
    bool vendorIn(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                  std::uint8_t *buffer, std::uint16_t length) override
    {
        const bool ok = VirtualMixerBackend::vendorIn(request, value, index, buffer, length);
        constexpr std::uint8_t kAccepted = 2;
        if (ok && request == std::uint8_t(DeviceRequest::In::DskPlay) && length > 0 &&
            buffer[0] == kAccepted) {
            const std::lock_guard lock(m_mutex);
            m_plays.push_back(m_clock.elapsed());
        }
        return ok;
    }
    std::vector<qint64> plays() const
    {
        const std::lock_guard lock(m_mutex);
        return m_plays;
    }

private:
    const QElapsedTimer &m_clock;
    mutable std::mutex m_mutex;
    std::vector<qint64> m_plays;
};

// The gaps between the ticks of a 5 ms timer on the user-interface thread.
// Each gap is split by the thread's scheduler figures: how long the thread
// waited for a processor (the machine busy with other work), how long it ran;
// the rest it slept or was blocked. On a shared machine the first part is the
// machine's, the others are the program's.
class UiGaps
{
public:
    void start()
    {
        m_since.start();
        read(m_lastRunNs, m_lastQueuedNs);
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }
    void stop() { m_timer.stop(); }

    double longestMs = 0;
    double longestQueuedMs = 0; // of the longest gap: waiting for a processor
    double longestRunMs = 0;    // of the longest gap: running
    double longestOwnMs = 0;    // the longest gap less its wait for a processor

private:
    static bool read(long long &runNs, long long &queuedNs)
    {
        FILE *f = std::fopen("/proc/thread-self/schedstat", "r");
        if (!f)
            return false;
        const bool ok = std::fscanf(f, "%lld %lld", &runNs, &queuedNs) == 2;
        std::fclose(f);
        return ok;
    }
    void tick()
    {
        const double gapMs = double(m_since.nsecsElapsed()) / 1e6;
        m_since.restart();
        long long runNs = m_lastRunNs;
        long long queuedNs = m_lastQueuedNs;
        read(runNs, queuedNs);
        const double queuedMs = double(queuedNs - m_lastQueuedNs) / 1e6;
        if (gapMs > longestMs) {
            longestMs = gapMs;
            longestQueuedMs = queuedMs;
            longestRunMs = double(runNs - m_lastRunNs) / 1e6;
        }
        longestOwnMs = std::max(longestOwnMs, gapMs - queuedMs);
        m_lastRunNs = runNs;
        m_lastQueuedNs = queuedNs;
    }

    QTimer m_timer;
    QElapsedTimer m_since;
    long long m_lastRunNs = 0;
    long long m_lastQueuedNs = 0;
};

double loadAverage()
{
    double load = 0;
    return getloadavg(&load, 1) == 1 ? load : -1;
}

QString processor()
{
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuinfo.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
        }
    }
    return QStringLiteral("unknown processor");
}

// One distinct 720 x 480 32-bit picture per title.
QString writePicture(const QString &folder, int n)
{
    QByteArray tga(18, '\0');
    tga[2] = 2; // uncompressed true colour
    qToLittleEndian<quint16>(kWidth, tga.data() + 12);
    qToLittleEndian<quint16>(kHeight, tga.data() + 14);
    tga[16] = 32;
    tga[17] = 0x28; // top-left origin, 8 alpha bits
    QByteArray pixels(kWidth * kHeight * 4, '\0');
    for (int i = 0; i < kWidth * kHeight; ++i) {
        pixels[i * 4] = char(i + n);
        pixels[i * 4 + 1] = char(i / kWidth + n * 5);
        pixels[i * 4 + 2] = char(n * 10);
        pixels[i * 4 + 3] = char(255 - (i % kWidth) / 3);
    }
    const QString name = folder + QString::asprintf("/title%02d.tga", n);
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(tga + pixels) != tga.size() + pixels.size())
        return {};
    return name;
}

TitleEntry stillTitle(const QString &file, int inWaitMs, double frameMs)
{
    TitleEntry e = TitleEntry::create();
    e.FileList = QStringList{file};
    e.Name = QStringLiteral("title");
    e.IconFrame = 1;
    TitleAttributes &a = e.Attributes;
    a.setMemoryNo(MemoryNo::NotStored);
    a.setKind(TitleKind::Still);
    a.setWidth(kWidth);
    a.setHeight(kHeight);
    a.setBlocksPerFrame(8);
    a.setFrameCount(1);
    a.setDurSecond(kDurationSeconds);
    for (const Effect effect : {Effect::In, Effect::Out}) {
        a.setAutoTrigger(effect, true);
        a.setEffTimeFrame(effect, kEffectFrames);
    }
    a.setWaitSecond(Effect::In, inWaitMs / 1000);
    a.setWaitFrame(Effect::In, int((inWaitMs % 1000) / frameMs + 0.5));
    return e;
}

// What the run saw of one title, in milliseconds since the start (-1: never).
struct TitleTimes
{
    qint64 takenUp = -1;     // the player took the title up
    qint64 waitingData = -1; // its worker started waiting for the data
    qint64 dataReady = -1;   // ... and had it (the keyer waits for the in)
    qint64 loaded = -1;      // the loader reported the title in memory
    qint64 inStart = -1;
    qint64 outEnd = -1;
    qint64 keyed = -1; // the mixer accepted its DskPlay
    int inWaitMs = 0;
    int onKeyerMs = 0;
};

struct RunResult
{
    bool ok = false;
    qint64 wall = 0;
    UiGaps ui;
    double loadBefore = 0;
    double loadAfter = 0;
    bool dataGoal = true;
    bool gapGoal = true;
};

void rehearse(QCoreApplication &app, const QStringList &pictures, int inWaitMs, RunResult &result)
{
    Waits waits(1.0);
    QuietBoxes boxes;
    MagickImageLibrary images;
    TitleList list;
    KeyerState keyer(list);
    DefaultTitleSettings defaults;
    DeviceMemoryMirror mirror({list, keyer, boxes, images, waits, defaults}, MemorySetting{});
    auto ownedMixer = std::make_unique<VirtualMixer>(waits);
    VirtualMixer &mixer = *ownedMixer;
    MixerDevice::Snapshot all = mixer.snapshot();
    all.memory.titleRows = kTitleRows;
    mixer.restore(all);
    mixer.setLinkRate(kLinkRate);
    QElapsedTimer clock;
    clock.start();
    TimedBackend backend(std::move(ownedMixer), clock);
    DeviceLink link(&backend, waits, boxes);
    DeviceEventReader reader(link);
    BulkOutTransfer transfer(link, images);
    transfer.setTitleList(&list);
    mirror.setLink(&link);
    const double frameMs = mirror.videoFormat().frameTimeMs;
    DskPlayer player(keyer, list, waits, boxes);
    player.setLink(&link);
    player.setFrameTime([frameMs] { return frameMs; });

    AutoLoad::Services s = AutoLoad::deviceServices(transfer, mirror, link);
    s.list = &list;
    s.keyer = &keyer;
    s.player = &player;
    s.waits = &waits;
    s.boxes = &boxes;
    AutoLoad run(s);

    for (int i = 0; i < kTitles; ++i)
        list.insert(i + 1, stillTitle(pictures.at(i), inWaitMs, frameMs));

    std::vector<TitleTimes> t(kTitles + 1);
    for (int i = 1; i <= kTitles; ++i) {
        const TitleAttributes &a = list.at(i).Attributes;
        t[std::size_t(i)].inWaitMs =
            a.waitSecond(Effect::In) * 1000 + int(a.waitFrame(Effect::In) * frameMs);
        // From "in start" to "out end": the duration, or the two effects when longer.
        const int effects = int(a.effTimeFrame(Effect::In) * frameMs) +
                            int(a.effTimeFrame(Effect::Out) * frameMs) +
                            (a.effTimeSecond(Effect::In) + a.effTimeSecond(Effect::Out)) * 1000;
        t[std::size_t(i)].onKeyerMs =
            std::max(a.durSecond() * 1000 + int(a.durFrame() * frameMs), effects);
    }
    int playing = 0;
    int inStarts = 0;
    int outEnds = 0;
    int waitsForMemory = 0;
    const QString waitingText = MessageTable::text(AutoLoad::kWaitingForData);
    const QString onWaitText = MessageTable::text(AutoLoad::kOnWait);
    const auto at = [&t](int order) -> TitleTimes & {
        static TitleTimes none;
        return order >= 1 && order <= kTitles ? t[std::size_t(order)] : none;
    };
    QObject::connect(&run, &AutoLoad::playOrderChanged, &run, [&](int order) {
        playing = order;
        at(order).takenUp = clock.elapsed();
    });
    QObject::connect(&run, &AutoLoad::playStatusChanged, &run, [&](const QString &text) {
        if (text == waitingText)
            at(playing).waitingData = clock.elapsed();
        else if (text == onWaitText)
            at(playing).dataReady = clock.elapsed();
    });
    int stored = 0;
    int peakStored = 0;
    QObject::connect(&run, &AutoLoad::titleLoaded, &run, [&](int order) {
        at(order).loaded = clock.elapsed();
        peakStored = std::max(peakStored, ++stored);
    });
    QObject::connect(&run, &AutoLoad::titleCleared, &run, [&] { --stored; });
    QObject::connect(&run, &AutoLoad::titleWaitingForMemory, &run, [&] { ++waitsForMemory; });
    // The titles go on air in order, once each: the n-th "in start" and the
    // n-th "out end" are the n-th title's.
    QObject::connect(&reader, &DeviceEventReader::inStartRaised, &run,
                     [&] { at(++inStarts).inStart = clock.elapsed(); });
    QObject::connect(&reader, &DeviceEventReader::outEndRaised, &run,
                     [&] { at(++outEnds).outEnd = clock.elapsed(); });
    run.follow(reader, link);
    QObject::connect(&reader, &DeviceEventReader::SetDskState, &keyer,
                     [&keyer](DskState state, int memoryNo) {
                         keyer.SetDskState(state, std::uint16_t(memoryNo));
                     });

    // A run that has not ended long after its time is stopped as the window's Stop does.
    bool overdue = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &run, [&] {
        overdue = true;
        std::fprintf(stderr, "the run did not end in its time: stopped\n");
        run.BitBtnStopClick();
    });
    bool fault = true;
    QObject::connect(&run, &AutoLoad::finished, &run, [&](bool f) {
        fault = f;
        result.wall = clock.elapsed();
        result.ui.stop();
        watchdog.stop();
        app.quit();
    });
    link.Start();
    QTimer::singleShot(0, [&] {
        int expectedMs = 0;
        for (int i = 1; i <= kTitles; ++i)
            expectedMs += t[std::size_t(i)].onKeyerMs + t[std::size_t(i)].inWaitMs + 1000;
        watchdog.start(2 * expectedMs + 60'000);
        list.SetCursor(1);
        run.setEndless(false);
        result.loadBefore = loadAverage();
        clock.start();
        result.ui.start();
        if (!run.StartAutoLoad()) {
            std::fprintf(stderr, "auto-load did not start\n");
            app.quit();
        }
    });
    app.exec();
    result.loadAfter = loadAverage();
    link.Stop();

    const std::vector<qint64> plays = backend.plays();
    for (std::size_t k = 0; k < plays.size() && k < kTitles; ++k)
        t[k + 1].keyed = plays[k];

    std::printf("        in-     out end -> in start    over the in-wait   waited   in memory\n");
    std::printf("title  wait   received   on the keyer  received  keyer  for data  ahead\n");
    for (int i = 1; i <= kTitles; ++i) {
        const TitleTimes &r = t[std::size_t(i)];
        const TitleTimes &previous = t[std::size_t(i - 1)];
        const bool played = r.inStart >= 0;
        // As the program receives the lines, and on the keyer itself.
        const qint64 gap =
            i > 1 && played && previous.outEnd >= 0 ? r.inStart - previous.outEnd : -1;
        const qint64 keyerGap = i > 1 && r.keyed >= 0 && previous.keyed >= 0
                                    ? r.keyed - previous.keyed - previous.onKeyerMs
                                    : -1;
        const qint64 dataWait =
            r.waitingData >= 0 && r.dataReady >= 0 ? r.dataReady - r.waitingData : -1;
        // How long the title had been in memory when its player took it up.
        const qint64 ahead = r.loaded >= 0 && r.takenUp >= 0 ? r.takenUp - r.loaded : -1;
        const bool waited = !played || r.loaded < 0 || ahead < 0;
        if (i > 1) {
            result.dataGoal = result.dataGoal && !waited;
            result.gapGoal = result.gapGoal && gap >= 0 && gap - r.inWaitMs < kGapGoalMs &&
                             keyerGap >= 0 && keyerGap - r.inWaitMs < kGapGoalMs;
        }
        const auto ms = [](bool known, qint64 v) {
            return known ? QString::number(v) : QStringLiteral("-");
        };
        std::printf("%5d  %4d  %8s  %12s  %8s  %5s  %8s  %s\n", i, r.inWaitMs,
                    qPrintable(ms(gap >= 0, gap)), qPrintable(ms(keyerGap >= 0, keyerGap)),
                    qPrintable(ms(gap >= 0, gap - r.inWaitMs)),
                    qPrintable(ms(keyerGap >= 0, keyerGap - r.inWaitMs)),
                    qPrintable(ms(dataWait >= 0, dataWait)),
                    !played  ? "not played"
                    : waited ? "waited"
                             : qPrintable(QString::number(ahead)));
    }
    std::printf("(all times in ms)\n");
    result.ok = !fault && !overdue && inStarts == kTitles && outEnds == kTitles && boxes.shown == 0;
    std::printf("run: %s in %lld ms; %d uploads, %d clears, at most %d titles in memory (%d title "
                "rows), %d waits for memory, %d messages\n",
                overdue ? "stopped after its time"
                : fault ? "ended by a fault"
                        : "ended",
                static_cast<long long>(result.wall), run.uploads(), run.clears(), peakStored,
                kTitleRows, waitsForMemory, boxes.shown);
}

} // namespace

int main(int argc, char **argv)
{
    // Timed waits end on time, as on an idle machine: the kernel's default
    // 50 us slack on every one of a frame's link waits is the model's, not the program's.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const int inWaitMs = argc > 1 ? std::clamp(std::atoi(argv[1]), 0, 59'000) : 0;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    QTemporaryDir dir;
    QStringList pictures;
    for (int i = 1; i <= kTitles; ++i)
        pictures << writePicture(dir.path(), i);
    if (pictures.contains(QString()))
        return 1;
    std::printf("%s, %d processors\n", qPrintable(processor()), QThread::idealThreadCount());
    std::printf("%d still titles of %d x %d, in and out 0.5 s, %d s on the keyer, in-wait %d ms; "
                "%d title rows; link %u MB/s; real time\n",
                kTitles, kWidth, kHeight, kDurationSeconds, inWaitMs, kTitleRows,
                kLinkRate / 1'000'000);
    bool allPass = true;
    for (int r = 1; r <= runs; ++r) {
        std::printf("\nrun %d\n", r);
        RunResult result;
        rehearse(app, pictures, inWaitMs, result);
        const auto verdict = [&allPass](bool pass) {
            allPass = allPass && pass;
            return pass ? "PASS" : "FAIL";
        };
        std::printf("run %d summary:\n", r);
        std::printf("  %s  the run reached its end with every title on air\n", verdict(result.ok));
        std::printf("  %s  after the first title, no title waited for its data\n",
                    verdict(result.dataGoal));
        std::printf("  %s  every gap under %lld ms plus the title's in-wait\n",
                    verdict(result.gapGoal), static_cast<long long>(kGapGoalMs));
        const UiGaps &ui = result.ui;
        std::printf("  %s  longest user-interface gap %.1f ms (goal under %lld ms)\n",
                    verdict(ui.longestMs < kUiGapGoalMs), ui.longestMs,
                    static_cast<long long>(kUiGapGoalMs));
        std::printf("        of that gap %.1f ms waiting for a processor, %.1f ms running; "
                    "longest gap less its wait for a processor %.1f ms\n",
                    ui.longestQueuedMs, ui.longestRunMs, ui.longestOwnMs);
        std::printf("        load average %.2f before the run, %.2f after it\n", result.loadBefore,
                    result.loadAfter);
    }
    return allPass ? 0 : 1;
}
