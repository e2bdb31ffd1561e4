// The unsaved list survives a crash: the kept copy follows the list's changes
// and goes with a save, a discarded list or a clean end; the next start offers
// it before the last list, restores it under its own name, and sets a damaged
// copy aside. Files given at start open instead of the last list.

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "list/ListEditor.h"
#include "list/RecoveryCopy.h"
#include "list/RecoveryKeeper.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "listui/ListUiFixtures.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace ListFixtures;
using namespace ListUiFixtures;

namespace {

QString copyFileOf(const WindowRig &rig)
{
    return RecoveryCopy::fileIn(rig.window->paths().ProgramFolder);
}

std::optional<RecoveryCopy> readCopy(const QString &file)
{
    return RecoveryCopy::decode(readFile(file));
}

// A kept copy of one title of picture, belonging to listFile.
QByteArray copyOf(const QString &picture, const QString &listFile)
{
    RecoveryCopy copy;
    copy.OriginalPath = listFile;
    copy.ChangedAt = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);
    ListRecord record;
    record.FirstFile = picture;
    record.Attributes = TitleAttributes::fromBytes(
        reinterpret_cast<const std::uint8_t *>(stillAttributes().constData()));
    record.Name = QStringLiteral("kept");
    record.IconFrame = 1;
    copy.Records = {record, record};
    return copy.encode();
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageTable::setLanguage(Language::Japanese); }

    void damagedCopiesAreRefused()
    {
        const QByteArray good = copyOf(QStringLiteral("/p/a.tga"), QStringLiteral("/l/x.vtl"));
        const std::optional<RecoveryCopy> back = RecoveryCopy::decode(good);
        QVERIFY(back);
        QCOMPARE(back->OriginalPath, QStringLiteral("/l/x.vtl"));
        QCOMPARE(back->ChangedAt, QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC));
        QCOMPARE(back->Records.size(), std::size_t(2));
        QCOMPARE(back->Records[1].FirstFile, QStringLiteral("/p/a.tga"));

        // A count beyond the list's 99 titles, with a digest that matches.
        QByteArray tooMany = good.left(good.size() - 32);
        const qsizetype countAt = 8 + 4 + 8 + 4 + QByteArray("/l/x.vtl").size();
        tooMany[countAt] = char(100);
        tooMany += QCryptographicHash::hash(tooMany, QCryptographicHash::Sha256);
        QByteArray flipped = good;
        flipped[good.size() / 2] = char(flipped[good.size() / 2] ^ 1);
        for (const QByteArray &bad : {QByteArray(), good.left(good.size() - 1), flipped, tooMany,
                                      QByteArray(good).replace(0, 2, "XX"), good + 'x'}) {
            QString why;
            QVERIFY(!RecoveryCopy::decode(bad, &why));
            QVERIFY(!why.isEmpty());
        }
    }

    void theCopyFollowsTheList()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        QVERIFY(rig.show());
        RecoveryKeeper &keeper = w.recovery();
        keeper.setDelay(1, 5);
        QSignalSpy written(&keeper, &RecoveryKeeper::copyWritten);
        QSignalSpy removed(&keeper, &RecoveryKeeper::copyRemoved);
        const QString file = copyFileOf(rig);

        QCOMPARE(w.commands().dropFiles({rig.picture(QStringLiteral("one.tga"))}), 1);
        QVERIFY(written.wait(5000));
        QCOMPARE(written.last().at(0).toBool(), true);
        std::optional<RecoveryCopy> copy = readCopy(file);
        QVERIFY(copy && copy->Modified && copy->OriginalPath.isEmpty());
        QCOMPARE(copy->Records.size(), std::size_t(1));
        QVERIFY(qAbs(copy->ChangedAt.secsTo(QDateTime::currentDateTimeUtc())) < 60);

        // Saved: gone. Changed again: back, under the list's name.
        const QString listFile = rig.folder(QStringLiteral("lists")) + QStringLiteral("/a.vtl");
        QVERIFY(w.commands().editor().SaveList(listFile, false));
        QVERIFY(removed.wait(5000));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(w.commands().dropFiles({rig.picture(QStringLiteral("two.tga"))}), 1);
        QVERIFY(written.wait(5000));
        copy = readCopy(file);
        QVERIFY(copy && copy->OriginalPath == listFile && copy->Records.size() == 2);

        // A new list, its save question answered No: gone.
        rig.boxes.answer(IdNo);
        w.actions().mnuFile_MakeNewList->trigger();
        QVERIFY(removed.wait(5000));
        QVERIFY(!QFile::exists(file));

        // An end the operator did not choose keeps the copy up to date; a
        // close he answered removes it.
        QCOMPARE(w.commands().dropFiles({rig.picture(QStringLiteral("three.tga"))}), 1);
        keeper.finish(true);
        copy = readCopy(file);
        QVERIFY(copy && copy->Records.size() == 1);
        QCOMPARE(copy->Records[0].Name, QStringLiteral("three.tga"));
    }

    void aCleanEndLeavesNoCopy()
    {
        WindowRig rig;
        QVERIFY(rig.show());
        rig.window->recovery().setDelay(1, 5);
        QSignalSpy written(&rig.window->recovery(), &RecoveryKeeper::copyWritten);
        QCOMPARE(rig.window->commands().dropFiles({rig.picture(QStringLiteral("one.tga"))}), 1);
        QVERIFY(written.wait(5000));
        rig.boxes.answer(IdNo);
        QVERIFY(rig.window->close());
        QVERIFY(!QFile::exists(copyFileOf(rig)));
    }

    void theNextStartOffersTheCopyFirst()
    {
        // An earlier run kept an edited list1 (two titles); list2 was the last list.
        TestEnvironment files;
        const QString picture = writeTarga(files.path(QStringLiteral("k.tga")), 640, 480);
        const QString list1 = files.path(QStringLiteral("list1.vtl"));
        const QString list2 = files.path(QStringLiteral("list2.vtl"));
        const QByteArray oneTitle =
            rawRecord(picture.toUtf8(), stillAttributes(), "on disk", "", 0, 1);
        writeFile(list1, oneTitle);
        writeFile(list2, oneTitle + oneTitle + oneTitle);
        const QByteArray ini = "[Environment]\nConfirmClose=false\nBeginLastStatus=true\n"
                               "[MainForm]\nLastListFile=" +
                               list2.toUtf8() + "\n";

        struct Case
        {
            const char *name;
            QByteArray copy;
            int answer;
            QList<int> asked;
            int titles;
            QString listFile;
            bool modified;
        };
        const Case cases[] = {
            {"declined", copyOf(picture, list1), IdNo, {158}, 3, list2, false},
            {"damaged", copyOf(picture, list1).left(100), IdYes, {159}, 3, list2, false},
            {"restored", copyOf(picture, list1), IdYes, {158}, 2, list1, true},
        };
        for (const Case &c : cases) {
            WindowRig rig(ini);
            const QString file = copyFileOf(rig);
            QDir().mkpath(rig.window->paths().ProgramFolder);
            writeFile(file, c.copy);
            rig.boxes.answer(c.answer);
            QVERIFY2(rig.show(), c.name);
            ListEditor &editor = rig.window->commands().editor();
            QVERIFY2(rig.boxes.shownIds() == c.asked, c.name);
            QVERIFY2(rig.window->titleList().count() == c.titles, c.name);
            QVERIFY2(editor.ListFileName() == c.listFile, c.name);
            QVERIFY2(editor.Modified() == c.modified, c.name);
            // The list file itself is never rewritten by a restore.
            QVERIFY2(readFile(list1) == oneTitle, c.name);
            if (c.asked == QList<int>{159}) {
                // Set aside for inspection under a name that is not offered again.
                QVERIFY(!QFile::exists(file));
                QCOMPARE(readFile(file + QStringLiteral(".damaged")), c.copy);
                QVERIFY(rig.boxes.shown().first().text.contains(QStringLiteral(".damaged")));
            } else if (c.answer == IdNo) {
                QVERIFY(!QFile::exists(file));
            } else {
                QVERIFY(rig.boxes.shown().first().text.contains(list1));
                // Save writes it where it came from.
                QVERIFY(rig.window->commands().mnuFile_ListSaveClick());
                QCOMPARE(QFile(list1).size(), 2 * 564);
            }
        }
    }

    void filesGivenAtStartOpenInsteadOfTheLastList()
    {
        TestEnvironment files;
        const QString picture = writeTarga(files.path(QStringLiteral("k.tga")), 640, 480);
        const QString given = files.path(QStringLiteral("given.vtl"));
        const QString last = files.path(QStringLiteral("last.vtl"));
        const QByteArray record = rawRecord(picture.toUtf8(), stillAttributes(), "t", "", 0, 1);
        writeFile(given, record + record);
        writeFile(last, record);
        WindowRig rig("[Environment]\nConfirmClose=false\nBeginLastStatus=true\n"
                      "[MainForm]\nLastListFile=" +
                      last.toUtf8() + "\n");
        const QString setup = files.path(QStringLiteral("flash.vts"));
        rig.window->setStartFiles({setup, given});
        QVERIFY(rig.show());
        // The setup file is refused by name; the list opens.
        QCOMPARE(rig.boxes.shownIds(), QList<int>{160});
        QVERIFY(rig.boxes.shown().first().text.contains(setup));
        QCOMPARE(rig.window->commands().editor().ListFileName(), given);
        QCOMPARE(rig.window->titleList().count(), 2);

        // A later start hands over a picture and a list: the list opens first (its
        // save question for the modified list answered No), the picture joins it.
        QCOMPARE(rig.window->commands().dropFiles({rig.picture(QStringLiteral("x.tga"))}), 1);
        rig.boxes.clear();
        rig.boxes.answer(IdNo);
        rig.window->openFiles({rig.picture(QStringLiteral("y.tga")), last});
        QCOMPARE(rig.boxes.shownIds(), QList<int>{129});
        QCOMPARE(rig.window->commands().editor().ListFileName(), last);
        QCOMPARE(names(rig.window->titleList()), QStringLiteral("t,y.tga"));

        // While a dialog is open the request waits; it runs once the dialog closes.
        QCoreApplication::sendPostedEvents();
        QDialog dialog(rig.window.get());
        dialog.setModal(true);
        dialog.show();
        rig.boxes.answer(IdNo);
        rig.window->openFiles({given});
        QCOMPARE(rig.window->commands().editor().ListFileName(), last);
        dialog.hide();
        QTRY_COMPARE(rig.window->commands().editor().ListFileName(), given);
    }
};

QTEST_MAIN(TestRecovery)
#include "test_recovery.moc"
