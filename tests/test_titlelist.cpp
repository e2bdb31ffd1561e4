// The title record, the send list and the title check.

#include "core/MessageBoxes.h"
#include "core/VideoFormatParams.h"
#include "imaging/ImageLibrary.h"
#include "list/CheckTitle.h"
#include "list/TitleList.h"
#include "support/ScriptedMessageBoxes.h"

#include <QSignalSpy>
#include <QTest>
#include <map>

namespace {

// Picture sizes by file name, as the picture library would report them.
class SizedImages : public ImageLibrary
{
public:
    std::map<QString, ImageInfo> sizes;
    std::optional<ImageInfo> fileInfo(const QString &path) override
    {
        auto it = sizes.find(path);
        if (it == sizes.end())
            return std::nullopt;
        return it->second;
    }
    std::optional<Bitmap> load(const QString &) override { return std::nullopt; }
    bool save(const Bitmap &, const QString &, ImageFileFormat, int) override { return false; }
};

TitleEntry titleOf(const QString &file, int blocks, int frames = 1)
{
    TitleEntry e = TitleEntry::create();
    e.FileList = QStringList(file);
    for (int i = 1; i < frames; ++i)
        e.FileList.append(file);
    e.Attributes.setMemoryNo(MemoryNo::NotStored);
    e.Attributes.setFrameCount(frames);
    e.Attributes.setBlocksPerFrame(blocks);
    e.IconFrame = 1;
    return e;
}

} // namespace

class TestTitleList : public QObject
{
    Q_OBJECT

private slots:
    void attributesFieldsAtTheirOffsets()
    {
        TitleAttributes a;
        a.setMemoryNo(0x1234);
        a.setKind(TitleKind::Crawl);
        a.setDirectionBit(true);
        a.setProtect(true);
        a.setRollCrawlSpeed(33);
        a.setBlocksPerFrame(4);
        a.setMovieInterval(200);
        a.setFrameCount(0xABCD);
        a.setPositionX(-5);
        a.setPositionY(576);
        a.setDurFrame(29);
        a.setDurSecond(59);
        a.setDurMinute(58);
        a.setAutoTrigger(Effect::In, true);
        a.setPattern(Effect::In, true);
        a.setSlideDirection(Effect::In, 3);
        a.setSlideSpeed(Effect::In, 64);
        a.setEffPattern(Effect::In, 9999);
        a.setEffTimeFrame(Effect::In, 7);
        a.setEffTimeSecond(Effect::In, 8);
        a.setWaitFrame(Effect::In, 9);
        a.setWaitSecond(Effect::In, 10);
        a.setSlideDirection(Effect::Out, 4);
        a.setSlideSpeed(Effect::Out, 2);
        a.setEffPattern(Effect::Out, 1);
        a.setEffTimeFrame(Effect::Out, 11);
        a.setEffTimeSecond(Effect::Out, 12);
        a.setWaitFrame(Effect::Out, 13);
        a.setWaitSecond(Effect::Out, 14);
        a.setWidth(640);
        a.setHeight(480);
        a.setDeviceWord(0xDEADBEEF);

        const auto &b = a.bytes();
        const std::array<std::uint8_t, 40> expected = {
            0x34, 0x12, 0x87, 33, 4,    200,  0xCD, 0xAB, 0xFB, 0xFF, 0x40, 0x02, 29, 59,
            58,   0,    0x0F, 64, 0x0F, 0x27, 7,    8,    9,    10,   0x10, 2,    1,  0,
            11,   12,   13,   14, 0x80, 0x02, 0xE0, 0x01, 0xEF, 0xBE, 0xAD, 0xDE};
        QCOMPARE(b, expected);

        const TitleAttributes r = TitleAttributes::fromBytes(b.data());
        QCOMPARE(r.kind(), TitleKind::Crawl);
        QVERIFY(r.crawlRight());
        QVERIFY(!r.rollDown());
        QVERIFY(r.protect());
        QCOMPARE(r.positionX(), -5);
        QCOMPARE(r.frameCount(), 0xABCD);
        QCOMPARE(r.slideDirection(Effect::In), 3);
        QCOMPARE(r.slideDirection(Effect::Out), 4);
        QCOMPARE(r.effPattern(Effect::In), 9999);
        QCOMPARE(r.deviceWord(), 0xDEADBEEFu);
        QCOMPARE(r, a);
    }

    void carriedBitsSurviveEveryWrite()
    {
        TitleAttributes a;
        a.bytes()[2] = 0x70;  // type bits 4-6
        a.bytes()[3] = 0x80;  // speed bit 7
        a.bytes()[17] = 0x80; // in slide speed bit 7
        a.bytes()[19] = 0xC0; // in pattern bits 14-15
        a.bytes()[15] = 0x5A; // reserved
        a.setKind(TitleKind::Movie);
        a.setDirectionBit(true);
        a.setMovieReverse(true);
        a.setRollCrawlSpeed(200); // only bits 0-6 are taken
        a.setSlideSpeed(Effect::In, 8);
        a.setEffPattern(Effect::In, 0xFFFF);
        QCOMPARE(a.bytes()[2], std::uint8_t(0x7D));
        QVERIFY(a.movieRepeat());
        QVERIFY(a.movieReverse());
        QCOMPARE(a.bytes()[3], std::uint8_t(0x80 | (200 & 0x7F)));
        QCOMPARE(a.bytes()[17], std::uint8_t(0x88));
        QCOMPARE(a.effPatternWord(Effect::In), std::uint16_t(0xFFFF));
        a.setEffPattern(Effect::In, 5);
        QCOMPARE(a.effPatternWord(Effect::In), std::uint16_t(0xC005));
        QCOMPARE(a.bytes()[15], std::uint8_t(0x5A));
        a.setSlideDirection(Effect::In, 0);
        a.setAutoTrigger(Effect::In, true);
        a.setPattern(Effect::In, false);
        QCOMPARE(a.effectFlags(Effect::In), std::uint8_t(0x01));
        a.setProtect(false);
        QCOMPARE(a.bytes()[2] & 0x80, 0);
    }

    void listLimitCursorAndSelection()
    {
        ScriptedMessageBoxes boxes;
        TitleList list;
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.at(0).Attributes.memoryNo(), MemoryNo::HeadEntry);
        QSignalSpy cursor(&list, &TitleList::cursorSet);
        list.SetCursor(1); // nothing with an empty list
        QCOMPARE(cursor.count(), 0);

        for (int i = 1; i <= 99; ++i) {
            TitleEntry e = titleOf(QStringLiteral("/t/%1.tga").arg(i), 1);
            e.Name = QString::number(i);
            QVERIFY(list.append(e, boxes));
        }
        QVERIFY(list.isFull());
        QVERIFY(boxes.shownIds().isEmpty());
        QVERIFY(!list.append(titleOf(QStringLiteral("/t/100.tga"), 1), boxes));
        QCOMPARE(boxes.shownIds(), QList<int>{105});
        QCOMPARE(boxes.shown().first().flags, int(MsgError));
        QCOMPARE(list.count(), 99);
        list.take(50);
        QVERIFY(!list.isFull());
        QVERIFY(list.append(titleOf(QStringLiteral("/t/100.tga"), 1), boxes));

        list.SetCursor(0);
        QCOMPARE(list.cursor(), 1);
        QCOMPARE(list.SelectionCount(), 1);
        QCOMPARE(cursor.last().at(1).toString(), QStringLiteral("/t/1.tga"));
        list.SetCursor(99 + 5);
        QCOMPARE(list.cursor(), 99);
        QVERIFY(list.at(99).Selected);
        QVERIFY(!list.at(1).Selected);
        QCOMPARE(list.SelectionCount(), 1);
        list.SelectAll();
        QCOMPARE(list.SelectionCount(), 99);
        QVERIFY(!list.at(0).Selected);
    }

    void marksMemoryNumbersAndOnAir()
    {
        ScriptedMessageBoxes boxes;
        TitleList list;
        for (int i = 0; i < 4; ++i)
            list.append(titleOf(QStringLiteral("/t/%1.tga").arg(i), 1), boxes);
        list.at(2).Mark = 3;
        list.at(4).Mark = 3;
        list.at(3).Mark = 9;
        QCOMPARE(list.FindByMark(3), std::optional<int>(2));
        QCOMPARE(list.FindByMark(5), std::nullopt);
        auto used = list.UsedMarks();
        QVERIFY(used[3] && used[9] && !used[1] && !used[0]);
        list.ClearMark(2);
        QCOMPARE(list.FindByMark(3), std::optional<int>(4));

        list.at(3).Attributes.setMemoryNo(0x0007);
        QCOMPARE(list.FindByMemoryNo(0x0007), std::optional<int>(3));
        QCOMPARE(list.FindByMemoryNo(0x0008), std::nullopt);
        QVERIFY(list.IsInList(MemoryNo::HeadEntry));

        list.SetCursor(2);
        list.setOnAirMemoryNo(0x0007);
        QVERIFY(!list.SelectionOnAir(boxes));
        list.setSelected(3, true);
        QVERIFY(list.SelectionOnAir(boxes));
        QCOMPARE(boxes.shownIds(), QList<int>{136});
    }

    void moveReordersAsDragged()
    {
        ScriptedMessageBoxes boxes;
        TitleList list;
        for (int i = 1; i <= 4; ++i) {
            TitleEntry e = titleOf(QStringLiteral("/t/%1.tga").arg(i), 1);
            e.Name = QString::number(i);
            list.append(e, boxes);
        }
        auto names = [&] {
            QString s;
            for (int i = 1; i <= list.count(); ++i)
                s += list.at(i).Name;
            return s;
        };
        list.move(1, 4); // before the title now at 4
        QCOMPARE(names(), QStringLiteral("2314"));
        list.move(4, 1);
        QCOMPARE(names(), QStringLiteral("4231"));
        list.move(2, 5); // to the end
        QCOMPARE(names(), QStringLiteral("4312"));
        list.move(2, 3); // onto itself: nothing
        QCOMPARE(names(), QStringLiteral("4312"));
    }

    void checkTitleHeightClassesAndClipping_data()
    {
        QTest::addColumn<bool>("pal");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("storedWidth");
        QTest::addColumn<int>("storedHeight");
        QTest::newRow("ntsc 100 lines") << false << 320 << 100 << 2 << 320 << 100;
        QTest::newRow("pal 100 lines") << true << 320 << 100 << 2 << 320 << 100;
        QTest::newRow("ntsc 60 lines") << false << 720 << 60 << 1 << 640 << 60;
        QTest::newRow("pal 60..72") << true << 720 << 72 << 1 << 720 << 72;
        QTest::newRow("ntsc 61") << false << 10 << 61 << 2 << 10 << 61;
        QTest::newRow("ntsc 240") << false << 10 << 240 << 4 << 10 << 240;
        QTest::newRow("ntsc 241") << false << 10 << 241 << 8 << 10 << 241;
        QTest::newRow("ntsc 700x500") << false << 700 << 500 << 8 << 640 << 480;
        QTest::newRow("pal 800x600") << true << 800 << 600 << 8 << 768 << 576;
        QTest::newRow("pal 288") << true << 768 << 288 << 4 << 768 << 288;
    }

    void checkTitleHeightClassesAndClipping()
    {
        QFETCH(bool, pal);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, blocks);
        QFETCH(int, storedWidth);
        QFETCH(int, storedHeight);
        const VideoFormatParams &format =
            pal ? VideoFormatParams::pal() : VideoFormatParams::ntsc();
        SizedImages images;
        images.sizes[QStringLiteral("/p.tga")] = {width, height, 32};
        TitleEntry e = titleOf(QStringLiteral("/p.tga"), blocks);
        QVERIFY(CheckTitle(e, format, images));
        QCOMPARE(e.Attributes.width(), storedWidth);
        QCOMPARE(e.Attributes.height(), storedHeight);
        // Any other block count fails.
        for (int other : {1, 2, 4, 8}) {
            if (other == blocks)
                continue;
            TitleEntry wrong = titleOf(QStringLiteral("/p.tga"), other);
            QVERIFY2(!CheckTitle(wrong, format, images), qPrintable(QString::number(other)));
        }
    }

    void checkTitleRules()
    {
        SizedImages images;
        images.sizes[QStringLiteral("/p.tga")] = {320, 50, 32};
        images.sizes[QStringLiteral("/q.tga")] = {320, 50, 32};
        const VideoFormatParams &ntsc = VideoFormatParams::ntsc();
        const VideoFormatParams &pal = VideoFormatParams::pal();

        auto base = [] {
            TitleEntry e = titleOf(QStringLiteral("/p.tga"), 1);
            e.FileList = {QStringLiteral("/p.tga"), QStringLiteral("/q.tga")};
            e.Attributes.setFrameCount(2);
            return e;
        };
        auto passes = [&](const std::function<void(TitleEntry &)> &change,
                          const VideoFormatParams &format) {
            TitleEntry e = base();
            change(e);
            return CheckTitle(e, format, images);
        };
        QVERIFY(passes([](TitleEntry &) {}, ntsc));
        // A STILL title ignores its roll speed; ROLL and CRAWL do not.
        QVERIFY(passes([](TitleEntry &e) { e.Attributes.setRollCrawlSpeed(0); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setKind(TitleKind::Roll); }, ntsc));
        QVERIFY(passes(
            [](TitleEntry &e) {
                e.Attributes.setKind(TitleKind::Crawl);
                e.Attributes.setRollCrawlSpeed(64);
            },
            ntsc));
        QVERIFY(!passes(
            [](TitleEntry &e) {
                e.Attributes.setKind(TitleKind::Crawl);
                e.Attributes.setRollCrawlSpeed(65);
            },
            ntsc));
        // The icon frame lies within the frames.
        QVERIFY(!passes([](TitleEntry &e) { e.IconFrame = 0; }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.IconFrame = 3; }, ntsc));
        QVERIFY(passes([](TitleEntry &e) { e.IconFrame = 2; }, ntsc));
        // Positions.
        QVERIFY(passes([](TitleEntry &e) { e.Attributes.setPositionX(720); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setPositionX(721); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setPositionY(481); }, ntsc));
        QVERIFY(passes([](TitleEntry &e) { e.Attributes.setPositionY(576); }, pal));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setPositionY(577); }, pal));
        // Durations.
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setDurMinute(60); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setDurSecond(60); }, ntsc));
        QVERIFY(passes([](TitleEntry &e) { e.Attributes.setDurFrame(29); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setDurFrame(25); }, pal));
        QVERIFY(passes([](TitleEntry &e) { e.Attributes.setDurFrame(24); }, pal));
        // Slides need a speed only when a direction is set.
        QVERIFY(passes([](TitleEntry &e) { e.Attributes.setSlideSpeed(Effect::In, 0); }, ntsc));
        QVERIFY(!passes(
            [](TitleEntry &e) {
                e.Attributes.setSlideDirection(Effect::In, 1);
                e.Attributes.setSlideSpeed(Effect::In, 1);
            },
            ntsc));
        QVERIFY(!passes(
            [](TitleEntry &e) {
                e.Attributes.setSlideDirection(Effect::Out, 2);
                e.Attributes.setSlideSpeed(Effect::Out, 65);
            },
            ntsc));
        // Patterns and effect times of both groups.
        QVERIFY(
            !passes([](TitleEntry &e) { e.Attributes.setEffPattern(Effect::In, 10000); }, ntsc));
        QVERIFY(
            !passes([](TitleEntry &e) { e.Attributes.setEffPattern(Effect::Out, 10000); }, ntsc));
        QVERIFY(passes(
            [](TitleEntry &e) { e.Attributes.setEffPatternWord(Effect::Out, 0xC000 | 9999); },
            ntsc));
        QVERIFY(
            !passes([](TitleEntry &e) { e.Attributes.setEffTimeSecond(Effect::In, 60); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setWaitSecond(Effect::In, 60); }, ntsc));
        QVERIFY(
            !passes([](TitleEntry &e) { e.Attributes.setEffTimeSecond(Effect::Out, 60); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.bytes()[31] = 60; }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.bytes()[30] = 30; }, ntsc));
        QVERIFY(passes([](TitleEntry &e) { e.Attributes.bytes()[30] = 29; }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setEffTimeFrame(Effect::In, 30); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setWaitFrame(Effect::In, 30); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.Attributes.setEffTimeFrame(Effect::Out, 25); }, pal));
        // A missing picture, or none at all, fails.
        QVERIFY(
            !passes([](TitleEntry &e) { e.FileList.append(QStringLiteral("/gone.tga")); }, ntsc));
        QVERIFY(!passes([](TitleEntry &e) { e.FileList.clear(); }, ntsc));
    }

    void checkTitleUsesTheLastFileForTheBlocks()
    {
        SizedImages images;
        images.sizes[QStringLiteral("/tall.tga")] = {100, 400, 32};
        images.sizes[QStringLiteral("/short.tga")] = {200, 50, 32};
        TitleEntry e = titleOf(QStringLiteral("/tall.tga"), 1);
        e.FileList = {QStringLiteral("/tall.tga"), QStringLiteral("/short.tga")};
        e.Attributes.setFrameCount(2);
        QVERIFY(CheckTitle(e, VideoFormatParams::ntsc(), images));
        QCOMPARE(e.Attributes.width(), 200);
        QCOMPARE(e.Attributes.height(), 50);
    }
};

QTEST_GUILESS_MAIN(TestTitleList)
#include "test_titlelist.moc"
