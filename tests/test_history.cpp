// The property history: records kept per first file, updated in place, read
// back for imports, and damaged history files.

#include "list/Cp932.h"
#include "listcore/ListFixtures.h"

#include <QFile>
#include <QTest>

using namespace ListFixtures;

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void storeUpdatesInPlaceByExactKey();
    void recordLayoutByOffsets();
    void partialTailIsIgnoredAndOverwritten();
    void damagedKeysAreNotOverread();
    void unwritableHistoryIsSkipped();
    void clearHistoryAsksAndReports();
    void useOnAddByMode_data();
    void useOnAddByMode();
    void recordInvalidForFormatFallsBackToDefaults();
    void lookupKeepsEventsFlowing();
};

static TitleEntry titleFor(const QString &file, const QString &name)
{
    TitleEntry e = TitleEntry::create();
    e.FileList = {file};
    e.Name = name;
    e.IconFrame = 1;
    e.Attributes = TitleAttributes::fromBytes(
        reinterpret_cast<const std::uint8_t *>(stillAttributes().constData()));
    return e;
}

void TestHistory::storeUpdatesInPlaceByExactKey()
{
    ListHarness h;
    QVERIFY(h.history.StoreHistory(titleFor("/pics/a.tga", "first")));
    QVERIFY(h.history.StoreHistory(titleFor("/pics/b.tga", "other")));
    QVERIFY(h.history.StoreHistory(titleFor("/pics/a.tga", "second")));
    QVERIFY(h.history.StoreHistory(titleFor("/pics/A.tga", "upper")));
    const QByteArray bytes = readFile(h.history.fileName());
    QCOMPARE(bytes.size(), 3 * 560);
    QCOMPARE(bytes.mid(300, 7), QByteArray("second\0", 7));
    QCOMPARE(bytes.mid(560 + 300, 5), QByteArray("other"));
    const std::optional<ListRecord> found = h.history.FindHistory("/pics/a.tga");
    QVERIFY(found);
    QCOMPARE(found->Name, QStringLiteral("second"));
    QCOMPARE(found->IconFrame, 1);
    QCOMPARE(found->Mark, 0);
    // Keys are compared byte for byte: case counts, and a prefix is another path.
    QCOMPARE(h.history.FindHistory("/pics/A.tga")->Name, QStringLiteral("upper"));
    QVERIFY(!h.history.FindHistory("/pics/c.tga"));
    QVERIFY(!h.history.FindHistory("/pics/a.tg"));
}

void TestHistory::recordLayoutByOffsets()
{
    ListHarness h;
    const QByteArray attrs = stillAttributes(1, 0);
    const QByteArray key = Cp932::encode(QStringLiteral("/素材/題.tga")).value();
    writeFile(
        h.history.fileName(),
        rawRecord("/x.tga", attrs, "x", "", {}, 1) +
            rawRecord(key, attrs, Cp932::encode(QStringLiteral("名前")).value(), "cmt", {}, 9));
    const std::optional<ListRecord> r = h.history.FindHistory(QStringLiteral("/素材/題.tga"));
    QVERIFY(r);
    QCOMPARE(r->Name, QStringLiteral("名前"));
    QCOMPARE(r->Comment, QStringLiteral("cmt"));
    QCOMPARE(r->IconFrame, 9);
    // Device fields are recorded as they were.
    QCOMPARE(r->Attributes.memoryNo(), std::uint16_t(5));

    TitleEntry e = titleFor(QStringLiteral("/素材/題.tga"), QStringLiteral("新"));
    e.Comment = QString(200, 'c'); // longer than the field: cut to 128 bytes
    e.IconFrame = 4;
    QVERIFY(h.history.StoreHistory(e));
    const QByteArray bytes = readFile(h.history.fileName());
    QCOMPARE(bytes.size(), 2 * 560);
    QCOMPARE(bytes.mid(560, key.size()), key);
    QCOMPARE(bytes.mid(560 + 428, 128), QByteArray(128, 'c'));
    QCOMPARE(bytes.mid(560 + 556, 4), QByteArray("\x04\0\0\0", 4));
}

void TestHistory::partialTailIsIgnoredAndOverwritten()
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
    QVERIFY(!h.history.FindHistory(""));
    QVERIFY(h.history.StoreHistory(titleFor("/c.tga", "c")));
    QCOMPARE(readFile(h.history.fileName()).size(), 560);
}

void TestHistory::damagedKeysAreNotOverread()
{
    ListHarness h;
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
    // A path that does not fit the key field is never recorded.
    QVERIFY(!h.history.StoreHistory(titleFor(QString(300, 'p'), "long")));
    QCOMPARE(readFile(h.history.fileName()).size(), 3 * 560);
}

void TestHistory::unwritableHistoryIsSkipped()
{
    ListHarness h;
    PropertyHistory nowhere(h.path("no/such/folder/TitleDeck.vth"), h.waits);
    QVERIFY(!nowhere.StoreHistory(titleFor("/a.tga", "a")));
    QVERIFY(!QFile::exists(nowhere.fileName()));
    QVERIFY(!nowhere.FindHistory("/a.tga"));
}

void TestHistory::clearHistoryAsksAndReports()
{
    ListHarness h;
    QVERIFY(h.history.StoreHistory(titleFor("/a.tga", "a")));
    h.boxes.answer(IdNo);
    QVERIFY(!h.history.ClearHistory(h.boxes));
    QVERIFY(QFile::exists(h.history.fileName()));
    h.boxes.answer(IdYes);
    QVERIFY(h.history.ClearHistory(h.boxes));
    QVERIFY(!QFile::exists(h.history.fileName()));
    h.boxes.answer(IdYes);
    QVERIFY(!h.history.ClearHistory(h.boxes));
    QCOMPARE(h.boxes.shownIds(), (QList<int>{128, 128, 128, 90}));
    QCOMPARE(h.boxes.shown().first().captionId, 10);
    QCOMPARE(h.boxes.shown().first().flags, int(MsgQuestionYesNo));
}

void TestHistory::useOnAddByMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("recorded");
    QTest::addColumn<bool>("used");
    QTest::addColumn<QList<int>>("messages");
    QTest::newRow("always") << 0 << 0 << true << true << QList<int>{};
    QTest::newRow("ask yes") << 1 << int(IdYes) << true << true << QList<int>{127};
    QTest::newRow("ask no") << 1 << int(IdNo) << true << false << QList<int>{127};
    QTest::newRow("ask, nothing recorded") << 1 << 0 << false << false << QList<int>{};
    QTest::newRow("never") << 2 << 0 << true << false << QList<int>{};
}

void TestHistory::useOnAddByMode()
{
    QFETCH(int, mode);
    QFETCH(int, answer);
    QFETCH(bool, recorded);
    QFETCH(bool, used);
    QFETCH(QList<int>, messages);
    ListHarness h;
    h.settings.Environment.HistoryMode = mode;
    QVERIFY(h.addStill("pic"));
    h.list.at(1).Comment = QStringLiteral("remembered");
    h.list.at(1).Attributes.setPositionX(100);
    h.list.at(1).Mark = 4;
    if (recorded) {
        h.editor.SelectAll();
        QCOMPARE(h.editor.DeleteSelection(), 1);
    } else {
        h.list.take(1);
    }
    h.boxes.clear();
    if (answer)
        h.boxes.answer(answer);
    QVERIFY(h.editor.AddImageFile(h.path("pic.tga")));
    QCOMPARE(h.boxes.shownIds(), messages);
    if (!messages.isEmpty())
        QCOMPARE(h.boxes.shown().first().captionId, 9);
    const TitleEntry &e = h.list.at(h.list.count());
    QCOMPARE(e.Comment, used ? QStringLiteral("remembered") : QString());
    QCOMPARE(e.Attributes.positionX(), used ? 100 : 0);
    QCOMPARE(e.Mark, 0);
    QCOMPARE(e.Attributes.memoryNo(), std::uint16_t(0xFFFE));
}

void TestHistory::recordInvalidForFormatFallsBackToDefaults()
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
    QCOMPARE(h.list.at(1).Name, QStringLiteral("p.tga"));
    QCOMPARE(h.list.at(1).Attributes.blocksPerFrame(), 8);
}

void TestHistory::lookupKeepsEventsFlowing()
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

QTEST_GUILESS_MAIN(TestHistory)
#include "test_history.moc"
