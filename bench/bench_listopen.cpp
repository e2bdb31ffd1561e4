// Opening a send list of 99 titles, each a 241-frame 720 x 480 TARGA sequence:
// the time until OpenList has rebuilt every title (sequence search, header of
// every frame, title check, thumbnail) and the process's peak memory.

#include "core/MessageBoxes.h"
#include "core/Settings.h"
#include "core/Waits.h"
#include "imaging/MagickImageLibrary.h"
#include "imaging/TitleTypeChooser.h"
#include "list/ListEditor.h"
#include "list/ListRecord.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"
#include "list/TitleList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int Titles = 99;
constexpr int Frames = 241;
constexpr int Width = 720;
constexpr int Height = 480;

class SilentBoxes : public MessageBoxes
{
public:
    int show(int, int textId, const QString &, const QString &, int) override
    {
        ++shown;
        return IdOk;
    }
    int shown = 0;
};

class NoChooser : public TitleTypeChooser
{
public:
    std::optional<TitleTypeAnswer> chooseTitleType(const TitleTypeQuestion &) override
    {
        return std::nullopt;
    }
};

// A run-length coded 32-bit TARGA, each line one colour, packets within lines.
QByteArray targa(int seed)
{
    QByteArray out(18, '\0');
    out[2] = 10;
    out[12] = char(Width & 0xFF);
    out[13] = char(Width >> 8);
    out[14] = char(Height & 0xFF);
    out[15] = char(Height >> 8);
    out[16] = 32;
    out[17] = char(0x28);
    for (int y = 0; y < Height; ++y) {
        const char px[4] = {char(y), char(seed), char(y + seed), char(0xFF)};
        for (int left = Width; left > 0; left -= 128) {
            out.append(char(0x80 | (std::min(left, 128) - 1)));
            out.append(px, 4);
        }
    }
    return out;
}

void putI32(QByteArray &b, int offset, std::int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[offset + i] = char((std::uint32_t(v) >> (8 * i)) & 0xFF);
}

// The pictures and the list file, made once per run.
struct Fixture
{
    QTemporaryDir dir;
    QString listFile;

    Fixture()
    {
        QByteArray list;
        for (int t = 0; t < Titles; ++t) {
            const QString folder =
                dir.filePath(QStringLiteral("title%1").arg(t, 2, 10, QLatin1Char('0')));
            QDir().mkpath(folder);
            for (int f = 1; f <= Frames; ++f) {
                QFile file(QDir(folder).filePath(
                    QStringLiteral("frame%1.tga").arg(f, 3, 10, QLatin1Char('0'))));
                if (file.open(QIODevice::WriteOnly))
                    file.write(targa(t * Frames + f));
            }
            ListRecord r;
            r.FirstFile = QDir(folder).filePath(QStringLiteral("frame001.tga"));
            TitleAttributes &a = r.Attributes;
            a.setTypeFlags(1); // MOVIE ONCE
            a.setRollCrawlSpeed(8);
            a.setBlocksPerFrame(8);
            a.setFrameCount(Frames);
            a.setDurSecond(8);
            a.setDurFrame(1);
            a.setEffPattern(Effect::In, 1);
            a.setEffPattern(Effect::Out, 1);
            a.setEffTimeSecond(Effect::In, 2);
            a.setEffTimeSecond(Effect::Out, 2);
            a.setWidth(640);
            a.setHeight(480);
            r.Name = QStringLiteral("title %1").arg(t);
            r.IconFrame = 1 + t % Frames;
            QByteArray bytes = r.toList().value_or(QByteArray(ListRecord::ListSize, '\0'));
            putI32(bytes, ListRecord::ListIconOffset, r.IconFrame);
            list += bytes;
        }
        listFile = dir.filePath(QStringLiteral("bench.vtl"));
        QFile file(listFile);
        if (file.open(QIODevice::WriteOnly))
            file.write(list);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_OpenList99x241(benchmark::State &state)
{
    Fixture &f = fixture();
    QThreadPool::globalInstance()->setMaxThreadCount(int(state.range(0)));
    SilentBoxes boxes;
    MagickImageLibrary images;
    Waits waits;
    const Settings settings = DefaultSettings(SettingsContext{f.dir.path(), 1024, 768});
    PropertyHistory history(f.dir.filePath(QStringLiteral("TitleDeck.vth")), waits);
    NoChooser chooser;
    ListServices services{boxes, images, waits, settings, history, chooser};
    int titles = 0;
    for (auto _ : state) {
        TitleList list;
        ListEditor editor(list, services);
        editor.OpenList(f.listFile, true);
        titles = list.count();
    }
    state.counters["titles"] = titles;
    state.counters["messages"] = boxes.shown;
    state.counters["peak_rss_MB"] = double(peakRssKb()) / 1024.0;
    if (titles != Titles || boxes.shown != 0)
        state.SkipWithError("the list did not open completely");
}
BENCHMARK(BM_OpenList99x241)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    fixture();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
