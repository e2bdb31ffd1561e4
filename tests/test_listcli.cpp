// titledeck-cli list show, check and add, run as a process.

#include "listcore/ListFixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

using namespace ListFixtures;

class TestListCli : public QObject
{
    Q_OBJECT

private slots:
    void addShowAndCheck();
    void addChoosesKindsAndRefusesWhatThePictureCannotBe();
    void everyRefusalSaysWhy();
    void fullDiskKeepsTheList();
    void checkReportsTheProgramsMessages();
    void showDecodesTheRecord();
    void usageErrors();

private:
    struct Result
    {
        int exitCode;
        QByteArray out;
        QString err;
    };
    // Runs the command; with fileLimit, files cannot grow beyond it (a full disk).
    Result run(const TestEnvironment &env, const QStringList &arguments,
               const QString &lang = QStringLiteral("ja"), qint64 fileLimit = 0);
    static QJsonObject title(const QByteArray &json, int index)
    {
        return QJsonDocument::fromJson(json)
            .object()
            .value("titles")
            .toArray()
            .at(index)
            .toObject();
    }
};

TestListCli::Result TestListCli::run(const TestEnvironment &env, const QStringList &arguments,
                                     const QString &lang, qint64 fileLimit)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("XDG_CONFIG_HOME", env.configHome());
    e.insert("XDG_DATA_HOME", env.dataHome());
    e.insert("TITLEDECK_LANG", lang);
    e.insert("QT_LOGGING_RULES", "*.info=false");
    p.setProcessEnvironment(e);
    if (fileLimit > 0)
        p.setChildProcessModifier([fileLimit] { limitFileSize(fileLimit); });
    p.start(QStringLiteral(TITLEDECK_CLI), QStringList{"list"} + arguments);
    if (!p.waitForFinished(60000))
        return {-1, {}, {}};
    // Only the program's messages count, not the libraries' log lines.
    QStringList err = QString::fromUtf8(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    err.removeIf([](const QString &line) { return line.startsWith("titledeck."); });
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            err.join('\n')};
}

void TestListCli::addShowAndCheck()
{
    TestEnvironment env;
    const QString still = writeTarga(env.path("still.tga"), 640, 480);
    const QStringList seq = writeSequence(env.root(), "mv", 1, 4, 3, 640, 480);
    const QString list = env.path("l.vtl");
    Result r = run(env, {"add", list, still, seq.first(), "--kind", "movie-once", "--frames", "3",
                         "--icon", "2"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QCOMPARE(readFile(list).size(), 2 * 564);

    r = run(env, {"show", list, "--json"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(r.out).object().value("count").toInt(), 2);
    const QJsonObject movie = title(r.out, 1);
    QCOMPARE(movie.value("firstFile").toString(), seq.first());
    QCOMPARE(movie.value("name").toString(), QStringLiteral("mv001.tga"));
    QCOMPARE(movie.value("iconFrame").toInt(), 2);
    const QJsonObject a = movie.value("attributes").toObject();
    QCOMPARE(a.value("kind").toString(), QStringLiteral("MOVIE ONCE"));
    QCOMPARE(a.value("frameCount").toInt(), 3);
    QCOMPARE(a.value("out").toObject().value("autoTrigger").toBool(), true);
    QCOMPARE(title(r.out, 0).value("attributes").toObject().value("kind").toString(),
             QStringLiteral("STILL"));

    // Adding to an existing list appends.
    r = run(env, {"add", list, still});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readFile(list).size(), 3 * 564);
    r = run(env, {"check", list});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("3 of 3"));
    r = run(env, {"show", list});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("title 3") && r.out.contains("kind: MOVIE ONCE"));
}

void TestListCli::addChoosesKindsAndRefusesWhatThePictureCannotBe()
{
    TestEnvironment env;
    const QStringList wide = writeSequence(env.root(), "cr", 1, 2, 1, 720, 100);
    const QString list = env.path("k.vtl");
    Result r = run(env, {"add", list, wide.first(), "--kind", "roll-up"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("roll-up is not possible") && r.err.contains("crawl-left"),
             qPrintable(r.err));
    QVERIFY(!QFile::exists(list));
    // 720 is the full width under NTSC only: PAL offers no crawl for it.
    QCOMPARE(
        run(env, {"add", list, wide.first(), "--kind", "crawl-right", "--signal", "pal"}).exitCode,
        1);
    r = run(env, {"add", list, wide.first(), "--kind", "crawl-right", "--signal", "ntsc"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject a =
        title(run(env, {"show", list, "--json"}).out, 0).value("attributes").toObject();
    QCOMPARE(a.value("typeFlags").toInt(), 7);
    QCOMPARE(a.value("positionX").toInt(), 0);
    QCOMPARE(a.value("width").toInt(), 640);
}

void TestListCli::everyRefusalSaysWhy()
{
    TestEnvironment env;
    const QString good = writeTarga(env.path("good.tga"), 64, 48);
    // Headers that read, pictures that do not load: message 122 each, not added.
    writeFile(env.path("cut.tga"), readFile(good).left(readFile(good).size() / 2));
    writeTarga(env.path("giant.tga"), 16384, 16384);
    writeFile(env.path("junk.tga"), "not a picture");
    const QString list = env.path("r.vtl");
    Result r = run(env,
                   {"add", list, good, env.path("cut.tga"), env.path("giant.tga"),
                    env.path("junk.tga"), env.path("none.tga")},
                   "en");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out.count("added "), 1);
    QCOMPARE(readFile(list).size(), 564);
    QVERIFY2(r.err.contains("[ cut.tga ]") && r.err.contains("[ giant.tga ]"), qPrintable(r.err));
    // The window refuses an unreadable picture silently; the command line says why.
    QVERIFY(r.err.contains(env.path("junk.tga") + " not added: the picture cannot be read"));
    QVERIFY(r.err.contains("Error: The specified file does not exist."));
    QCOMPARE(r.err.count('\n'), 3);
    // Nothing added at all: nothing written, and said so.
    r = run(env, {"add", env.path("none.vtl"), env.path("junk.tga")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains(env.path("none.vtl") + " not written"));
    QVERIFY(!QFile::exists(env.path("none.vtl")));
}

void TestListCli::fullDiskKeepsTheList()
{
    // Seven titles (3948 bytes) are written back on opening within the 4096-byte
    // limit, eight (4512) are not; adding one more fails either way.
    TestEnvironment env;
    const QString list = env.path("l.vtl");
    for (int titles : {7, 8}) {
        QStringList pictures;
        for (int i = 0; i < titles; ++i)
            pictures << writeTarga(env.path(QStringLiteral("p%1.tga").arg(i)), 64, 48);
        QFile::remove(list);
        QCOMPARE(run(env, QStringList{"add", list} + pictures).exitCode, 0);
        const QByteArray before = readFile(list);
        QCOMPARE(before.size(), titles * 564);
        const Result r = run(env, {"add", list, pictures.first()}, "en", 4096);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("Error: The file cannot be opened."), qPrintable(r.err));
        QVERIFY(!r.out.contains(QByteArray::number(titles + 1) + " titles"));
        QCOMPARE(readFile(list), before);
        QCOMPARE(QDir(env.root()).entryList({"l.vtl*"}), QStringList{"l.vtl"});
    }
}

void TestListCli::checkReportsTheProgramsMessages()
{
    TestEnvironment env;
    const QString good = writeTarga(env.path("good.tga"), 640, 480);
    const QByteArray file =
        rawRecord(good.toUtf8(), stillAttributes(), "g", "", 0, 1) +
        rawRecord(env.path("gone.tga").toUtf8(), stillAttributes(), "", "", 0, 1);
    writeFile(env.path("c.vtl"), file);
    Result r = run(env, {"check", env.path("c.vtl")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains(env.path("gone.tga")));
    QVERIFY(r.out.contains("1 of 2"));
    // Checking never rewrites the list.
    QCOMPARE(readFile(env.path("c.vtl")), file);

    writeFile(env.path("bad.vtl"), QByteArray(565, 'x'));
    r = run(env, {"check", env.path("bad.vtl")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains(QStringLiteral("壊れている")));
    QCOMPARE(run(env, {"show", env.path("bad.vtl")}).exitCode, 1);
    r = run(env, {"show", env.path("missing.vtl")}, "en");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("Error: The specified file does not exist."), qPrintable(r.err));
}

void TestListCli::showDecodesTheRecord()
{
    TestEnvironment env;
    QByteArray attrs = stillAttributes(3, 0x85); // movie repeat, protected
    attrs[16] = char(0x03 | (2 << 2));
    writeFile(env.path("s.vtl"), rawRecord("/x/y.tga", attrs, QByteArray(128, 'N'), "c", 200, 77));
    const Result r = run(env, {"show", env.path("s.vtl"), "--json"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject t = title(r.out, 0);
    QCOMPARE(t.value("name").toString(), QString(128, 'N'));
    QCOMPARE(t.value("mark").toInt(), 0);
    QCOMPARE(t.value("storedMark").toInt(), 200);
    QCOMPARE(t.value("iconFrame").toInt(), 77);
    const QJsonObject a = t.value("attributes").toObject();
    QCOMPARE(a.value("kind").toString(), QStringLiteral("MOVIE REPEAT"));
    QCOMPARE(a.value("protect").toBool(), true);
    QCOMPARE(a.value("deviceWord").toInteger(), 0x12345678);
    QCOMPARE(a.value("in").toObject().value("slideDirection").toInt(), 2);
    QCOMPARE(a.value("bytes").toString(), QString::fromLatin1(attrs.toHex()));
}

void TestListCli::usageErrors()
{
    TestEnvironment env;
    const QString l = env.path("l.vtl");
    for (const QStringList &arguments : {QStringList{},
                                         {"frobnicate"},
                                         {"add", l},
                                         {"add", l, "a.tga", "--kind", "sideways"},
                                         {"add", l, "a.tga", "--frames", "0"},
                                         {"check", l, "--signal", "secam"}}) {
        const Result r = run(env, arguments);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("usage:"));
    }
}

QTEST_GUILESS_MAIN(TestListCli)
#include "test_listcli.moc"
