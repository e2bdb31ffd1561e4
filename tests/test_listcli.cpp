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
    void checkReportsTheProgramsMessages();
    void showDecodesEveryField();
    void usageErrors();
    void englishMessages();

private:
    struct Result
    {
        int exitCode;
        QByteArray out;
        QString err;
    };
    Result run(const TestEnvironment &env, const QStringList &arguments,
               const QString &lang = QStringLiteral("ja"));
};

TestListCli::Result TestListCli::run(const TestEnvironment &env, const QStringList &arguments,
                                     const QString &lang)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("XDG_CONFIG_HOME", env.configHome());
    e.insert("XDG_DATA_HOME", env.dataHome());
    e.insert("TITLEDECK_LANG", lang);
    e.insert("QT_LOGGING_RULES", "*.info=false");
    p.setProcessEnvironment(e);
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
    const QJsonObject root = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(root.value("count").toInt(), 2);
    const QJsonArray titles = root.value("titles").toArray();
    const QJsonObject movie = titles.at(1).toObject();
    QCOMPARE(movie.value("firstFile").toString(), seq.first());
    QCOMPARE(movie.value("name").toString(), QStringLiteral("mv001.tga"));
    QCOMPARE(movie.value("iconFrame").toInt(), 2);
    const QJsonObject a = movie.value("attributes").toObject();
    QCOMPARE(a.value("kind").toString(), QStringLiteral("MOVIE ONCE"));
    QCOMPARE(a.value("frameCount").toInt(), 3);
    QCOMPARE(a.value("memoryNo").toInt(), 0xFFFE);
    QCOMPARE(a.value("out").toObject().value("autoTrigger").toBool(), true);
    QCOMPARE(titles.at(0).toObject().value("attributes").toObject().value("kind").toString(),
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
    QVERIFY(r.out.contains("title 3"));
    QVERIFY(r.out.contains("kind: MOVIE ONCE"));
}

void TestListCli::addChoosesKindsAndRefusesWhatThePictureCannotBe()
{
    TestEnvironment env;
    const QStringList wide = writeSequence(env.root(), "cr", 1, 2, 1, 720, 100);
    const QString list = env.path("k.vtl");
    Result r = run(env, {"add", list, wide.first(), "--kind", "roll-up"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("CRAWL LEFT"));
    QVERIFY(!QFile::exists(list));
    // 720 is the full width under NTSC only: PAL offers no crawl for it.
    r = run(env, {"add", list, wide.first(), "--kind", "crawl-right", "--signal", "pal"});
    QCOMPARE(r.exitCode, 1);
    r = run(env, {"add", list, wide.first(), "--kind", "crawl-right", "--signal", "ntsc"});
    QCOMPARE(r.exitCode, 0);
    r = run(env, {"show", list, "--json"});
    const QJsonObject a = QJsonDocument::fromJson(r.out)
                              .object()
                              .value("titles")
                              .toArray()
                              .at(0)
                              .toObject()
                              .value("attributes")
                              .toObject();
    QCOMPARE(a.value("typeFlags").toInt(), 7);
    QCOMPARE(a.value("positionX").toInt(), 0);
    QCOMPARE(a.value("width").toInt(), 640);
    // A missing picture: the program's message 87 on standard error, failure.
    r = run(env, {"add", list, env.path("none.tga")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains(QStringLiteral("エラー: 指定されたファイルは存在しません。")));
    QCOMPARE(readFile(list).size(), 564);
}

void TestListCli::checkReportsTheProgramsMessages()
{
    TestEnvironment env;
    const QString good = writeTarga(env.path("good.tga"), 640, 480);
    QByteArray file = rawListRecord(good.toUtf8(), stillAttributes(), "g", "", 0, 1);
    file += rawListRecord(env.path("gone.tga").toUtf8(), stillAttributes(), "x", "", 0, 1);
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
    r = run(env, {"show", env.path("bad.vtl")});
    QCOMPARE(r.exitCode, 1);
    r = run(env, {"check", env.path("missing.vtl")});
    QCOMPARE(r.exitCode, 1);
}

void TestListCli::showDecodesEveryField()
{
    TestEnvironment env;
    QByteArray attrs = stillAttributes(3, 0x85); // movie repeat, protected
    attrs[5] = 4;                                // movie interval
    attrs[16] = char(0x03 | (2 << 2));
    writeFile(env.path("s.vtl"),
              rawListRecord("/x/y.tga", attrs, QByteArray(128, 'N'), "c", 200, 77));
    Result r = run(env, {"show", env.path("s.vtl"), "--json"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject t =
        QJsonDocument::fromJson(r.out).object().value("titles").toArray().at(0).toObject();
    QCOMPARE(t.value("name").toString(), QString(128, 'N'));
    QCOMPARE(t.value("mark").toInt(), 0);
    QCOMPARE(t.value("storedMark").toInt(), 200);
    QCOMPARE(t.value("iconFrame").toInt(), 77);
    const QJsonObject a = t.value("attributes").toObject();
    QCOMPARE(a.value("kind").toString(), QStringLiteral("MOVIE REPEAT"));
    QCOMPARE(a.value("protect").toBool(), true);
    QCOMPARE(a.value("movieInterval").toInt(), 4);
    QCOMPARE(a.value("memoryNo").toInt(), 5);
    QCOMPARE(a.value("deviceWord").toInteger(), 0x12345678);
    const QJsonObject in = a.value("in").toObject();
    QCOMPARE(in.value("autoTrigger").toBool(), true);
    QCOMPARE(in.value("wipePattern").toBool(), true);
    QCOMPARE(in.value("slideDirection").toInt(), 2);
    QCOMPARE(in.value("effTimeSecond").toInt(), 2);
    QCOMPARE(a.value("bytes").toString().size(), 80);
}

void TestListCli::usageErrors()
{
    TestEnvironment env;
    QCOMPARE(run(env, {}).exitCode, 2);
    QCOMPARE(run(env, {"frobnicate"}).exitCode, 2);
    QCOMPARE(run(env, {"add", env.path("l.vtl")}).exitCode, 2);
    QCOMPARE(run(env, {"add", env.path("l.vtl"), "a.tga", "--kind", "sideways"}).exitCode, 2);
    QCOMPARE(run(env, {"add", env.path("l.vtl"), "a.tga", "--frames", "0"}).exitCode, 2);
    QCOMPARE(run(env, {"check", env.path("l.vtl"), "--signal", "secam"}).exitCode, 2);
}

void TestListCli::englishMessages()
{
    TestEnvironment env;
    const Result r = run(env, {"show", env.path("none.vtl")}, "en");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("Error: The specified file does not exist."), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestListCli)
#include "test_listcli.moc"
