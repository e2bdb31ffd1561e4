// List files (.vtl): the byte layout read and written from offsets alone,
// damaged files, the write-back after opening, and the safe replacement.

#include "list/Cp932.h"
#include "list/ListFile.h"
#include "listcore/ListFixtures.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace ListFixtures;

class TestListFile : public QObject
{
    Q_OBJECT

private slots:
    void readsRecordWrittenFromOffsets();
    void writesRecordReadableFromOffsets();
    void cp932TextRoundTrip();
    void sizesThatAreNotWholeRecordsKeepTheList();
    void emptyFileOpensEmptyAndIsNotWritten();
    void onlyNinetyNineRecordsAreRead();
    void damagedFieldsAreBounded();
    void frameCountsAndIconFrames_data();
    void frameCountsAndIconFrames();
    void sequenceLongerOnDiskIsCutToFrameCount();
    void missingFilesAndMessages();
    void randomBytesNeverCrash();
    void saveAsksBeforeReplacingAndLeavesNoTemporaryFile();
    void saveFailureKeepsOldFile();
    void saveEmptyListWritesNothing();
};

void TestListFile::readsRecordWrittenFromOffsets()
{
    ListHarness h;
    const QString pic = writeTarga(h.path("pics/title.tga"), 640, 480, 0x00FF00);
    QByteArray attrs = stillAttributes();
    attrs[16] = 0x03; // in: auto trigger, wipe
    const QByteArray name = Cp932::encode(QStringLiteral("テロップ一")).value();
    const QByteArray comment = Cp932::encode(QStringLiteral("コメント")).value();
    writeFile(h.path("a.vtl"), rawListRecord(pic.toUtf8(), attrs, name, comment, 3, 1));

    QVERIFY(h.editor.OpenList(h.path("a.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), QList<int>{});
    QCOMPARE(h.list.count(), 1);
    const TitleEntry &e = h.list.at(1);
    QCOMPARE(e.firstFile(), pic);
    QCOMPARE(e.Name, QStringLiteral("テロップ一"));
    QCOMPARE(e.Comment, QStringLiteral("コメント"));
    QCOMPARE(e.Mark, 3);
    QCOMPARE(e.IconFrame, 1);
    // Device fields are never taken from a file.
    QCOMPARE(e.Attributes.memoryNo(), std::uint16_t(0xFFFE));
    QCOMPARE(e.Attributes.deviceWord(), 0u);
    QCOMPARE(e.Attributes.effectFlags(Effect::In), std::uint8_t(0x03));
    QCOMPARE(e.Attributes.frameCount(), 1);
    // The thumbnail shows the green picture over the whole area.
    QCOMPARE(e.Thumbnail.row(40)[1], std::uint8_t(0xFF));
    QCOMPARE(h.editor.ListFileName(), h.path("a.vtl"));
    QVERIFY(!h.editor.Modified());
}

void TestListFile::writesRecordReadableFromOffsets()
{
    ListHarness h;
    QVERIFY(h.addStill(QStringLiteral("一枚目")));
    QVERIFY(h.addStill(QStringLiteral("second")));
    h.list.at(2).Comment = QStringLiteral("注釈");
    h.list.at(2).Mark = 7;
    QVERIFY(h.editor.SaveList(h.path("out.vtl"), false));
    const QByteArray bytes = readFile(h.path("out.vtl"));
    QCOMPARE(bytes.size(), 2 * 564);

    const QByteArray r1 = bytes.left(564);
    const QByteArray path1 = Cp932::encode(h.path(QStringLiteral("一枚目.tga"))).value();
    QCOMPARE(r1.left(path1.size()), path1);
    QVERIFY(r1.mid(path1.size(), 260 - path1.size()).count('\0') == 260 - path1.size());
    QCOMPARE(
        r1.mid(260, 40),
        QByteArray(reinterpret_cast<const char *>(h.list.at(1).Attributes.bytes().data()), 40));
    const QByteArray name1 = Cp932::encode(QStringLiteral("一枚目.tga")).value();
    QCOMPARE(r1.mid(300, name1.size()), name1);
    QCOMPARE(r1.at(300 + name1.size()), '\0');

    const QByteArray r2 = bytes.mid(564, 564);
    QCOMPARE(r2.mid(428, 4), Cp932::encode(QStringLiteral("注釈")).value());
    QCOMPARE(r2.mid(556, 4), QByteArray("\x07\0\0\0", 4));
    QCOMPARE(r2.mid(560, 4), QByteArray("\x01\0\0\0", 4));
    QVERIFY(!h.editor.Modified());
    QVERIFY(!h.editor.canUndo());
}

void TestListFile::cp932TextRoundTrip()
{
    // The wave dash and full-width tilde differ between Shift-JIS tables; CP932 keeps U+FF5E.
    const QString text = QStringLiteral("ＡＢＣ～ー①ｶﾅ表");
    const std::optional<QByteArray> bytes = Cp932::encode(text);
    QVERIFY(bytes);
    QCOMPARE(Cp932::decodeField(bytes->constData(), std::size_t(bytes->size())), text);
    QVERIFY(!Cp932::encode(QStringLiteral("emoji \U0001F600")));
    QVERIFY(!Cp932::fitsField(QString(260, 'a'), 260));
    QVERIFY(Cp932::fitsField(QString(259, 'a'), 260));
    // 130 two-byte characters need 260 bytes: too long for the path field.
    QVERIFY(!Cp932::fitsField(QString(130, QChar(0x8868)), 260));
    // Cutting never splits a double-byte character.
    const QByteArray cut = Cp932::encodeTruncated(QString(100, QChar(0x8868)), 127);
    QCOMPARE(cut.size(), 126);
    // A lone lead byte at the end of a field is not read beyond it.
    const char field[3] = {'a', char(0x82), 'b'};
    QCOMPARE(Cp932::decodeField(field, 2), QStringLiteral("a\uFFFD"));
}

void TestListFile::sizesThatAreNotWholeRecordsKeepTheList()
{
    ListHarness h;
    QVERIFY(h.addStill("kept"));
    for (int size : {1, 563, 565, 564 * 2 + 7}) {
        writeFile(h.path("bad.vtl"), QByteArray(size, '\x41'));
        h.boxes.clear();
        QVERIFY(!h.editor.OpenList(h.path("bad.vtl"), true));
        QCOMPARE(h.boxes.shownIds(), QList<int>{89});
        QCOMPARE(h.list.count(), 1);
        QCOMPARE(h.list.at(1).Name, QStringLiteral("kept.tga"));
        QCOMPARE(readFile(h.path("bad.vtl")).size(), size);
    }
    h.boxes.clear();
    QVERIFY(!h.editor.OpenList(h.path("missing.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), QList<int>{87});
    h.boxes.clear();
    QVERIFY(!h.editor.OpenList(h.path("missing.vtl"), false));
    QCOMPARE(h.boxes.shownIds(), QList<int>{});
    QDir().mkpath(h.path("folder.vtl"));
    QVERIFY(!h.editor.OpenList(h.path("folder.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), QList<int>{91});
    QCOMPARE(h.list.count(), 1);
}

void TestListFile::emptyFileOpensEmptyAndIsNotWritten()
{
    ListHarness h;
    QVERIFY(h.addStill("old"));
    writeFile(h.path("empty.vtl"), QByteArray());
    QVERIFY(h.editor.OpenList(h.path("empty.vtl"), true));
    QCOMPARE(h.list.count(), 0);
    QVERIFY(QFile::exists(h.path("empty.vtl")));
    QCOMPARE(QFileInfo(h.path("empty.vtl")).size(), 0);
    // The title that left the list went to the history.
    QVERIFY(h.history.FindHistory(h.path("old.tga")));
}

void TestListFile::onlyNinetyNineRecordsAreRead()
{
    ListHarness h;
    const QString pic = writeTarga(h.path("p.tga"), 640, 480);
    QByteArray file;
    for (int i = 0; i < 120; ++i)
        file += rawListRecord(pic.toUtf8(), stillAttributes(), QByteArray::number(i), "", 0, 1);
    writeFile(h.path("big.vtl"), file);
    QVERIFY(h.editor.OpenList(h.path("big.vtl"), true));
    QCOMPARE(h.list.count(), 99);
    QCOMPARE(h.list.at(99).Name, QStringLiteral("98"));
    // Written back: the file now holds the 99 titles.
    QCOMPARE(readFile(h.path("big.vtl")).size(), 99 * 564);
}

void TestListFile::damagedFieldsAreBounded()
{
    ListHarness h;
    const QString pic = writeTarga(h.path("p.tga"), 640, 480);
    QByteArray rec = rawListRecord(pic.toUtf8(), stillAttributes(), QByteArray(128, 'N'),
                                   QByteArray(128, 'C'), 200, 1);
    // A second record whose path fills all 260 bytes without a terminator.
    QByteArray noTerminator =
        rawListRecord(QByteArray(260, 'x'), stillAttributes(), "n", "c", -5, 1);
    writeFile(h.path("d.vtl"), rec + noTerminator);
    QVERIFY(h.editor.OpenList(h.path("d.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), QList<int>{86});
    QCOMPARE(h.list.count(), 1);
    QCOMPARE(h.list.at(1).Name, QString(128, 'N'));
    QCOMPARE(h.list.at(1).Comment, QString(128, 'C'));
    // A mark of 200 must never address a Mark command.
    QCOMPARE(h.list.at(1).Mark, 0);
    QVERIFY(!h.list.FindByMark(0).has_value() || h.list.at(1).Mark == 0);
    // The write-back keeps the full 128-byte name and drops the broken record.
    const QByteArray back = readFile(h.path("d.vtl"));
    QCOMPARE(back.size(), 564);
    QCOMPARE(back.mid(300, 128), QByteArray(128, 'N'));
    QCOMPARE(back.mid(556, 4), QByteArray(4, '\0'));
}

void TestListFile::frameCountsAndIconFrames_data()
{
    QTest::addColumn<int>("frameCount");
    QTest::addColumn<int>("iconFrame");
    QTest::addColumn<int>("message");
    QTest::newRow("frames 0") << 0 << 1 << 88;
    QTest::newRow("frames 65535") << 65535 << 1 << 86;
    QTest::newRow("icon 0") << 3 << 0 << 88;
    QTest::newRow("icon 4 of 3") << 3 << 4 << 88;
    QTest::newRow("icon negative") << 3 << -1 << 88;
    QTest::newRow("frames 3 icon 3") << 3 << 3 << 0;
}

void TestListFile::frameCountsAndIconFrames()
{
    QFETCH(int, frameCount);
    QFETCH(int, iconFrame);
    QFETCH(int, message);
    ListHarness h;
    const QStringList seq = writeSequence(h.env.root(), "m", 1, 3, 3, 640, 480);
    writeFile(h.path("f.vtl"), rawListRecord(seq.first().toUtf8(), stillAttributes(frameCount, 1),
                                             "m", "", 0, iconFrame));
    QVERIFY(h.editor.OpenList(h.path("f.vtl"), true));
    if (message == 0) {
        QCOMPARE(h.boxes.shownIds(), QList<int>{});
        QCOMPARE(h.list.count(), 1);
        QCOMPARE(h.list.at(1).FileList, seq);
    } else {
        QCOMPARE(h.boxes.shownIds(), QList<int>{message});
        QCOMPARE(h.list.count(), 0);
        // No title was loaded: the damaged file stays as it was.
        QCOMPARE(readFile(h.path("f.vtl")).size(), 564);
    }
}

void TestListFile::sequenceLongerOnDiskIsCutToFrameCount()
{
    ListHarness h;
    const QStringList seq = writeSequence(h.env.root(), "s", 7, 6, 3, 640, 480);
    writeFile(h.path("s.vtl"),
              rawListRecord(seq.first().toUtf8(), stillAttributes(4, 1), "s", "", 0, 2));
    QVERIFY(h.editor.OpenList(h.path("s.vtl"), true));
    QCOMPARE(h.list.at(1).FileList, seq.mid(0, 4));
}

void TestListFile::missingFilesAndMessages()
{
    ListHarness h;
    const QStringList seq = writeSequence(h.env.root(), "g", 1, 2, 2, 640, 480);
    const QString good = writeTarga(h.path("good.tga"), 640, 480);
    QByteArray file = rawListRecord(h.path("gone.tga").toUtf8(), stillAttributes(), "", "", 0, 1);
    file +=
        rawListRecord(seq.first().toUtf8(), stillAttributes(3, 1), "", "", 0, 1); // frame 3 missing
    QByteArray pal = stillAttributes();
    pal[4] = 4; // a height class that does not match 480 lines
    file += rawListRecord(good.toUtf8(), pal, "", "", 0, 1);
    file += rawListRecord(good.toUtf8(), stillAttributes(), "ok", "", 0, 1);
    writeFile(h.path("m.vtl"), file);
    QVERIFY(h.editor.OpenList(h.path("m.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), (QList<int>{86, 86, 88}));
    QVERIFY(h.boxes.shown().at(0).text.contains(h.path("gone.tga")));
    QCOMPARE(h.list.count(), 1);
    QCOMPARE(h.list.at(1).Name, QStringLiteral("ok"));
    QCOMPARE(readFile(h.path("m.vtl")).size(), 564);

    // The icon frame's pixels cannot be read: 122 with its name, the title is kept.
    writeTarga(h.path("icon1.tga"), 640, 480);
    writeFile(h.path("i.vtl"),
              rawListRecord(h.path("icon1.tga").toUtf8(), stillAttributes(), "", "", 0, 1));
    h.images.failLoads.insert(h.path("icon1.tga"));
    h.boxes.clear();
    QVERIFY(h.editor.OpenList(h.path("i.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), QList<int>{122});
    QVERIFY(h.boxes.shown().first().text.contains("[ icon1.tga ]"));
    QCOMPARE(h.list.count(), 1);
}

void TestListFile::randomBytesNeverCrash()
{
    ListHarness h;
    const QStringList seq = writeSequence(h.env.root(), "z", 1, 3, 1, 640, 480);
    QRandomGenerator rng(564);
    for (int round = 0; round < 60; ++round) {
        QByteArray bytes(564 * (1 + round % 3), '\0');
        for (char &c : bytes)
            c = char(rng.bounded(256));
        // Every other round the records name a real picture, so that the
        // random attributes reach the title check and the thumbnail.
        if (round % 2 == 1) {
            for (qsizetype at = 0; at < bytes.size(); at += 564) {
                QByteArray path = seq.first().toUtf8();
                path.append('\0');
                bytes.replace(at, path.size(), path);
                if (round % 4 == 1) {
                    bytes[at + 264] = 8; // the height class of the pictures
                    bytes[at + 266] = char(1 + rng.bounded(4));
                    bytes[at + 267] = 0;
                }
            }
        }
        writeFile(h.path("r.vtl"), bytes);
        h.editor.OpenList(h.path("r.vtl"), true);
        for (int id : h.boxes.shownIds())
            QVERIFY(id == 86 || id == 88 || id == 122);
        for (int i = 1; i <= h.list.count(); ++i) {
            const TitleEntry &e = h.list.at(i);
            QVERIFY(e.Mark >= 0 && e.Mark <= 9);
            QVERIFY(e.IconFrame >= 1 && e.IconFrame <= e.FileList.size());
            QCOMPARE(e.Thumbnail.width(), 112);
        }
        h.boxes.clear();
    }
}

void TestListFile::saveAsksBeforeReplacingAndLeavesNoTemporaryFile()
{
    ListHarness h;
    QVERIFY(h.addStill("a"));
    writeFile(h.path("lists/x.vtl"), "previous");
    h.boxes.answer(IdNo);
    QVERIFY(!h.editor.SaveList(h.path("lists/x.vtl"), false));
    QCOMPARE(h.boxes.shownIds(), QList<int>{124});
    QCOMPARE(h.boxes.shown().first().captionId, 7);
    QVERIFY(h.boxes.shown().first().text.contains("x.vtl"));
    QCOMPARE(readFile(h.path("lists/x.vtl")), QByteArray("previous"));
    QVERIFY(h.editor.Modified());

    h.boxes.answer(IdYes);
    QVERIFY(h.editor.SaveList(h.path("lists/x.vtl"), false));
    QCOMPARE(readFile(h.path("lists/x.vtl")).size(), 564);
    QCOMPARE(QDir(h.path("lists")).entryList(QDir::Files), QStringList{"x.vtl"});
    h.boxes.clear();
    QVERIFY(h.editor.SaveList(h.path("lists/x.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), QList<int>{});
}

void TestListFile::saveFailureKeepsOldFile()
{
    ListHarness h;
    QVERIFY(h.addStill("a"));
    // The target is a folder: nothing can be written there, and nothing is lost.
    QDir().mkpath(h.path("taken.vtl"));
    QVERIFY(!h.editor.SaveList(h.path("taken.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), QList<int>{91});
    QVERIFY(QFileInfo(h.path("taken.vtl")).isDir());
    h.boxes.clear();
    QVERIFY(!h.editor.SaveList(h.path("no/such/folder/x.vtl"), true));
    QCOMPARE(h.boxes.shownIds(), QList<int>{91});
    QVERIFY(h.editor.ListFileName().isEmpty());
}

void TestListFile::saveEmptyListWritesNothing()
{
    ListHarness h;
    QVERIFY(!h.editor.SaveList(h.path("e.vtl"), false));
    QVERIFY(!QFile::exists(h.path("e.vtl")));
    QCOMPARE(h.boxes.shownIds(), QList<int>{});
}

QTEST_GUILESS_MAIN(TestListFile)
#include "test_listfile.moc"
