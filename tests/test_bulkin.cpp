// Titles, clips, the memory map and the setup data read out of the virtual
// mixer over the bulk-in pipe, with the protocol waits scaled down.

#include "core/Waits.h"
#include "device/BulkInTransfer.h"
#include "device/DeviceLink.h"
#include "device/TFormBulkInTransfer.h"
#include "imaging/DeviceConvert.h"
#include "imaging/MagickImageLibrary.h"
#include "link/MixerTitles.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using DeviceRequest::In;
using DeviceRequest::Out;
using namespace TestFiles;

namespace {

// The in-process backend, recording every vendor request as (request, value);
// out requests are recorded with 0x100 added to their code.
class RecordingBackend : public VirtualMixerBackend
{
public:
    using VirtualMixerBackend::VirtualMixerBackend;
    bool vendorIn(std::uint8_t r, std::uint16_t v, std::uint16_t i, std::uint8_t *b,
                  std::uint16_t l) override
    {
        sent << QPair<int, int>(r, v);
        return VirtualMixerBackend::vendorIn(r, v, i, b, l);
    }
    bool vendorOut(std::uint8_t r, std::uint16_t v, std::uint16_t i, const std::uint8_t *d,
                   std::uint16_t l) override
    {
        sent << QPair<int, int>(0x100 + r, v);
        return VirtualMixerBackend::vendorOut(r, v, i, d, l);
    }
    int count(int request) const
    {
        return int(std::ranges::count(sent, request, &QPair<int, int>::first));
    }
    QList<QPair<int, int>> sent;
};

constexpr int kCancelRead = 0x100 + int(Out::CancelTransfer);

// Luma of frame f of a stored title: each frame its own grey.
int lumaOf(int frame)
{
    return 30 + 15 * frame;
}

struct Rig
{
    explicit Rig(bool pal = false, bool setupMode = false)
    {
        mixer.setSettingBusyTime(0);
        if (pal)
            mixer.controlIn(std::uint8_t(In::SetMemorySetting), 0x0100, 15, 2);
        mixer.setSetupDataMode(setupMode);
        link.Start();
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }

    std::uint16_t store(
        bool clip, int width, int height, int blocks, int frames, int key = 255,
        const std::function<int(int, int)> &luma = [](int f, int) { return lumaOf(f); })
    {
        return MixerTitles::store(mixer, clip, width, height, blocks, frames, key, luma);
    }

    bool save(std::uint16_t memoryNo, const QString &name)
    {
        return job.setJob(memoryNo < 0x4000 ? 2 : 3, memoryNo, path(name)) && job.Run();
    }

    Waits waits{0.01};
    VirtualMixer mixer{waits};
    RecordingBackend backend{mixer};
    ScriptedMessageBoxes boxes;
    DeviceLink link{&backend, waits, boxes};
    MagickImageLibrary images;
    BulkInTransfer job{link, images};
    QTemporaryDir dir;
};

// Grey level and alpha at the picture's centre, as saved.
QPair<int, int> centre(MagickImageLibrary &images, const QString &file, int y = -1)
{
    const std::optional<Bitmap> b = images.load(file);
    if (!b)
        return {-1, -1};
    const std::uint8_t *p = b->row(y < 0 ? b->height() / 2 : y) + b->width() / 2 * 4;
    return {p[1], p[3]};
}

QList<int> infoOf(MagickImageLibrary &images, const QString &file)
{
    const std::optional<ImageInfo> i = images.fileInfo(file);
    return i ? QList<int>{i->width, i->height, i->bitsPerPixel} : QList<int>();
}

int greyOf(int luma)
{
    return ConvertPixelFromDevice(luma, 128, 128, {}).r;
}

} // namespace

class TestBulkIn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageTable::setLanguage(Language::Japanese); }

    void oneFrameTitleIsExactlyTheChosenFile()
    {
        Rig rig;
        const std::uint16_t t = rig.store(false, 100, 50, 1, 1, 200);
        QSignalSpy caption(&rig.job, &TransferJob::captionChanged);
        QSignalSpy status(&rig.job, &TransferJob::statusChanged);
        QVERIFY(rig.save(t, "logo.tga"));
        QCOMPARE(rig.files(), QStringList{"logo.tga"});
        QCOMPARE(infoOf(rig.images, rig.path("logo.tga")), QList<int>({100, 50, 32}));
        const auto [grey, alpha] = centre(rig.images, rig.path("logo.tga"));
        QVERIFY(qAbs(grey - greyOf(lumaOf(0))) <= 1);
        QCOMPARE(alpha, 200);
        QCOMPARE(caption.last().at(0).toString(), QString("タイトルの保存"));
        QCOMPARE(status.last().at(0).toString(), QString("タイトルを保存しています...     1 / 1"));
        QVERIFY(rig.boxes.shown().isEmpty());
    }

    // Frame groups by band flags: 60-line frames come eight to a read, and a
    // 10-frame movie of full-height frames one to a read.
    void framesAreReadByGroups_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("frames");
        QTest::addColumn<int>("reads");
        QTest::newRow("60 lines, 8 + 3") << 60 << 1 << 11 << 2;
        QTest::newRow("120 lines, 4 + 1") << 120 << 2 << 5 << 2;
        QTest::newRow("full height") << 480 << 8 << 10 << 10;
    }

    void framesAreReadByGroups()
    {
        QFETCH(int, height);
        QFETCH(int, blocks);
        QFETCH(int, frames);
        QFETCH(int, reads);
        Rig rig;
        const std::uint16_t t = rig.store(false, 96, height, blocks, frames);
        QVERIFY(rig.save(t, "clip.tif"));
        QCOMPARE(rig.backend.count(int(In::BeginFrameRead)), reads);
        QCOMPARE(rig.files().size(), frames);
        for (int f = 0; f < frames; ++f) {
            const QString file = rig.path(QString("clip%1.tif").arg(f + 1, 3, 10, QChar('0')));
            QVERIFY2(qAbs(centre(rig.images, file).first - greyOf(lumaOf(f))) <= 1,
                     qPrintable(file));
        }
        QCOMPARE(rig.link.readSide().GaugeProgress, rig.link.readSide().GaugeMax); // full
    }

    void existingFirstFileAsksOnce()
    {
        for (const int answer : {IdYes, IdNo}) {
            Rig rig;
            const std::uint16_t t = rig.store(false, 96, 60, 1, 10);
            QVERIFY(writeFile(rig.path("clip001.tif"), "old"));
            rig.boxes.answer(answer);
            const int resets = rig.mixer.portResetCount();
            QCOMPARE(rig.save(t, "clip.tif"), answer == IdYes);
            QCOMPARE(rig.boxes.shownIds(), QList<int>{125});
            const ScriptedMessageBoxes::Shown &q = rig.boxes.shown().first();
            QVERIFY(q.captionId == 7 && q.flags == MsgQuestionYesNo &&
                    q.text.startsWith("ファイル [ clip001.tif ]"));
            if (answer == IdYes) {
                QCOMPARE(rig.files().size(), 10);
                QVERIFY(readFile(rig.path("clip001.tif")) != "old");
            } else {
                QCOMPARE(rig.files(), QStringList{"clip001.tif"});
                QCOMPARE(readFile(rig.path("clip001.tif")), QByteArray("old"));
                QCOMPARE(rig.backend.sent.last(), (QPair<int, int>(kCancelRead, 2)));
                QCOMPARE(rig.mixer.portResetCount(), resets + 1);
            }
        }
    }

    void palClipComesBack768WideWithLinePairsExchanged()
    {
        Rig rig(true);
        QCOMPARE(rig.mixer.signal(), std::uint8_t(1));
        const std::uint16_t c =
            rig.store(true, 768, 576, 8, 1, 255, [](int, int r) { return r % 2 ? 200 : 40; });
        QVERIFY(rig.save(c, "pal.bmp"));
        QCOMPARE(infoOf(rig.images, rig.path("pal.bmp")), QList<int>({768, 576, 24}));
        QVERIFY(qAbs(centre(rig.images, rig.path("pal.bmp"), 0).first - greyOf(200)) <= 1);
        QVERIFY(qAbs(centre(rig.images, rig.path("pal.bmp"), 1).first - greyOf(40)) <= 1);
    }

    void rejectedMapResetsAndAsksForAResync()
    {
        Rig rig;
        QByteArrayList maps;
        const auto sink = [&maps](const QByteArray &map) {
            maps << map;
            return map.startsWith("\xFE\xFF\xFC\xFD");
        };
        QVERIFY(rig.job.ReadMemoryMap(sink)); // a new pipe asks for a resync first
        rig.mixer.injectBadMapMagic(1);
        const int resets = rig.mixer.portResetCount();
        QVERIFY(!rig.job.ReadMemoryMap(sink));
        QVERIFY(rig.link.readSide().MapResync);
        QCOMPARE(rig.mixer.portResetCount(), resets + 1);
        QVERIFY(rig.job.ReadMemoryMap(sink));
        QVERIFY(rig.job.ReadMemoryMap(sink));
        QList<int> values;
        for (const auto &[request, value] : rig.backend.sent)
            if (request == int(In::BeginMemoryMapRead))
                values << value;
        QCOMPARE(values, QList<int>({1, 0, 1, 0}));
        QCOMPARE(maps.last().size(), 968);
        QCOMPARE(maps.last(), rig.mixer.memoryMapBlock().left(968));
    }

    // A transfer that ends early, in the second of three groups: the job
    // fails without hanging, the first group's file stays.
    void earlyEndKeepsEarlierFiles()
    {
        for (const QString how : {"short", "stall", "unplug", "cancel"}) {
            Rig rig;
            const std::uint16_t t = rig.store(false, 64, 480, 8, 3);
            int blocks = 0;
            connect(&rig.link.readSide(), &TransferSide::progressChanged, this, [&] {
                if (how == "cancel" && blocks == 1)
                    rig.job.Cancel();
            });
            connect(&rig.link.readSide(), &TransferSide::finished, this, [&] {
                if (++blocks != 1)
                    return;
                if (how == "short")
                    rig.mixer.injectShortBulk(100000);
                else if (how == "stall")
                    rig.mixer.injectBulkStall(100000);
                else if (how == "unplug")
                    rig.mixer.injectUnplugDuringBulk(100000);
            });
            QVERIFY(!rig.save(t, "roll.tga"));
            QCOMPARE(rig.files(), QStringList{"roll001.tga"});
            QCOMPARE(rig.job.writtenFiles(), QStringList{rig.path("roll001.tga")});
            QVERIFY(!rig.job.busy());
            if (how != "unplug")
                QCOMPARE(rig.backend.count(kCancelRead), 1);
        }
    }

    // The first group's file cannot be made: the second group is never asked for.
    void unwritableFolderSaysSoAndLeavesTheMixer()
    {
        Rig rig;
        const std::uint16_t t = rig.store(false, 64, 480, 8, 2);
        const std::optional<QByteArray> before = rig.mixer.frameLines(t, 0);
        QVERIFY(writeFile(rig.path("notafolder"), {}));
        QVERIFY(!rig.save(t, "notafolder/x.tga"));
        QCOMPARE(rig.boxes.shownIds(), QList<int>{91});
        QCOMPARE(rig.job.failedFile(), rig.path("notafolder/x001.tga"));
        QCOMPARE(rig.backend.count(int(In::BeginFrameRead)), 1);
        QCOMPARE(rig.backend.count(kCancelRead), 0);
        QCOMPARE(rig.mixer.frameLines(t, 0), before);
    }

    void setupDataAndPipeTest()
    {
        Rig rig(false, true);
        QByteArray setup(32768, '\0');
        for (int i = 0; i < setup.size(); ++i)
            setup[i] = char(i * 7);
        rig.mixer.setSetupData(setup);
        QVERIFY(rig.job.setJob(5, 0, rig.path("s.vts")) && rig.job.Run());
        QCOMPARE(rig.job.takeSetupData(), setup);
        Rig test;
        QVERIFY(test.job.setJob(1, 0, {}) && test.job.Run());
        QCOMPARE(test.backend.sent.last(), (QPair<int, int>(int(In::BeginTestRead), 2400)));
        QCOMPARE(test.link.readSide().Transferred(), BulkInTransfer::kPipeTestBytes);
    }

    // The window's entry: what cannot be done is refused, a save runs in the
    // dialog, the map at once; one read at a time, also from inside another.
    void startBulkIn()
    {
        Rig rig;
        const std::uint16_t t = rig.store(false, 64, 60, 1, 1);
        BulkInTransfer job(rig.link, rig.images);
        TFormBulkInTransfer form(job, nullptr);
        for (const auto &[mode, name] :
             {std::pair{0, "a.tga"}, {6, "a.tga"}, {2, "a.png"}, {3, "noextension"}})
            QVERIFY(!form.StartBulkIn(mode, t, rig.path(name)));
        QVERIFY(form.StartBulkIn(2, t, rig.path("W.TGA")));
        QCOMPARE(rig.files(), QStringList{"W.TGA"});
        bool inner = true;
        form.transfer().setMapSink([&](const QByteArray &) {
            inner = form.StartBulkIn(2, t, rig.path("b.tga")) || form.transfer().ReadMemoryMap({});
            return true;
        });
        QVERIFY(form.StartBulkIn(4, 0, {}));
        QVERIFY(!inner);
        QVERIFY(rig.job.setJob(2, t, rig.path("c.tga")));
        QVERIFY(!rig.job.ReadMemoryMap({}) && !rig.job.setJob(4, 0, {})); // taken by the save
        rig.link.Stop();
        QVERIFY(!rig.job.Run() && !form.StartBulkIn(4, 0, {}));
    }
};

QTEST_MAIN(TestBulkIn)
#include "test_bulkin.moc"
