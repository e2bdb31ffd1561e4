// One TitleDeck per user: a second start shows message 81 and leaves the first
// running, or hands the files it was given to the first. An unsaved list is
// still there after the program was killed.

#include "app/SingleInstance.h"
#include "core/AppPaths.h"
#include "core/Waits.h"
#include "list/RecoveryCopy.h"
#include "listcore/ListFixtures.h"
#include "resources/MessageTable.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT

    // Starts the program with the test's own folders.
    static void start(QProcess &process, const TestEnvironment &env, const QStringList &files = {})
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), env.configHome());
        e.insert(QStringLiteral("XDG_DATA_HOME"), env.dataHome());
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        e.insert(QStringLiteral("TITLEDECK_NONINTERACTIVE"), QStringLiteral("1"));
        e.insert(QStringLiteral("TITLEDECK_LANG"), QStringLiteral("ja"));
        process.setProcessEnvironment(e);
        process.start(QStringLiteral(TITLEDECK_BINARY),
                      QStringList{QStringLiteral("--virtual-mixer")} + files);
    }

    QString lockFile(const TestEnvironment &env) const
    {
        return QDir(env.dataHome()).filePath(QStringLiteral("TitleDeck/VT90_TitleSoft.lock"));
    }

    QString keptCopy(const TestEnvironment &env) const
    {
        return RecoveryCopy::fileIn(QDir(env.dataHome()).filePath(QStringLiteral("TitleDeck")));
    }

private slots:
    void laterStartsHandTheirFilesOver()
    {
        TestEnvironment env;
        const QString folder = env.path(QStringLiteral("prog"));
        SingleInstance first(folder);
        SingleInstance second(folder);
        Waits waits;
        // Nobody listens yet: the files are not taken.
        QVERIFY(first.acquire() && !second.acquire());
        QVERIFY(!second.forward({QStringLiteral("/a.vtl")}, waits, 200));
        QVERIFY(first.listen());
        QSignalSpy received(&first, &SingleInstance::filesReceived);
        const QStringList files{QStringLiteral("/lists/show 1.vtl"), QStringLiteral("/p/ä.tga")};
        QVERIFY(second.forward(files, waits));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().first().toStringList(), files);
        // Relative names mean nothing to the running instance.
        QVERIFY(second.forward({QStringLiteral("rel.vtl"), QStringLiteral("/b.vtl")}, waits));
        QCOMPARE(received.last().first().toStringList(), QStringList{QStringLiteral("/b.vtl")});
        // Another folder is another instance.
        SingleInstance elsewhere(env.path(QStringLiteral("other")));
        QVERIFY(elsewhere.serverName() != first.serverName());
        QVERIFY(!elsewhere.forward(files, waits, 200));
    }

    // Killed, or ended by SIGTERM (a session that ends, `kill`), which also
    // writes what a normal end writes; the process ends by the signal either way.
    void anUnsavedListOutlivesAKill_data()
    {
        QTest::addColumn<bool>("terminate");
        QTest::newRow("SIGKILL") << false;
        QTest::newRow("SIGTERM") << true;
    }
    void anUnsavedListOutlivesAKill()
    {
        QFETCH(bool, terminate);
        TestEnvironment env;
        const QString settings =
            QDir(env.configHome()).filePath(QStringLiteral("Korvel KL-VT90/TitleDeck.ini"));
        const QString a = ListFixtures::writeTarga(env.path(QStringLiteral("a.tga")), 64, 48);
        const QString b = ListFixtures::writeTarga(env.path(QStringLiteral("b.tga")), 64, 48);
        // A picture given at start joins the new list; one given to a later start too.
        QProcess first;
        start(first, env, {a});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(keptCopy(env)), 30000);
        QProcess second;
        start(second, env, {b});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(!QString::fromUtf8(second.readAllStandardError()).contains(QStringLiteral("[81]")));
        const auto twoTitles = [&] {
            const auto copy = RecoveryCopy::decode(ListFixtures::readFile(keptCopy(env)));
            return copy && copy->Records.size() == 2;
        };
        QTRY_VERIFY_WITH_TIMEOUT(twoTitles(), 30000);

        terminate ? first.terminate() : first.kill();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::CrashExit);
        QCOMPARE(QFile::exists(settings), terminate);
        QVERIFY(twoTitles());
        // The next start offers it (answered No here: it is then removed).
        QProcess third;
        start(third, env);
        QVERIFY(third.waitForStarted());
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(third.readAllStandardError()))
                                     .contains(QStringLiteral("[158]")),
                                 30000);
        QVERIFY2(err.contains(MessageTable::text(59, Language::Japanese)), qPrintable(err));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(keptCopy(env)), 10000);
        third.kill();
        third.waitForFinished(10000);
    }

    void secondStartShowsMessage81AndLeavesTheFirst()
    {
        TestEnvironment env;
        QProcess first;
        start(first, env);
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lockFile(env)), 20000);

        QProcess second;
        start(second, env);
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        const QString err = QString::fromUtf8(second.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("[81]")), qPrintable(err));
        QVERIFY(err.contains(MessageTable::text(81, Language::Japanese)));

        // The first instance is untouched.
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(QFile::exists(lockFile(env)));

        // A lock left by an instance that died is taken over by the next start.
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QVERIFY(QFile::exists(lockFile(env)));
        QProcess third;
        start(third, env);
        QVERIFY(third.waitForStarted());
        QVERIFY(!third.waitForFinished(3000));
        QCOMPARE(third.state(), QProcess::Running);
        QVERIFY(!QString::fromUtf8(third.readAllStandardError()).contains(QStringLiteral("[81]")));
        third.kill();
        third.waitForFinished(10000);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_singleinstance.moc"
