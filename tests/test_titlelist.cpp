// The title record, the send list and the title check.

#include "core/VideoFormatParams.h"
#include "list/CheckTitle.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"

#include <QSignalSpy>
#include <QTest>

using namespace ListFixtures;

class TestTitleList : public QObject
{
    Q_OBJECT

    TestEnvironment m_env;
    MagickImageLibrary m_images;

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
        // The out group is laid out as the in group, 8 bytes on.
        a.setSlideDirection(Effect::Out, 4);
        a.setWaitSecond(Effect::Out, 14);
        a.setWidth(640);
        a.setHeight(480);
        a.setDeviceWord(0xDEADBEEF);
        const std::array<std::uint8_t, 40> expected = {
            0x34, 0x12, 0x87, 33, 4,    200,  0xCD, 0xAB, 0xFB, 0xFF, 0x40, 0x02, 29, 59,
            58,   0,    0x0F, 64, 0x0F, 0x27, 7,    8,    9,    10,   0x10, 0,    0,  0,
            0,    0,    0,    14, 0x80, 0x02, 0xE0, 0x01, 0xEF, 0xBE, 0xAD, 0xDE};
        QCOMPARE(a.bytes(), expected);
        const TitleAttributes r = TitleAttributes::fromBytes(expected.data());
        QVERIFY(r.crawlRight() && !r.rollDown() && r.protect());
        QCOMPARE((QList{r.positionX(), r.frameCount(), r.slideDirection(Effect::Out),
                        r.effPattern(Effect::In)}),
                 (QList{-5, 0xABCD, 4, 9999}));
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
        a.setEffPattern(Effect::In, 5);
        QCOMPARE(a.bytes()[2], std::uint8_t(0x7D));
        QVERIFY(a.movieRepeat() && a.movieReverse());
        QCOMPARE(a.bytes()[3], std::uint8_t(0x80 | (200 & 0x7F)));
        QCOMPARE(a.bytes()[17], std::uint8_t(0x88));
        QCOMPARE(a.effPatternWord(Effect::In), std::uint16_t(0xC005));
        QCOMPARE(a.durReserved(), 0x5A);
        a.setSlideDirection(Effect::In, 0);
        a.setAutoTrigger(Effect::In, true);
        QCOMPARE(a.effectFlags(Effect::In), std::uint8_t(0x01));
        a.setProtect(false);
        QCOMPARE(a.bytes()[2] & 0x80, 0);
    }

    void listLimitCursorSelectionAndMoves()
    {
        ScriptedMessageBoxes boxes;
        TitleList list;
        QCOMPARE(list.count(), 0);
        QCOMPARE(list.at(0).Attributes.memoryNo(), MemoryNo::HeadEntry);
        QSignalSpy cursor(&list, &TitleList::cursorSet);
        list.SetCursor(1); // nothing with an empty list
        QCOMPARE(cursor.count(), 0);
        for (int i = 1; i <= 99; ++i)
            QVERIFY(list.append(titleOf(QStringLiteral("/t/%1.tga").arg(i), 1), boxes));
        QVERIFY(list.isFull() && !list.append(titleOf(QStringLiteral("/t/100.tga"), 1), boxes));
        QVERIFY(boxes.shownIds() == QList<int>{105} && list.count() == 99);

        list.SetCursor(0);
        QCOMPARE(list.cursor(), 1);
        QCOMPARE(cursor.last().at(1).toString(), QStringLiteral("/t/1.tga"));
        list.SetCursor(99 + 5);
        QCOMPARE((QList{list.cursor(), list.SelectionCount()}), (QList{99, 1}));
        QVERIFY(list.at(99).Selected && !list.at(1).Selected);
        list.SelectAll();
        QCOMPARE(list.SelectionCount(), 99);
        QVERIFY(!list.at(0).Selected);

        // Moving stands the title before the one now at the target.
        while (list.count() > 4)
            list.take(5);
        // (to the end; onto itself: nothing).
        for (const auto &[from, to, order] : {std::tuple{1, 4, "2,3,1,4"},
                                              {4, 1, "4,2,3,1"},
                                              {2, 5, "4,3,1,2"},
                                              {2, 3, "4,3,1,2"}}) {
            list.move(from, to);
            QCOMPARE(names(list), QString::fromLatin1(order));
        }
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
        const auto used = list.UsedMarks();
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

    void checkTitleHeightClassesAndClipping()
    {
        // The blocks follow the last file's unclipped height; width and height are clipped.
        const QString tall = writeTarga(m_env.path("tall.tga"), 100, 400);
        writeTarga(m_env.path("wide.tga"), 800, 61);
        writeTarga(m_env.path("pal.tga"), 720, 600);
        const std::tuple<const char *, bool, int, int, int> cases[] = {
            {"wide.tga", false, 2, 640, 61}, {"pal.tga", true, 8, 720, 576}};
        for (const auto &[file, pal, blocks, width, height] : cases) {
            const VideoFormatParams &format =
                pal ? VideoFormatParams::pal() : VideoFormatParams::ntsc();
            for (int other : {1, 2, 4, 8}) {
                TitleEntry e = titleOf(tall, other, 2);
                e.FileList[1] = m_env.path(QString::fromLatin1(file));
                QCOMPARE(CheckTitle(e, format, m_images), other == blocks);
                QCOMPARE((QList{e.Attributes.width(), e.Attributes.height()}),
                         (QList{width, height}));
            }
        }
    }

    void checkTitleRules()
    {
        const QString p = writeTarga(m_env.path("p.tga"), 320, 50);
        // A byte (or, with word, a little-endian word) of a two-frame STILL's record set to a
        // value; offset -1 sets the icon frame, -2 adds a missing file, -3 removes every file.
        // In order: roll speed (ignored by a STILL, needed by a ROLL), icon frame, PositionX,
        // PositionY by format, DurMinute, DurSecond, DurFrame by format, in and out slides
        // without a speed, in and out patterns (0xE70F: 9999 with the carried top bits), in and out
        // effect and wait seconds, then frames, and the files.
        const struct
        {
            int offset, value;
            bool word, pal, passes;
        } cases[] = {{3, 0, false, false, true},        {2, 2, false, false, false},
                     {-1, 0, false, false, false},      {-1, 3, false, false, false},
                     {-1, 2, false, false, true},       {8, 720, true, false, true},
                     {8, 721, true, false, false},      {10, 481, true, false, false},
                     {10, 576, true, true, true},       {10, 577, true, true, false},
                     {14, 60, false, false, false},     {13, 60, false, false, false},
                     {12, 29, false, false, true},      {12, 25, false, true, false},
                     {16, 1 << 2, false, false, false}, {24, 2 << 2, false, false, false},
                     {18, 10000, true, false, false},   {26, 10000, true, false, false},
                     {26, 0xE70F, true, false, true},   {21, 60, false, false, false},
                     {23, 60, false, false, false},     {29, 60, false, false, false},
                     {31, 60, false, false, false},     {20, 30, false, false, false},
                     {22, 30, false, false, false},     {28, 25, false, true, false},
                     {30, 30, false, false, false},     {30, 29, false, false, true},
                     {-2, 0, false, false, false},      {-3, 0, false, false, false}};
        for (const auto &c : cases) {
            TitleEntry e = titleOf(p, 1, 2);
            std::uint8_t *b = e.Attributes.bytes().data();
            if (c.offset == -1)
                e.IconFrame = c.value;
            else if (c.offset == -2)
                e.FileList.append(QStringLiteral("/gone.tga"));
            else if (c.offset == -3)
                e.FileList.clear();
            else if (c.word)
                qToLittleEndian<quint16>(quint16(c.value), b + c.offset);
            else
                b[c.offset] = std::uint8_t(c.value);
            const VideoFormatParams &format =
                c.pal ? VideoFormatParams::pal() : VideoFormatParams::ntsc();
            QVERIFY2(CheckTitle(e, format, m_images) == c.passes,
                     qPrintable(QStringLiteral("offset %1 value %2").arg(c.offset).arg(c.value)));
        }
        // Roll and crawl speeds run from 2 to 64.
        for (const auto &[speed, passes] :
             {std::pair{1, false}, {2, true}, {64, true}, {65, false}}) {
            TitleEntry e = titleOf(p, 1);
            e.Attributes.setKind(TitleKind::Crawl);
            e.Attributes.setRollCrawlSpeed(speed);
            QCOMPARE(CheckTitle(e, VideoFormatParams::ntsc(), m_images), passes);
        }
    }
};

QTEST_GUILESS_MAIN(TestTitleList)
#include "test_titlelist.moc"
