// titledeck-cli list and convert, run as processes: what they write is what the
// program writes, every failure says why on standard error, and a full disk
// leaves the old files byte for byte.

#include "core/MemoryNo.h"
#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "imaging/DeviceConvert.h"
#include "link/MixerTitles.h"
#include "listcore/ListFixtures.h"
#include "mixer/MixerStateFile.h"
#include "mixer/VirtualMixer.h"
#include "resources/MessageTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QTest>
#include <QtEndian>

using namespace ListFixtures;

namespace {

struct Result
{
    int exitCode;
    QByteArray out;
    QString err;
};

QJsonObject title(const QByteArray &json, int index)
{
    return QJsonDocument::fromJson(json).object().value("titles").toArray().at(index).toObject();
}

QByteArray bytesOf(const std::vector<std::uint8_t> &v)
{
    return QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size()));
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    // Runs the command; with fileLimit, files cannot grow beyond it (a full disk).
    Result run(const QStringList &arguments, const QString &lang = "ja", qint64 fileLimit = 0)
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_CONFIG_HOME", m_env.configHome());
        e.insert("XDG_DATA_HOME", m_env.dataHome());
        e.insert("TITLEDECK_LANG", lang);
        e.insert("QT_LOGGING_RULES", "*.info=false");
        p.setProcessEnvironment(e);
        if (fileLimit > 0)
            p.setChildProcessModifier([fileLimit] { limitFileSize(fileLimit); });
        p.start(QStringLiteral(TITLEDECK_CLI), arguments);
        if (!p.waitForFinished(60000))
            return {-1, {}, {}};
        // Only the program's messages count, not the libraries' log lines.
        QStringList err =
            QString::fromUtf8(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        err.removeIf([](const QString &line) { return line.startsWith("titledeck."); });
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardOutput(), err.join('\n')};
    }
    QString file(const char *name) const { return m_env.path(QString::fromUtf8(name)); }

    TestEnvironment m_env;
    MagickImageLibrary m_library;
    QString m_picture; // 100 x 60
    QString m_frame;   // three device lines and some bytes more

private slots:
    void initTestCase()
    {
        m_picture = writeTarga(file("title.tga"), 100, 60, 0x4080C0);
        QByteArray frame;
        for (int i = 0; i < 3 * 720; ++i)
            frame += QByteArray("\xB4\xFF\x80\x80", 4); // light grey, opaque
        m_frame = file("frame.raw");
        writeFile(m_frame, frame + QByteArray(100, '\0'));
    }

    void listAddShowAndCheck()
    {
        const QString still = writeTarga(file("still.tga"), 640, 480);
        const QStringList seq = writeSequence(m_env.root(), "mv", 1, 4, 3, 640, 480);
        const QString list = file("l.vtl");
        Result r = run({"list", "add", list, still, seq.first(), "--kind", "movie-once", "--frames",
                        "3", "--icon", "2"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(readFile(list).size(), 2 * 564);
        r = run({"list", "show", list, "--json"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QJsonDocument::fromJson(r.out).object().value("count").toInt(), 2);
        const QJsonObject movie = title(r.out, 1);
        QCOMPARE(movie.value("firstFile").toString(), seq.first());
        QCOMPARE(movie.value("iconFrame").toInt(), 2);
        QCOMPARE(movie.value("attributes").toObject().value("frameCount").toInt(), 3);
        // Adding to an existing list appends.
        QCOMPARE(run({"list", "add", list, still}).exitCode, 0);
        QCOMPARE(readFile(list).size(), 3 * 564);
        r = run({"list", "check", list});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("3 of 3"));
        r = run({"list", "show", list});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("title 3") && r.out.contains("kind: MOVIE ONCE"));
        // A kind the picture cannot be is refused, naming those it can.
        const QStringList wide = writeSequence(m_env.root(), "cr", 1, 2, 1, 720, 100);
        const QString kinds = file("k.vtl");
        r = run({"list", "add", kinds, wide.first(), "--kind", "roll-up"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("roll-up is not possible") && r.err.contains("crawl-left"),
                 qPrintable(r.err));
        QVERIFY(!QFile::exists(kinds));
        // 720 is the full width under NTSC only: PAL offers no crawl for it.
        QStringList crawl{"list", "add", kinds, wide.first(), "--kind", "crawl-right", "--signal"};
        QCOMPARE(run(crawl + QStringList{"pal"}).exitCode, 1);
        QCOMPARE(run(crawl + QStringList{"ntsc"}).exitCode, 0);
        const QJsonObject a =
            title(run({"list", "show", kinds, "--json"}).out, 0).value("attributes").toObject();
        QCOMPARE(a.value("typeFlags").toInt(), 7);
    }

    void listSetGoesThroughTheDialogsRules()
    {
        const QString full = writeTarga(file("full.tga"), 640, 480);
        const QString half = writeTarga(file("half.tga"), 640, 200);
        const QString list = file("set.vtl");
        QCOMPARE(run({"list", "add", list, full, half, full}).exitCode, 0);
        Result r = run({"list", "set", list, "1", "3", "--in-auto", "on", "--in-wait", "30:05",
                        "--in-effect", "pattern:3001", "--in-slide", "up:7", "--mark", "3"},
                       "en");
        QCOMPARE(r.exitCode, 0);
        // One line per correction and title: the option, as typed, as stored.
        for (const char *line :
             {"title 1: --in-wait 30:05 stored as 3000", "title 3: --in-slide speed 7 stored as 8",
              "title 3: --mark 3 stored as 0: title 1 holds it"})
            QVERIFY2(r.err.contains(line), qPrintable(r.err));
        r = run({"list", "show", list, "--json"});
        QJsonObject in = title(r.out, 2).value("attributes").toObject().value("in").toObject();
        QCOMPARE(QList({in.value("waitSecond").toInt(), in.value("effPattern").toInt(),
                        in.value("slideDirection").toInt(), in.value("slideSpeed").toInt()}),
                 QList({30, 3001, 1, 8}));
        // The out side follows the combined pattern.
        QCOMPARE(title(r.out, 2)
                     .value("attributes")
                     .toObject()
                     .value("out")
                     .toObject()
                     .value("effPattern"),
                 3001);
        QCOMPARE(
            QList({title(r.out, 0).value("mark").toInt(), title(r.out, 2).value("mark").toInt()}),
            QList({3, 0}));
        // --replace-mark answers the mark question Yes.
        QCOMPARE(run({"list", "set", list, "3", "--mark", "3", "--replace-mark"}).exitCode, 0);
        r = run({"list", "show", list, "--json"});
        QCOMPARE(
            QList({title(r.out, 0).value("mark").toInt(), title(r.out, 2).value("mark").toInt()}),
            QList({0, 3}));
        // An option the dialog would not offer changes nothing at all.
        const QByteArray before = readFile(list);
        r = run({"list", "set", list, "1", "2", "--name", "x", "--in-slide", "down"}, "en");
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("title 2: --in-slide: up and down slides need a full-height title"),
                 qPrintable(r.err));
        QCOMPARE(readFile(list), before);
        QCOMPARE(run({"list", "set", list, "4", "--name", "x"}).exitCode, 2);
    }

    void defaultsFollowTheDefaultDialogsRules()
    {
        Result r = run({"defaults", "set", "--position-y-ntsc", "481", "--position-x", "720",
                        "--still-duration", "000000", "--out-effect", "pattern:3001"},
                       "en");
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.err.contains("--position-y-ntsc 481 stored as 0") &&
                     r.err.contains("--still-duration 000000 stored as 001000") &&
                     !r.err.contains("position-x"),
                 qPrintable(r.err));
        QJsonObject d = QJsonDocument::fromJson(run({"defaults", "show", "--json"}).out).object();
        QCOMPARE(QList({d.value("positionX").toInt(), d.value("positionYNtsc").toInt()}),
                 QList({720, 0}));
        // A combined pattern typed on the out side is the in side's too.
        QCOMPARE(d.value("in").toObject().value("pattern").toInt(), 3001);
        QCOMPARE(d.value("in").toObject().value("effect").toString(), QString("pattern"));
        QCOMPARE(run({"defaults", "set", "--position-y-ntsc", "479"}).exitCode, 0);
        d = QJsonDocument::fromJson(run({"defaults", "show", "--json"}).out).object();
        QCOMPARE(d.value("positionYNtsc").toInt(), 480);
        QCOMPARE(run({"defaults", "reset"}).exitCode, 0);
        d = QJsonDocument::fromJson(run({"defaults", "show", "--json"}).out).object();
        QCOMPARE(QList({d.value("positionX").toInt(),
                        d.value("in").toObject().value("pattern").toInt()}),
                 QList({0, 1}));
        QCOMPARE(d.value("stillDuration").toString(), QString("001000"));
    }

    void listRefusalsSayWhy()
    {
        const QString good = writeTarga(file("good.tga"), 64, 48);
        // A header that reads, a picture that does not load: message 122, not added.
        writeFile(file("cut.tga"), readFile(good).left(readFile(good).size() / 2));
        writeFile(file("junk.tga"), "not a picture");
        const QString list = file("r.vtl");
        Result r = run(
            {"list", "add", list, good, file("cut.tga"), file("junk.tga"), file("none.tga")}, "en");
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out.count("added "), 1);
        QCOMPARE(readFile(list).size(), 564);
        QVERIFY2(r.err.contains("[ cut.tga ]"), qPrintable(r.err));
        // The window refuses an unreadable picture silently; the command line says why.
        QVERIFY(r.err.contains(file("junk.tga") + " not added: the picture cannot be read"));
        QVERIFY(r.err.contains("Error: The specified file does not exist."));
        QCOMPARE(r.err.count('\n'), 2);
        // Nothing added at all: nothing written, and said so.
        r = run({"list", "add", file("none.vtl"), file("junk.tga")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(file("none.vtl") + " not written"));
        QVERIFY(!QFile::exists(file("none.vtl")));
    }

    void listCheckAndShowReportTheProgramsMessages()
    {
        const QString good = writeTarga(file("good.tga"), 640, 480);
        const QByteArray list =
            rawRecord(good.toUtf8(), stillAttributes(), "g", "", 0, 1) +
            rawRecord(file("gone.tga").toUtf8(), stillAttributes(), "", "", 0, 1);
        writeFile(file("c.vtl"), list);
        Result r = run({"list", "check", file("c.vtl")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(file("gone.tga")) && r.out.contains("1 of 2"));
        QCOMPARE(readFile(file("c.vtl")), list); // checking never rewrites the list
        writeFile(file("bad.vtl"), QByteArray(565, 'x'));
        r = run({"list", "check", file("bad.vtl")});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(QStringLiteral("壊れている")));
        QCOMPARE(run({"list", "show", file("bad.vtl")}).exitCode, 1);
        r = run({"list", "show", file("missing.vtl")}, "en");
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Error: The specified file does not exist."), qPrintable(r.err));

        // Every field of a record made by hand.
        QByteArray attrs = stillAttributes(3, 0x85); // movie repeat, protected
        attrs[16] = char(0x03 | (2 << 2));
        writeFile(file("s.vtl"), rawRecord("/x/y.tga", attrs, QByteArray(128, 'N'), "c", 200, 77));
        r = run({"list", "show", file("s.vtl"), "--json"});
        QCOMPARE(r.exitCode, 0);
        const QJsonObject t = title(r.out, 0);
        QCOMPARE(t.value("name").toString(), QString(128, 'N'));
        QCOMPARE((QList{t.value("mark").toInt(), t.value("storedMark").toInt(),
                        t.value("iconFrame").toInt()}),
                 (QList{0, 200, 77}));
        const QJsonObject a = t.value("attributes").toObject();
        QCOMPARE(a.value("kind").toString(), QStringLiteral("MOVIE REPEAT"));
        QCOMPARE(a.value("protect").toBool(), true);
        QCOMPARE(a.value("deviceWord").toInteger(), 0x12345678);
        QCOMPARE(a.value("in").toObject().value("slideDirection").toInt(), 2);
        QCOMPARE(a.value("bytes").toString(), QString::fromLatin1(attrs.toHex()));
    }

    void deviceClearAsksAndKeepsTheList()
    {
        // A mixer holding a plain and a protected title; a list of both and one more.
        const QString state = file("clear.mixer"), list = file("clear.vtl");
        const QByteArray picture = writeTarga(file("clear.tga"), 640, 480).toUtf8();
        QByteArray records;
        {
            Waits waits;
            VirtualMixer mixer(waits);
            const auto stateFile = MixerStateFile::open(state, mixer, nullptr);
            QVERIFY(stateFile);
            for (int k = 0; k < 3; ++k) {
                QByteArray a = stillAttributes(1, k == 1 ? 0x80 : 0);
                const auto stored = DeviceCommands::parseAllocation(
                    *mixer.controlIn(0x03, k == 1 ? 0x8001 : 1, 1, 6));
                qToLittleEndian<quint16>(k < 2 ? stored.memoryNo : 0xFFFE, a.data());
                qToLittleEndian<quint32>(k < 2 ? stored.deviceWord : 0, a.data() + 36);
                mixer.controlOut(0x00, stored.memoryNo, 0,
                                 reinterpret_cast<const std::uint8_t *>(a.constData()), 40);
                records += rawRecord(picture, a, "t", "", 0, 1);
            }
        }
        writeFile(list, records);
        const QString mixer = "--virtual-mixer=" + state;
        const auto memoryNoOf = [&list](int title) {
            return qFromLittleEndian<quint16>(readFile(list).constData() + 564 * title + 260);
        };
        const std::uint16_t kept = memoryNoOf(1);

        // Without --yes and without a terminal the question is answered No.
        Result r = run({"device", "clear", "--list", list, mixer});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.err.contains(MessageTable::text(115, Language::Japanese).section('\n', 0, 0)));
        QVERIFY(memoryNoOf(0) != MemoryNo::NotStored);
        r = run({"device", "clear", "--list", list, "--yes", mixer});
        QCOMPARE(std::pair(r.exitCode, r.out.contains("cleared 1 of 2")), std::pair(0, true));
        QCOMPARE(memoryNoOf(0), MemoryNo::NotStored);
        QCOMPARE(memoryNoOf(1), kept);
        QCOMPARE(readFile(list), records.replace(0, 564, readFile(list).left(564)));

        // A bare number clears the protected title too; one not stored is refused.
        QCOMPARE(run({"device", "clear", QString::number(kept), "0x0100", "--yes", mixer}).exitCode,
                 1);
        QCOMPARE(run({"device", "clear", QString::number(kept), "--yes", mixer}).exitCode, 1);
        QCOMPARE(run({"device", "clear", "0xFFFC", mixer}).exitCode, 2);
    }

    void convertWritesTheUploadBufferAndThePicture()
    {
        Result r = run({"convert", "to-device", m_picture, "-o", file("title.dev")});
        QCOMPARE(r.exitCode, 0);
        // 112 pixels a line x 60 lines x 4 bytes = 26880, rounded up to 27136.
        QVERIFY(r.out.contains("27136 bytes"));
        ScriptedMessageBoxes boxes;
        QCOMPARE(readFile(file("title.dev")),
                 bytesOf(ConvertImageToDevice(m_library, boxes, m_picture, 100, 60, true, false,
                                              {0, 0})));
        // Options: PAL, clip, a size and the level settings (46 x 7 x 4 = 1288 -> 1536).
        r = run({"convert", "to-device", m_picture, "-o", file("clip.dev"), "--signal", "pal",
                 "--clip", "--width", "50", "--height", "7", "--yuv-max", "1", "--yuv-min", "1"});
        QCOMPARE(r.exitCode, 0);
        const QByteArray expected =
            bytesOf(ConvertImageToDevice(m_library, boxes, m_picture, 50, 7, false, true, {1, 1}));
        QCOMPARE(expected.size(), 1536);
        QCOMPARE(readFile(file("clip.dev")), expected);
        // From the device: the picture the program makes of the frame.
        const QString tga = file("back.tga");
        r = run(
            {"convert", "from-device", m_frame, "-o", tga, "--lines", "3", "--pal", "--keep-key"});
        QCOMPARE(r.exitCode, 0);
        const std::optional<Bitmap> back = m_library.load(tga);
        QVERIFY(back);
        const QByteArray frame = readFile(m_frame);
        const Bitmap picture =
            ConvertDeviceToPicture(reinterpret_cast<const std::uint8_t *>(frame.constData()),
                                   std::size_t(frame.size()), 3, true, true, true, {0, 0});
        QCOMPARE((QList{back->width(), back->height()}), (QList{768, 3}));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(back->row(1)), 768 * 4),
                 QByteArray(reinterpret_cast<const char *>(picture.row(1)), 768 * 4));
        QCOMPARE(m_library.fileInfo(tga)->bitsPerPixel, 32);
        // BMP holds no key: 24 bits even when asked to keep it.
        r = run({"convert", "from-device", m_frame, "-o", file("back.bmp"), "--lines", "2",
                 "--keep-key"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.contains("640 x 2, 24 bits"));
    }

    void convertBadInput()
    {
        const QString out = file("bad.out");
        writeFile(file("short.raw"), QByteArray(2880 * 2 - 1, '\x10'));
        // A picture that cannot be read, a size of 0, a buffer shorter than its lines:
        // an error naming the input on standard error, and no file.
        for (const QStringList &arguments :
             {QStringList{"to-device", file("gone.tga"), "-o", out},
              {"to-device", m_picture, "-o", out, "--width", "0", "--height", "10"},
              {"from-device", file("short.raw"), "-o", out + ".tga", "--lines", "2"}}) {
            const Result r = run(QStringList{"convert"} + arguments);
            QCOMPARE(r.exitCode, 1);
            QVERIFY(r.err.contains(QFileInfo(arguments.at(1)).fileName()));
            QVERIFY(!QFileInfo::exists(out) && !QFileInfo::exists(out + ".tga"));
        }
    }

    void fullDiskKeepsTheOldFiles()
    {
        // A list of seven titles (3948 bytes) is written back on opening within the
        // 4096-byte limit, one of eight (4512) is not; adding one more fails either way.
        const QString list = file("full.vtl");
        for (int titles : {7, 8}) {
            QStringList pictures;
            for (int i = 0; i < titles; ++i)
                pictures << writeTarga(m_env.path(QStringLiteral("p%1.tga").arg(i)), 64, 48);
            QFile::remove(list);
            QCOMPARE(run(QStringList{"list", "add", list} + pictures).exitCode, 0);
            const QByteArray before = readFile(list);
            QCOMPARE(before.size(), titles * 564);
            const Result r = run({"list", "add", list, pictures.first()}, "en", 4096);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains("Error: The file cannot be opened."), qPrintable(r.err));
            QVERIFY(!r.out.contains(QByteArray::number(titles + 1) + " titles"));
            QCOMPARE(readFile(list), before);
        }
        // Pictures and device buffers: the old files are small, the new ones larger.
        writeFile(file("full.tga"), "previous");
        writeFile(file("full.dev"), "previous");
        for (const QStringList &arguments :
             {QStringList{"from-device", m_frame, "-o", file("full.tga"), "--lines", "2"},
              {"to-device", m_picture, "-o", file("full.dev")}}) {
            const Result r = run(QStringList{"convert"} + arguments, "en", 1024);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains("cannot write") && r.err.contains("File too large"),
                     qPrintable(r.err));
            QCOMPARE(readFile(arguments.at(3)), QByteArray("previous"));
        }
        // No temporary file is left behind.
        QCOMPARE(QDir(m_env.root()).entryList({"full.*"}),
                 (QStringList{"full.dev", "full.tga", "full.vtl"}));
    }

    void deviceInfoKeepsTheVirtualMixersStateFile()
    {
        // A damaged state file is refused and left as it is.
        const QString state = file("mixer.state");
        const Result made = run({"device", "info", "--virtual-mixer=" + state});
        QVERIFY2(made.exitCode == 0 && made.out.contains("Setup data mode: off"),
                 qPrintable(made.err));
        const QByteArray cut = readFile(state).left(1000);
        writeFile(state, cut);
        const Result r = run({"device", "info", "--virtual-mixer=" + state});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("state file") && r.err.contains("cannot be used"),
                 qPrintable(r.err));
        QCOMPARE(readFile(state), cut);
    }

    // The virtual mixer's control surface: what it sets is kept in the state
    // file and met by the next program that opens it.
    void mixerCommandsActOnTheStateFile()
    {
        const QString state = file("control.state");
        const QString option = "--virtual-mixer=" + state;
        const auto status = [&] {
            const Result r = run({"mixer", "status", "--json", option});
            [&] { QVERIFY2(r.exitCode == 0, qPrintable(r.err)); }();
            return QJsonDocument::fromJson(r.out).object();
        };
        QJsonObject j = status(); // a new mixer
        QCOMPARE(j.keys(), (QStringList{"aspect", "faults", "items", "keyCodes",
                                        "lastSerialCommand", "linkRateMBps", "setupDataMode",
                                        "setupDataSum", "signal", "titleRows"}));
        QCOMPARE(j["linkRateMBps"].toDouble(), 35.0);
        QVERIFY(j["signal"] == "NTSC" && j["aspect"] == "4:3" && !j["setupDataMode"].toBool());
        QVERIFY(j["items"].toArray().isEmpty() && j["faults"].toObject().isEmpty());
        for (const QStringList &command : {QStringList{"setup-mode", "on"},
                                           {"link-rate", "2.5"},
                                           {"fault", "busy", "AllocTitleMemory", "3"},
                                           {"fault", "unplug", "4096"},
                                           {"fault", "stall-requests"}}) {
            const Result r = run(QStringList{"mixer"} + command + QStringList{option});
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        }
        j = status();
        QVERIFY(j["setupDataMode"].toBool());
        QCOMPARE(j["linkRateMBps"].toDouble(), 2.5);
        QCOMPARE(j["faults"].toObject(),
                 (QJsonObject{{"busy", QJsonObject{{"value", 3}, {"request", "AllocTitleMemory"}}},
                              {"unplug", QJsonObject{{"value", 4096}}},
                              {"stall-requests", QJsonObject{{"value", 1}}}}));
        const QByteArray text = run({"mixer", "status", option}).out;
        QVERIFY2(text.contains("Link rate: 2.5 MB/s") &&
                     text.contains("busy 3 (AllocTitleMemory only)"),
                 text.constData());
        // The next program meets the stalled request (the setup-data mode
        // query) and uses it up; the one after it finds the mode on.
        QVERIFY(run({"device", "info", option}).out.contains("Error : VenderIn(19)"));
        QVERIFY(!status()["faults"].toObject().contains("stall-requests"));
        QVERIFY(run({"device", "info", option}).out.contains("Setup data mode: on"));
        QCOMPARE(run({"mixer", "fault", "clear", option}).exitCode, 0);
        QVERIFY(status()["faults"].toObject().isEmpty());

        QLockFile held(state + ".lock");
        QVERIFY(held.tryLock(0));
        const Result busy = run({"mixer", "status", option});
        QCOMPARE(busy.exitCode, 1);
        QVERIFY2(busy.err.contains("in use by another program"), qPrintable(busy.err));
    }

    // The service commands on the virtual mixer: the transfer test passes and
    // fails with a cut read; the last controller command outlives the program.
    void deviceServiceCommands()
    {
        const QString option = "--virtual-mixer=" + file("service.state");
        Result r = run({"device", "test", option});
        QVERIFY2(r.exitCode == 0 && r.out.contains("EP2  OK\nEP3  OK"), qPrintable(r.err));
        QCOMPARE(run({"mixer", "fault", "bulk-short", "4096", option}).exitCode, 0);
        r = run({"device", "test", option});
        QVERIFY2(r.exitCode == 1 && r.out.contains("EP2  NG\nEP3  OK"), r.out.constData());
        r = run({"device", "serial", "AFD", "12", "34", option});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const Result status = run({"mixer", "status", "--json", option});
        QCOMPARE(QJsonDocument::fromJson(status.out)["lastSerialCommand"].toString().toLatin1(),
                 (QByteArray("AFD:1234") + QByteArray(26, '\0')).toHex());
        for (const QStringList &bad : {QStringList{"serial", "QAM", "1"},
                                       {"serial", "XYZ"},
                                       {"page", "65536"},
                                       {"reset", "now"}})
            QCOMPARE(run(QStringList{"device"} + bad + QStringList{option}).exitCode, 2);
        QCOMPARE(run({"device", "page", "7", option}).exitCode, 0);
        QCOMPARE(run({"device", "reset", option}).exitCode, 0);
    }

    // The Load command on a list file: only titles not in the mixer go (after
    // a check against the mixer's memory); a title that does not fit ends the
    // job with message 106 and the ones sent before it stay, in the file too.
    void deviceUploadAndLoadClip()
    {
        qputenv("TITLEDECK_TIME_SCALE", "0.01");
        const QString mixer = "--virtual-mixer=" + file("upload.state");
        const QString small = writeTarga(file("up.tga"), 64, 32);
        const QStringList big = writeSequence(m_env.root(), "big", 1, 16, 3, 640, 480);
        const QString list = file("up.vtl");
        QCOMPARE(
            run({"list", "add", list, small, big.first(), small, "--kind", "movie-once"}).exitCode,
            0);
        const auto memoryNumbers = [&] {
            const QByteArray json = run({"list", "show", list, "--json"}).out;
            QList<int> numbers;
            for (int i = 0; i < 3; ++i)
                numbers << title(json, i)["attributes"].toObject()["memoryNo"].toInt();
            return numbers;
        };
        Result r = run({"device", "upload", list, "1", mixer});
        QVERIFY2(r.exitCode == 0 && r.out == "title 1 stored as memory number 0x0000\n",
                 qPrintable(r.err));
        QCOMPARE(memoryNumbers(), (QList<int>{0, 0xFFFE, 0xFFFE}));
        r = run({"device", "upload", list, mixer});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.out.isEmpty() && r.err.contains("本体の空きメモリが不足"), qPrintable(r.err));
        QCOMPARE(memoryNumbers(), (QList<int>{0, 0xFFFE, 0xFFFE}));
        // Another mixer holds nothing under the title's number: it goes again.
        r = run({"device", "upload", list, "1", "--virtual-mixer=" + file("other.state")});
        QVERIFY2(r.exitCode == 0 && r.out.startsWith("title 1 stored"), qPrintable(r.err));
        r = run({"device", "upload", list, "4", mixer});
        QVERIFY(r.exitCode == 1 && r.err.contains("has no title 4"));
        const QStringList clip = writeSequence(m_env.root(), "clip", 1, 3, 3, 320, 240);
        r = run({"device", "load-clip", clip.first(), mixer});
        QVERIFY2(r.exitCode == 0 && r.out.contains("3 frames stored as memory number 0x4000"),
                 qPrintable(r.err));

        // The map shows the title and the clip where the mixer put them.
        const QJsonObject map =
            QJsonDocument::fromJson(run({"device", "map", "--json", mixer}).out).object();
        QCOMPARE(map.keys(), (QStringList{"aspect", "rows", "signal", "titleRows"}));
        QCOMPARE(std::tuple(map["signal"].toString(), map["aspect"].toString(),
                            map["rows"].toArray().size()),
                 std::tuple(QString("NTSC"), QString("4:3"), 30));
        const auto block = [&map](int row, int index) {
            return map["rows"].toArray().at(row).toArray().at(index).toObject();
        };
        QCOMPARE(block(0, 0), (QJsonObject{{"usage", "UsedTitle"}, {"memoryNo", 0}}));
        QCOMPARE(block(map["titleRows"].toInt(), 0),
                 (QJsonObject{{"usage", "UsedIntVideo"}, {"memoryNo", 0x4000}}));
        QCOMPARE(block(29, 7), (QJsonObject{{"usage", "Empty"}, {"memoryNo", 0xFFFF}}));
        r = run({"device", "map", mixer});
        QVERIFY2(r.out.contains("\n   1  T.......  0x0000\n") &&
                     r.out.contains("IntVideo\n   1  IIIIIIII  0x4000\n"),
                 r.out.constData());

        // The clip's movie properties written and read back; its preview.
        r = run({"device", "clip-props", "0x4000", "--repeat", "--reverse", "on", "--interval", "4",
                 mixer});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(run({"device", "clip-props", "0x4000", mixer}).out,
                 QByteArray("0x4000: movie, 3 frames, repeat, reverse, interval 4\n"));
        QCOMPARE(run({"device", "clip-props", "0x0000", "--once", mixer}).exitCode, 1);
        QCOMPARE(run({"device", "preview", "0x4000", mixer}).out,
                 QByteArray("previewing 0x4000\n"));
        QCOMPARE(run({"device", "preview", "0x4001", mixer}).exitCode, 1);
        QCOMPARE(run({"device", "preview", "stop", mixer}).exitCode, 0);
        qunsetenv("TITLEDECK_TIME_SCALE");
    }

    // Play loads a title first and follows it to its end; the panel's keys
    // set on the state file are what the mixer reports.
    void devicePlayAndKeys()
    {
        qputenv("TITLEDECK_TIME_SCALE", "0.01");
        const QString mixer = "--virtual-mixer=" + file("play.state");
        const QString list = file("play.vtl");
        QCOMPARE(run({"list", "add", list, writeTarga(file("play.tga"), 64, 32)}).exitCode, 0);
        QCOMPARE(
            run({"list", "set", list, "1", "--out-auto", "on", "--duration", "000200"}).exitCode,
            0);
        Result r = run({"device", "play", list, "1", "--follow", mixer});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QStringList events;
        for (const QByteArray &line : r.out.split('\n'))
            if (!line.isEmpty())
                events << QString::fromLatin1(line).section(" ms  ", 1).simplified();
        QCOMPARE(events, (QStringList{"in start 0x0000 OnRunning", "in end 0x0000 Showing",
                                      "out start 0x0000 OffRunning", "out end 0x0000 Ended"}));
        r = run({"device", "play", list, "2", mixer});
        QVERIFY(r.exitCode == 1 && r.err.contains("no title 2"));

        QCOMPARE(run({"mixer", "key", "2", "17", mixer}).exitCode, 0);
        QCOMPARE(run({"mixer", "key", "9", "0", mixer}).exitCode, 0);
        QCOMPARE(run({"device", "keys", mixer}).out,
                 QByteArray("KeyCode    -  17   -\nCP A       -   -   -\nCP B       -   -   0\n"));
        qunsetenv("TITLEDECK_TIME_SCALE");
    }

    // A mixer switched to PAL since the last run: its 26 rows, and the
    // format notice once, the setting seen being kept for the next run.
    void deviceMapFollowsTheMixersFormat()
    {
        const QString state = file("pal.state");
        {
            Waits waits;
            VirtualMixer m(waits);
            const auto stateFile = MixerStateFile::open(state, m, nullptr);
            QVERIFY(stateFile);
            m.setSettingBusyTime(0);
            m.controlIn(std::uint8_t(DeviceRequest::In::SetMemorySetting), 0x0101, 10, 2);
        }
        const QString notice = MessageTable::text(130, Language::Japanese);
        for (const bool first : {true, false}) {
            const Result r = run({"device", "map", "--json", "--virtual-mixer=" + state});
            const QJsonObject map = QJsonDocument::fromJson(r.out).object();
            QCOMPARE(std::tuple(map["signal"].toString(), map["aspect"].toString(),
                                map["titleRows"].toInt(), map["rows"].toArray().size()),
                     std::tuple(QString("PAL"), QString("16:9"), 10, 26));
            QCOMPARE(r.err.contains(notice), first);
        }
    }

    // A one-frame title put into a state file's mixer, saved back through the CLI.
    void deviceSaveWritesTheTitleAndAsksBeforeOverwriting()
    {
        const QString state = file("save.state");
        const QStringList option{"--virtual-mixer=" + state};
        QString memoryNo;
        {
            Waits waits;
            VirtualMixer m(waits);
            const auto stateFile = MixerStateFile::open(state, m, nullptr);
            QVERIFY(stateFile);
            const auto number =
                MixerTitles::store(m, false, 64, 60, 1, 1, 0x7E, [](int, int) { return 0x7E; });
            memoryNo = QString("0x%1").arg(number, 0, 16);
        }
        const QString out = file("saved.tga");
        Result r = run(QStringList{"device", "save", memoryNo, out} + option);
        QVERIFY2(r.exitCode == 0 && r.out.trimmed() == out.toUtf8(), qPrintable(r.err));
        const QByteArray saved = readFile(out);
        QCOMPARE(m_library.fileInfo(out)->width, 64);
        QCOMPARE(m_library.fileInfo(out)->bitsPerPixel, 32);
        QCOMPARE(m_library.load(out)->row(30)[32 * 4 + 3], 0x7E); // the key as alpha
        writeFile(out, "old");
        // Without --yes (and without a terminal) the overwrite question is answered No.
        r = run(QStringList{"device", "save", memoryNo, out} + option);
        QVERIFY2(r.exitCode == 1 && r.err.contains("[ saved.tga ]"), qPrintable(r.err));
        QCOMPARE(readFile(out), QByteArray("old"));
        QCOMPARE(run(QStringList{"device", "save", memoryNo, out, "--yes"} + option).exitCode, 0);
        QCOMPARE(readFile(out), saved);
        r = run(QStringList{"device", "save", "300", file("none.tga")} + option);
        QVERIFY2(r.exitCode == 1 && r.err.contains("nothing saved"), qPrintable(r.err));
    }

    // The setup data read into a file and written back; a damaged file is
    // refused; a new signal asked for, sent with --yes and met by the map.
    void deviceSetupAndSettings()
    {
        const QString state = file("setup.state");
        const QStringList option{"--virtual-mixer=" + state};
        const QString vts = file("backup.vts");
        QCOMPARE(run(QStringList{"mixer", "setup-mode", "on"} + option).exitCode, 0);
        Result r = run(QStringList{"device", "setup", "read", vts} + option);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QByteArray saved = readFile(vts);
        const QByteArray status = run(QStringList{"mixer", "status", "--json"} + option).out;
        QCOMPARE(saved.size(), 32772);
        QCOMPARE(qFromLittleEndian<quint32>(saved.constData() + 32768),
                 quint32(QJsonDocument::fromJson(status)["setupDataSum"].toInteger()));
        QByteArray damaged = saved;
        damaged[5] = char(damaged[5] + 1);
        writeFile(vts, damaged);
        r = run(QStringList{"device", "setup", "write", vts} + option);
        QVERIFY2(r.exitCode == 1 && r.err.contains(MessageTable::text(139, Language::Japanese)),
                 qPrintable(r.err));

        QCOMPARE(run(QStringList{"mixer", "setup-mode", "off"} + option).exitCode, 0);
        r = run(QStringList{"device", "settings", "--signal", "pal", "--yes"} + option);
        QVERIFY2(r.exitCode == 0 && r.out.contains("Title rows: 13"), qPrintable(r.err));
        const QByteArray map = run(QStringList{"device", "map", "--json"} + option).out;
        QCOMPARE(QJsonDocument::fromJson(map)["signal"].toString(), QString("PAL"));
        r = run(QStringList{"device", "recall", "150"} + option);
        QVERIFY2(r.exitCode == 0 && r.out.contains("Event 99"), qPrintable(r.err));
    }

    void usageErrors()
    {
        const QString l = file("u.vtl");
        for (const QStringList &arguments :
             {QStringList{"list"},
              {"list", "frobnicate"},
              {"list", "add", l},
              {"list", "add", l, "a.tga", "--kind", "sideways"},
              {"list", "add", l, "a.tga", "--frames", "0"},
              {"list", "check", l, "--signal", "secam"},
              {"list", "set", l},
              {"list", "set", l, "1", "--protect", "maybe"},
              {"defaults", "set", "--colour", "red"},
              {"defaults", "wipe"},
              {"convert", "from-device", m_frame, "-o", "x.tga"},
              {"convert", "from-device", m_frame, "-o", "x.png", "--lines", "1"},
              {"convert", "to-device", m_picture, "-o", "x", "--yuv-max", "2"},
              {"device", "info", "--bogus"},
              {"device", "upload"},
              {"device", "upload", l, "0"},
              {"device", "map", "--grid"},
              {"device", "load-clip", "a.tga", "b.tga"},
              {"device", "clip-props", "0x4000", "--interval", "256"},
              {"device", "clip-props", "0x4000", "--once", "--repeat"},
              {"device", "preview"},
              {"device", "save", "1"},
              {"device", "save", "zz", "a.tga"},
              {"device", "save", "0x10", "a.bmp"},
              {"device", "save", "0x4000", "a.png"},
              {"device", "save", "0xFFFF", "a.tga"},
              {"device", "setup", "copy", "a.vts"},
              {"mixer", "status"},
              {"mixer", "status", "--virtual-mixer"},
              {"mixer", "setup-mode", "maybe", "--virtual-mixer=m"},
              {"mixer", "fault", "sideways", "--virtual-mixer=m"},
              {"mixer", "fault", "busy", "-1", "--virtual-mixer=m"},
              {"mixer", "fault", "busy", "GetKeyCodes", "--virtual-mixer=m"},
              {"mixer", "link-rate", "fast", "--virtual-mixer=m"},
              {"device", "play", l},
              {"mixer", "key", "1", "255", "--virtual-mixer=m"}}) {
            // What is wrong first, then how it is used.
            const Result r = run(arguments);
            QCOMPARE(r.exitCode, 2);
            QVERIFY2(r.err.startsWith("titledeck-cli " + arguments.first() + ": ") &&
                         r.err.contains("usage:"),
                     qPrintable(r.err));
        }
        // The time scale is a positive number, for the virtual mixer only.
        for (const auto &[scale, option] :
             {std::pair{"0.01", ""}, {"fast", "--virtual-mixer"}, {"0", "--virtual-mixer"}}) {
            qputenv("TITLEDECK_TIME_SCALE", scale);
            QStringList arguments{"device", "info"};
            if (*option)
                arguments << option;
            const Result r = run(arguments);
            QVERIFY2(r.exitCode == 2 && r.err.contains("TITLEDECK_TIME_SCALE"), qPrintable(r.err));
        }
        qunsetenv("TITLEDECK_TIME_SCALE");
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
