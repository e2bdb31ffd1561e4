// List files (.vtl) and the property history (.vth): the byte layouts read and
// written from offsets alone, damaged files, the write-back after opening, the
// history's use on import, and the safe replacement of lists, the history and
// pictures on a full disk.

#include "core/SettingsStore.h"
#include "list/Cp932.h"
#include "list/ListFile.h"
#include "listcore/ListFixtures.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace ListFixtures;

namespace {

TitleEntry titleFor(const QString &file, const QString &name)
{
    TitleEntry e = titleOf(file);
    e.Name = name;
    e.Attributes = TitleAttributes::fromBytes(
        reinterpret_cast<const std::uint8_t *>(stillAttributes().constData()));
    return e;
}

} // namespace

class TestListFile : public QObject
{
    Q_OBJECT

private slots:
    void recordsReadAndWrittenAtTheirOffsets()
    {
        ListHarness h;
        const QString pic = writeTarga(h.path(QStringLiteral("題/title.tga")), 640, 480, 0x00FF00);
        QByteArray attrs = stillAttributes();
        attrs[16] = 0x03; // in: auto trigger, wipe
        const QByteArray name = Cp932::encode(QStringLiteral("テロップ一")).value();
        const QByteArray comment = Cp932::encode(QStringLiteral("コメント")).value();
        const QByteArray path = Cp932::encode(pic).value();
        writeFile(h.path("a.vtl"), rawRecord(path, attrs, name, comment, 3, 1));

        QVERIFY(h.editor.OpenList(h.path("a.vtl"), true));
        QCOMPARE(h.boxes.shownIds(), QList<int>{});
        QCOMPARE(h.list.count(), 1);
        const TitleEntry &e = h.list.at(1);
        QCOMPARE((QStringList{e.firstFile(), e.Name, e.Comment}),
                 (QStringList{pic, QStringLiteral("テロップ一"), QStringLiteral("コメント")}));
        QCOMPARE((QList{e.Mark, e.IconFrame, int(e.Attributes.effectFlags(Effect::In))}),
                 (QList{3, 1, 3}));
        // Device fields are never taken from a file.
        QCOMPARE(e.Attributes.memoryNo(), std::uint16_t(0xFFFE));
        QCOMPARE(e.Attributes.deviceWord(), 0u);
        // The thumbnail shows the green picture over the whole area.
        QCOMPARE(e.Thumbnail.row(40)[1], std::uint8_t(0xFF));
        QCOMPARE(h.editor.ListFileName(), h.path("a.vtl"));
        QVERIFY(!h.editor.Modified());
        // Written back at once, every field where it was read, the device fields cleared.
        attrs.replace(0, 2, "\xFE\xFF");
        attrs.replace(36, 4, QByteArray(4, '\0'));
        QCOMPARE(readFile(h.path("a.vtl")), rawRecord(path, attrs, name, comment, 3, 1));
        // Texts longer than their fields are cut to them.
        h.list.at(1).Comment = QString(200, 'c');
        QVERIFY(h.editor.SaveList(h.path("a.vtl"), true));
        QCOMPARE(readFile(h.path("a.vtl")).mid(428, 128), QByteArray(128, 'c'));
    }

    void cp932TextRoundTrip()
    {
        // The wave dash and full-width tilde differ between Shift-JIS tables; CP932 keeps U+FF5E.
        const QString text = QStringLiteral("ＡＢＣ～ー①ｶﾅ表");
        const std::optional<QByteArray> bytes = Cp932::encode(text);
        QVERIFY(bytes);
        QCOMPARE(Cp932::decodeField(bytes->constData(), std::size_t(bytes->size())), text);
        QVERIFY(!Cp932::encode(QStringLiteral("emoji \U0001F600")));
        QVERIFY(Cp932::fitsField(QString(259, 'a'), 260));
        QVERIFY(!Cp932::fitsField(QString(260, 'a'), 260));
        // 130 two-byte characters need 260 bytes: too long for the path field.
        QVERIFY(!Cp932::fitsField(QString(130, QChar(0x8868)), 260));
        // Cutting never splits a double-byte character.
        QCOMPARE(Cp932::encodeTruncated(QString(100, QChar(0x8868)), 127).size(), 126);
        // A lone lead byte at the end of a field is not read beyond it.
        const char field[3] = {'a', char(0x82), 'b'};
        QCOMPARE(Cp932::decodeField(field, 2), QStringLiteral("a\uFFFD"));
    }

    void unreadableFilesKeepTheList()
    {
        ListHarness h;
        QVERIFY(h.addStill("kept"));
        QDir().mkpath(h.path("folder.vtl"));
        const struct
        {
            const char *file;
            int size; // -1: not written
            bool reportMissing;
            QList<int> messages;
        } cases[] = {{"bad1.vtl", 1, true, {89}},           {"bad2.vtl", 563, true, {89}},
                     {"bad3.vtl", 564 * 2 + 7, true, {89}}, {"missing.vtl", -1, true, {87}},
                     {"missing.vtl", -1, false, {}},        {"folder.vtl", -1, true, {91}}};
        for (const auto &c : cases) {
            if (c.size >= 0)
                writeFile(h.path(c.file), QByteArray(c.size, '\x41'));
            h.boxes.clear();
            QVERIFY(!h.editor.OpenList(h.path(c.file), c.reportMissing));
            QCOMPARE(h.boxes.shownIds(), c.messages);
            QCOMPARE(names(h.list), QStringLiteral("kept.tga"));
            if (c.size >= 0)
                QCOMPARE(readFile(h.path(c.file)).size(), c.size);
        }
        // An empty file opens as an empty list and is not written; the title that
        // left the list went to the history.
        writeFile(h.path("empty.vtl"), QByteArray());
        QVERIFY(h.editor.OpenList(h.path("empty.vtl"), true));
        QCOMPARE(h.list.count(), 0);
        QCOMPARE(QFileInfo(h.path("empty.vtl")).size(), 0);
        QVERIFY(h.history.FindHistory(h.path("kept.tga")));
    }

    void recordCountsAndBoundedFields()
    {
        ListHarness h;
        const QString pic = writeTarga(h.path("p.tga"), 640, 480);
        QByteArray file;
        for (int i = 0; i < 120; ++i)
            file += rawRecord(pic.toUtf8(), stillAttributes(), QByteArray::number(i), "", 0, 1);
        writeFile(h.path("big.vtl"), file);
        QVERIFY(h.editor.OpenList(h.path("big.vtl"), true));
        QCOMPARE(h.list.count(), 99);
        QCOMPARE(h.list.at(99).Name, QStringLiteral("98"));
        // Written back: the file now holds the 99 titles.
        QCOMPARE(readFile(h.path("big.vtl")).size(), 99 * 564);

        // Full 128-byte texts, a mark of 200, and a second record whose path fills
        // all 260 bytes without a terminator.
        writeFile(h.path("d.vtl"),
                  rawRecord(pic.toUtf8(), stillAttributes(), QByteArray(128, 'N'),
                            QByteArray(128, 'C'), 200, 1) +
                      rawRecord(QByteArray(260, 'x'), stillAttributes(), "n", "c", -5, 1));
        QVERIFY(h.editor.OpenList(h.path("d.vtl"), true));
        QCOMPARE(h.boxes.shownIds(), QList<int>{86});
        QCOMPARE(names(h.list), QString(128, 'N'));
        QCOMPARE(h.list.at(1).Comment, QString(128, 'C'));
        // A mark of 200 must never address a Mark command.
        QCOMPARE(h.list.at(1).Mark, 0);
        // The write-back keeps the full 128-byte name and drops the broken record.
        const QByteArray back = readFile(h.path("d.vtl"));
        QCOMPARE(back.size(), 564);
        QCOMPARE(back.mid(300, 128), QByteArray(128, 'N'));
        QCOMPARE(back.mid(556, 4), QByteArray(4, '\0'));
    }

    void frameCountsAndIconFrames()
    {
        // Frame count, icon frame, message (0: loaded) against three frames on disk.
        const int cases[][3] = {{0, 1, 88},  {65535, 1, 86}, {3, 0, 88}, {3, 4, 88},
                                {3, -1, 88}, {3, 3, 0},      {2, 2, 0}};
        for (const auto &[frameCount, iconFrame, message] : cases) {
            ListHarness h;
            const QStringList seq = writeSequence(h.env.root(), "m", 7, 3, 3, 640, 480);
            writeFile(h.path("f.vtl"),
                      rawRecord(seq.first().toUtf8(), stillAttributes(frameCount, 1), "m", "", 0,
                                iconFrame));
            QVERIFY(h.editor.OpenList(h.path("f.vtl"), true));
            QCOMPARE(h.boxes.shownIds(), message ? QList<int>{message} : QList<int>{});
            // A title that is not loaded leaves the damaged file as it was.
            QCOMPARE(h.list.count() == 1 ? h.list.at(1).FileList : QStringList(),
                     message ? QStringList() : seq.mid(0, frameCount));
            QCOMPARE(readFile(h.path("f.vtl")).size(), 564);
        }
    }

    void missingFilesAndMessages()
    {
        ListHarness h;
        const QStringList seq = writeSequence(h.env.root(), "g", 1, 2, 2, 640, 480);
        const QString good = writeTarga(h.path("good.tga"), 640, 480);
        QByteArray file = rawRecord(h.path("gone.tga").toUtf8(), stillAttributes(), "", "", 0, 1);
        file +=
            rawRecord(seq.first().toUtf8(), stillAttributes(3, 1), "", "", 0, 1); // frame 3 missing
        QByteArray pal = stillAttributes();
        pal[4] = 4; // a height class that does not match 480 lines
        file += rawRecord(good.toUtf8(), pal, "", "", 0, 1);
        file += rawRecord(good.toUtf8(), stillAttributes(), "ok", "", 0, 1);
        writeFile(h.path("m.vtl"), file);
        QVERIFY(h.editor.OpenList(h.path("m.vtl"), true));
        QCOMPARE(h.boxes.shownIds(), (QList<int>{86, 86, 88}));
        QVERIFY(h.boxes.shown().at(0).text.contains(h.path("gone.tga")));
        QCOMPARE(names(h.list), QStringLiteral("ok"));
        QCOMPARE(readFile(h.path("m.vtl")).size(), 564);

        // The icon frame's pixels cannot be read: 122 with its name, the title is kept.
        writeFile(h.path("i.vtl"), rawRecord(good.toUtf8(), stillAttributes(), "", "", 0, 1));
        h.images.failLoads.insert(good);
        h.boxes.clear();
        QVERIFY(h.editor.OpenList(h.path("i.vtl"), true));
        QCOMPARE(h.boxes.shownIds(), QList<int>{122});
        QVERIFY(h.boxes.shown().first().text.contains("[ good.tga ]"));
        QCOMPARE(h.list.count(), 1);
    }

    void randomBytesNeverCrash()
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
            for (qsizetype at = 0; round % 2 == 1 && at < bytes.size(); at += 564) {
                bytes.replace(at, seq.first().toUtf8().size() + 1, seq.first().toUtf8() + '\0');
                if (round % 4 == 1)
                    bytes.replace(at + 264, 4, QByteArray("\x08\0\x01\0", 4)); // 8 blocks, 1 frame
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

    void saveAsksAndFailuresKeepTheOldFile()
    {
        ListHarness h;
        QVERIFY(!h.editor.SaveList(h.path("e.vtl"), false)); // an empty list is never written
        QVERIFY(!QFile::exists(h.path("e.vtl")) && h.addStill("a"));
        writeFile(h.path("lists/x.vtl"), "previous");
        h.boxes.answer(IdNo);
        QVERIFY(!h.editor.SaveList(h.path("lists/x.vtl"), false));
        QCOMPARE(h.boxes.shownIds(), QList<int>{124});
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

        // A folder in the way, or no folder at all: message 91, nothing lost.
        QDir().mkpath(h.path("taken.vtl"));
        QVERIFY(!h.editor.SaveList(h.path("taken.vtl"), true));
        QVERIFY(QFileInfo(h.path("taken.vtl")).isDir());
        QVERIFY(!h.editor.SaveList(h.path("no/such/folder/x.vtl"), true));
        QCOMPARE(h.boxes.shownIds(), (QList<int>{91, 91}));
        QCOMPARE(h.editor.ListFileName(), h.path("lists/x.vtl"));
    }

    void fullDiskCostsNothing()
    {
        // Writes fail beyond 4096 bytes; every old file is smaller, every new one larger.
        ListHarness h;
        const QString list = h.path("files/l.vtl");
        const QString picture = h.path("files/p.tga");
        QDir().mkpath(h.path("files"));
        for (int i = 0; i < 7; ++i)
            QVERIFY(h.addStill(QStringLiteral("t%1").arg(i)));
        QVERIFY(h.editor.SaveList(list, true));
        for (int i = 1; i <= 7; ++i)
            QVERIFY(h.history.StoreHistory(h.list.at(i)));
        QVERIFY(h.images.save(Bitmap(8, 8, 32), picture, ImageFileFormat::Targa, 32));
        QVERIFY(h.addStill("new"));
        Bitmap big(40, 30, 32);
        big.fill(0, 0, 40, 30, 0x123456);
        const QString settings = h.path("files/s.ini");
        const auto storeSettings = [&settings](int length) {
            SettingsStore store(settings);
            store.beginGroup("MainForm");
            store.WriteString("LastListFile", QString(length, 'x'));
            store.endGroup();
            return store.sync();
        };
        QVERIFY(storeSettings(10));
        const std::pair<QString, std::function<bool()>> writers[] = {
            {settings, [&] { return storeSettings(5000); }},
            {list, [&] { return h.editor.SaveList(list, true); }},
            {h.history.fileName(), [&] { return h.history.StoreHistory(h.list.at(8)); }},
            {picture,
             [&] { return h.images.real.save(big, picture, ImageFileFormat::Targa, 32); }}};
        for (const auto &[target, write] : writers) {
            const QByteArray before = readFile(target);
            QVERIFY(before.size() < 4096);
            QCOMPARE(inChildWithFileLimit(4096, write), 1);
            QCOMPARE(readFile(target), before);
            // No temporary file is left beside it.
            QCOMPARE(QDir(QFileInfo(target).path()).entryList({QFileInfo(target).fileName() + "*"}),
                     QStringList{QFileInfo(target).fileName()});
            // The same write succeeds where the disk has room.
            QVERIFY(write() && readFile(target).size() > 4096);
        }
    }

    void historyRecordsAtTheirOffsetsByExactKey()
    {
        ListHarness h;
        const QByteArray attrs = stillAttributes(1, 0);
        const QByteArray key = Cp932::encode(QStringLiteral("/素材/題.tga")).value();
        const QByteArray name = Cp932::encode(QStringLiteral("名前")).value();
        const QByteArray first = rawRecord("/x.tga", attrs, "x", "", {}, 1);
        writeFile(h.history.fileName(), first + rawRecord(key, attrs, name, "cmt", {}, 9));
        const std::optional<ListRecord> r = h.history.FindHistory(QStringLiteral("/素材/題.tga"));
        QVERIFY(r);
        QCOMPARE((QStringList{r->Name, r->Comment}), (QStringList{QStringLiteral("名前"), "cmt"}));
        QCOMPARE((QList{r->IconFrame, r->Mark}), (QList{9, 0}));
        // Device fields are recorded as they were.
        QCOMPARE(r->Attributes.memoryNo(), std::uint16_t(5));
        // Updated in place, every field at its offset.
        TitleEntry e = titleFor(QStringLiteral("/素材/題.tga"), QStringLiteral("名前"));
        e.IconFrame = 4;
        QVERIFY(h.history.StoreHistory(e));
        QCOMPARE(readFile(h.history.fileName()), first + rawRecord(key, attrs, name, "", {}, 4));
        // Keys are compared byte for byte: case counts, and a prefix is another path.
        QVERIFY(h.history.StoreHistory(titleFor("/X.tga", "upper")));
        QCOMPARE(readFile(h.history.fileName()).size(), 3 * 560);
        QCOMPARE(h.history.FindHistory("/X.tga")->Name, QStringLiteral("upper"));
        QCOMPARE(h.history.FindHistory("/x.tga")->Name, QStringLiteral("x"));
        QVERIFY(!h.history.FindHistory("/x.tg"));
    }

    void damagedFilesAreNotOverreadAndTailsOverwritten()
    {
        ListHarness h;
        const QByteArray whole = rawRecord("/a.tga", stillAttributes(), "a", "", {}, 1);
        // A tail of 300 bytes that happens to start with the key being stored.
        const QByteArray tail = rawRecord("/b.tga", stillAttributes(), "old", "", {}, 1).left(300);
        writeFile(h.history.fileName(), whole + tail);
        QVERIFY(!h.history.FindHistory("/b.tga"));
        // Updating a whole record keeps the tail; a new record is written over it.
        QVERIFY(h.history.StoreHistory(titleFor("/a.tga", "a2")));
        QCOMPARE(readFile(h.history.fileName()).size(), 560 + 300);
        QVERIFY(h.history.StoreHistory(titleFor("/b.tga", "new")));
        QCOMPARE(readFile(h.history.fileName()).size(), 2 * 560);
        QCOMPARE(h.history.FindHistory("/b.tga")->Name, QStringLiteral("new"));
        QCOMPARE(h.history.FindHistory("/a.tga")->Name, QStringLiteral("a2"));

        // A file shorter than one record: the first record goes at offset 0.
        writeFile(h.history.fileName(), QByteArray(17, 'z'));
        QVERIFY(!h.history.FindHistory("") && h.history.StoreHistory(titleFor("/c.tga", "c")));
        QCOMPARE(readFile(h.history.fileName()).size(), 560);

        // Keys of 260 bytes without a terminator, and binary noise.
        QByteArray noise(560, '\0');
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 37) & 0xFF);
        writeFile(h.history.fileName(),
                  rawRecord(QByteArray(260, 'k'), stillAttributes(), "", "", {}, 1) + noise);
        QVERIFY(!h.history.FindHistory(QString(259, 'k')));
        QVERIFY(!h.history.FindHistory(QString(261, 'k')));
        QVERIFY(h.history.StoreHistory(titleFor(QString(259, 'k'), "fits")));
        QCOMPARE(readFile(h.history.fileName()).size(), 3 * 560);
        // A path that does not fit the key field is never recorded; the others of the batch are.
        const std::vector<TitleEntry> batch{titleFor(QString(300, 'p'), "long"),
                                            titleFor("/d.tga", "d"), titleFor("/d.tga", "d2")};
        QVERIFY(!h.history.StoreHistory(batch));
        QCOMPARE(readFile(h.history.fileName()).size(), 4 * 560);
        QCOMPARE(h.history.FindHistory("/d.tga")->Name, QStringLiteral("d2"));
    }

    void useOnAddByMode()
    {
        // Mode 0 always uses a record, 1 asks message 127 (caption 9), others never.
        const struct
        {
            int mode, answer;
            bool recorded, used;
        } cases[] = {{0, 0, true, true},
                     {1, IdYes, true, true},
                     {1, IdNo, true, false},
                     {1, 0, false, false},
                     {2, 0, true, false}};
        for (const auto &c : cases) {
            ListHarness h;
            h.settings.Environment.HistoryMode = c.mode;
            QVERIFY(h.addStill("pic"));
            h.list.at(1).Comment = QStringLiteral("remembered");
            h.list.at(1).Attributes.setPositionX(100);
            h.list.at(1).Mark = 4;
            h.editor.SelectAll();
            if (c.recorded)
                QCOMPARE(h.editor.DeleteSelection(), 1);
            else
                h.list.take(1);
            h.boxes.clear();
            if (c.answer)
                h.boxes.answer(c.answer);
            QVERIFY(h.editor.AddImageFile(h.path("pic.tga")));
            QCOMPARE(h.boxes.shownIds(), c.answer ? QList<int>{127} : QList<int>{});
            const TitleEntry &e = h.list.at(h.list.count());
            QCOMPARE(e.Comment, c.used ? QStringLiteral("remembered") : QString());
            QCOMPARE((QList{e.Attributes.positionX(), e.Mark, int(e.Attributes.memoryNo())}),
                     (QList{c.used ? 100 : 0, 0, 0xFFFE}));
        }
    }

    void recordInvalidForFormatFallsBackToDefaults()
    {
        ListHarness h;
        h.settings.Environment.HistoryMode = 0;
        const QString pic = writeTarga(h.path("p.tga"), 640, 480);
        QByteArray attrs = stillAttributes();
        attrs[4] = 2; // height class of a 120-line picture
        writeFile(h.history.fileName(), rawRecord(pic.toUtf8(), attrs, "bad", "", {}, 1));
        const int waited = h.waits.waitCount;
        QVERIFY(h.editor.AddImageFile(pic));
        // The recorded title's files were read while events kept flowing.
        QVERIFY(h.waits.waitCount > waited);
        QCOMPARE(h.boxes.shownIds(), QList<int>{88});
        QVERIFY(names(h.list) == "p.tga" && h.list.at(1).Attributes.blocksPerFrame() == 8);
    }

    void lookupKeepsEventsFlowing()
    {
        ListHarness h;
        QByteArray file;
        for (int i = 0; i < 50; ++i)
            file += rawRecord("/r" + QByteArray::number(i), stillAttributes(), "", "", {}, 1);
        writeFile(h.history.fileName(), file);
        QVERIFY(h.history.FindHistory("/r49"));
        QCOMPARE(h.waits.pendingCount, 49);
        // Storing runs no events: titles are recorded while they leave the list.
        QVERIFY(h.history.StoreHistory(titleFor("/r50", "")));
        QCOMPARE(h.waits.pendingCount, 49);
    }
};

QTEST_GUILESS_MAIN(TestListFile)
#include "test_listfile.moc"
