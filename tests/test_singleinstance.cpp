// One TitleDeck per user: a second start shows message 81 and leaves the first running.

#include "resources/MessageTable.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QProcess>
#include <QTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT

    // Starts the program with the test's own folders.
    static void start(QProcess &process, const TestEnvironment &env)
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_CONFIG_HOME"), env.configHome());
        e.insert(QStringLiteral("XDG_DATA_HOME"), env.dataHome());
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        e.insert(QStringLiteral("TITLEDECK_NONINTERACTIVE"), QStringLiteral("1"));
        e.insert(QStringLiteral("TITLEDECK_LANG"), QStringLiteral("ja"));
        process.setProcessEnvironment(e);
        process.start(QStringLiteral(TITLEDECK_BINARY), {});
    }

    QString lockFile(const TestEnvironment &env) const
    {
        return QDir(env.dataHome()).filePath(QStringLiteral("TitleDeck/VT90_TitleSoft.lock"));
    }

private slots:
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
