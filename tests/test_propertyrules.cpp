// The property rules both property dialogs and the command line share: the
// exit checks, the roll/crawl run time, the linked wipe patterns, the working
// copy of a title and of the defaults, the mark rule and the property command.

#include "core/RollCrawlDuration.h"
#include "core/VideoFormatParams.h"
#include "device/DeviceCommands.h"
#include "device/DeviceSession.h"
#include "listcore/ListFixtures.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "properties/DefaultProperties.h"
#include "properties/DefaultPropertyValues.h"
#include "properties/PropertyCommand.h"
#include "properties/PropertyRules.h"
#include "properties/StoredTitleUpdate.h"
#include "properties/TitleProperties.h"

#include <QTest>

using namespace ListFixtures;
namespace R = PropertyRules;

class TestPropertyRules : public QObject
{
    Q_OBJECT

private slots:
    void exitChecks_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        const auto row = [](const char *name, const char *field, const QString &typed,
                            const QString &stored) {
            QTest::newRow(name) << QString(field) << typed << stored;
        };
        // Wait and effect times (NTSC unless the field says PAL).
        row("wait 30:05", "time", "3005", "3000");
        row("wait 31:10", "time", "3110", "3000");
        row("PAL frames 29", "time pal", "0229", "0200");
        row("NTSC frames 29", "time", "0529", "0529");
        row("seconds not a number", "time", "ab12", "0212");
        row("negative seconds", "time", "-105", "0205");
        // Durations of a STILL or MOVIE.
        row("00:00:00", "duration", "000000", "001000");
        row("60 seconds", "duration", "006000", "001000");
        row("frames 30", "duration", "000030", "001000");
        row("59:59:29", "duration", "595929", "595929");
        row("digits missing", "duration", "0010", "001000");
        // Speeds.
        row("speed 7", "speed", "7", "8");
        row("speed 65", "speed", "65", "2");
        row("speed 0", "speed", "0", "2");
        row("speed 63", "speed", "63", "64");
        row("speed text", "speed", "fast", "2");
        // Positions: the title's (X 0..719, Y 0..478 NTSC) and the defaults'.
        row("title X 720", "title x", "720", "0");
        row("title Y 477", "title y", "477", "478");
        row("title Y 479", "title y", "479", "0");
        row("default X 720", "default x", "720", "720");
        row("default Y NTSC 481", "default y ntsc", "481", "0");
        row("default Y NTSC 479", "default y ntsc", "479", "480");
        row("default Y PAL 575", "default y pal", "575", "576");
        // Patterns and the movie interval.
        row("pattern -3", "pattern", "-3", "0");
        row("pattern text", "pattern", "x1", "0");
        row("pattern 20000", "pattern", "20000", "9999");
        row("interval 256", "interval", "256", "0");
        row("interval 255", "interval", "255", "255");
        // Names and comments: 128 bytes of the list file's code page.
        row("name of 128 letters", "text", QString(128, 'a'), QString(128, 'a'));
        row("name of 129 letters", "text", QString(129, 'a'), QString(128, 'a'));
        row("name of 70 kana", "text", QString(70, QChar(0x30A2)), QString(64, QChar(0x30A2)));
        row("kana after 127 letters", "text", QString(127, 'a') + QChar(0x30A2), QString(127, 'a'));
    }
    void exitChecks()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QString result;
        if (field.startsWith("time"))
            result = R::shortTime(typed, field.endsWith("pal") ? 25 : 30);
        else if (field == "duration")
            result = R::duration(typed, 30, std::nullopt);
        else if (field == "speed")
            result = R::speed(typed);
        else if (field == "title x")
            result = R::positionX(typed, 719);
        else if (field == "title y")
            result = R::positionY(typed, 478);
        else if (field == "default x")
            result = DefaultPropertyValues::checkedPositionX(typed);
        else if (field == "default y ntsc")
            result = DefaultPropertyValues::checkedPositionYNtsc(typed);
        else if (field == "default y pal")
            result = DefaultPropertyValues::checkedPositionYPal(typed);
        else if (field == "pattern")
            result = R::pattern(typed);
        else if (field == "text")
            result = R::textField(typed);
        else
            result = R::movieInterval(typed);
        QCOMPARE(result, stored);
    }

    void rollCrawlRunTime()
    {
        const VideoFormatParams &ntsc = VideoFormatParams::ntsc();
        // 480 x 4 lines at 16 a frame: 120 frames, 4 seconds.
        QCOMPARE(RollCrawlDuration(3, 16, true, ntsc), (Duration{0, 4, 0}));
        // 720 x 2 pixels at 4 a frame under PAL: 360 frames, 14 s 10 frames.
        QCOMPARE(RollCrawlDuration(1, 4, false, VideoFormatParams::pal()), (Duration{0, 14, 10}));
        // A part of a step still takes a frame: 1441 / 4 -> 361.
        QCOMPARE(RollCrawlDuration(1, 2, false, ntsc), (Duration{0, 24, 0}));
        // Beyond what a record holds: the longest duration.
        QCOMPARE(RollCrawlDuration(60000, 4, true, ntsc), (Duration{59, 59, 29}));
        // A ROLL's duration is capped by its run time: beyond it, back to the run time.
        QCOMPARE(R::duration("000401", 30, Duration{0, 4, 0}), QString("000400"));
        QCOMPARE(R::duration("000329", 30, Duration{0, 4, 0}), QString("000329"));
    }

    void linkedPatterns()
    {
        EffectLink link;
        link.fill(true, "5", false, "7");
        QVERIFY(link.outChoiceEnabled() && !link.outTextEnabled());
        // 3001 typed on the in side: the out side follows it and is locked.
        link.leaveInPattern("3001");
        QCOMPARE(link.outText(), QString("3001"));
        QVERIFY(link.outPattern() && !link.outChoiceEnabled() && !link.outTextEnabled());
        // 12 afterwards: unlocked, and the out side takes 12.
        link.leaveInPattern("12");
        QCOMPARE(link.outText(), QString("12"));
        QVERIFY(link.outChoiceEnabled() && link.outTextEnabled());
        // A combined pattern typed on the out side becomes the in side's.
        link.leaveOutPattern("3500");
        QCOMPARE(link.inText(), QString("3500"));
        QVERIFY(link.inPattern() && !link.outChoiceEnabled());
        // Diss on the in side with such a number forces the out side to Diss.
        link.chooseInDiss();
        QVERIFY(!link.outPattern() && !link.outChoiceEnabled() && !link.inTextEnabled());
        link.chooseInPattern();
        QVERIFY(link.outPattern() && !link.outChoiceEnabled());
        // Opening a title whose in pattern is combined links it at once.
        EffectLink opened;
        opened.fill(true, "3100", false, "1");
        QVERIFY(opened.outPattern() && !opened.outChoiceEnabled());
        QCOMPARE(opened.outText(), QString("3100"));
    }

    void titleWorkingCopy()
    {
        TitleEntry movie = titleOf("/p/m.tga", 4, 5);
        TitleAttributes &a = movie.Attributes;
        a.setKind(TitleKind::Movie);
        a.bytes()[2] |= 0x70; // unused type bits
        a.setEffPatternWord(Effect::In, 0xC000 | 21);
        a.setSlideSpeedByte(Effect::Out, 0x80 | 10);
        a.setSlideDirection(Effect::In, 2); // down, on a half-height title
        TitleProperties p = TitleProperties::of(movie, VideoFormatParams::ntsc());
        // A MOVIE of 4 blocks a frame has no vertical slides; the bits 14-15 are
        // not part of the pattern number.
        QVERIFY(p.slides() && !p.verticalSlides());
        QCOMPARE(p.patterns.inText(), QString("21"));
        p.movieRepeat = true;
        p.movieInterval = "9";
        p.in.slideDirection = 3;
        p.out.slideSpeed = "12";
        p.applyTo(movie);
        QCOMPARE(a.typeFlags(), std::uint8_t(0x75));
        QCOMPARE(a.effPatternWord(Effect::In), std::uint16_t(0xC000 | 21));
        QCOMPARE(a.slideSpeedByte(Effect::Out), std::uint8_t(0x80 | 12));
        QCOMPARE(QList({a.movieInterval(), a.slideDirection(Effect::In)}), QList({9, 3}));

        // A ROLL of 3 frames at speed 8 on NTSC runs 00:04:00; its Y is fixed.
        TitleEntry roll = titleOf("/p/r.tga", 8, 3);
        roll.Attributes.setKind(TitleKind::Roll);
        roll.Attributes.setRollCrawlSpeedByte(0x80 | 4);
        roll.Attributes.setSlideDirection(Effect::Out, 1);
        TitleProperties r = TitleProperties::of(roll, VideoFormatParams::ntsc());
        QVERIFY(!r.slides() && !r.positionYEnabled() && !r.outTriggerEnabled());
        r.rollCrawlSpeedChanged("8");
        QCOMPARE(r.duration, QString("000400"));
        r.rollCrawlReverse = true;
        r.applyTo(roll);
        QCOMPARE(roll.Attributes.rollCrawlSpeedByte(), std::uint8_t(0x80 | 8));
        QVERIFY(roll.Attributes.rollDown());
        // Slides are left as they were for a ROLL.
        QCOMPARE(roll.Attributes.slideDirection(Effect::Out), 1);
        QCOMPARE(roll.Attributes.durSecond(), 4);
    }

    void markHeldByAnotherTitle()
    {
        // Answered No here; Yes through the property dialog's test.
        ScriptedMessageBoxes boxes;
        TitleList list;
        for (int i = 1; i <= 12; ++i)
            list.insert(i, titleOf(QString("/p/t%1.tga").arg(i)));
        list.at(12).Mark = 3;
        QCOMPARE(TitleProperties::markItems(list, 5).at(2), QString("2"));
        QCOMPARE(TitleProperties::markItems(list, 12).at(3), QString("3"));
        boxes.answer(IdNo);
        QCOMPARE(TitleProperties::chooseMark(list, 5, 3, boxes), 0);
        QCOMPARE(boxes.shownIds(), QList<int>{102});
        QVERIFY(boxes.shown().first().text.contains("Mark3") &&
                boxes.shown().first().text.contains("Order12"));
        QCOMPARE(list.at(12).Mark, 3);
    }

    void defaultsRecord()
    {
        // The program's own values are the settings' missing-value defaults.
        DefaultTitleSettings fresh;
        QCOMPARE(DefaultProperties::fromSettings(fresh), DefaultProperties::factory());
        DefaultTitleSettings s;
        s.StillDurSecond = 7;
        s.MovieDurFrame = 3;
        s.RollSpeed = 0x88;
        s.PositionYPal = 574;
        s.InEffType = 0x01 | 0x02 | (4 << 2);
        s.InEffPattern = 0x4000 | 3001;
        s.OutEffTimeSecond = 29;
        const DefaultProperties d = DefaultProperties::fromSettings(s);
        const auto &b = d.bytes();
        // Eleven words: durations (frame, second, minute), speeds, positions, effects.
        QCOMPARE(QList<int>({b[1], b[4], b[8], b[24], b[25]}),
                 QList<int>({7, 3, 0x88, 0x3E, 0x02}));
        QCOMPARE(QList<int>({b[28], b[30], b[31], b[41]}), QList<int>({0x13, 0xB9, 0x4B, 29}));
        DefaultTitleSettings back;
        d.toSettings(back);
        QCOMPARE(back, s);

        // The dialog's copy: the in side's auto trigger and wait pass through,
        // the speed's bit 7 is kept, the pattern's bits 14-15 too.
        DefaultProperties edited = d;
        TitleAttributes e = edited.effects();
        e.setWaitSecond(Effect::In, 5);
        edited.setEffects(e);
        DefaultPropertyValues v = DefaultPropertyValues::of(edited, 30);
        v.rollSpeed = "10";
        v.in.autoTrigger = false;
        v.in.wait = "0000";
        v.patterns.leaveInPattern("12");
        v.applyTo(edited);
        QCOMPARE(edited.rollSpeed(), 0x80 | 10);
        QVERIFY(edited.effects().autoTrigger(Effect::In));
        QCOMPARE(edited.effects().waitSecond(Effect::In), 5);
        QCOMPARE(edited.effects().effPatternWord(Effect::In), std::uint16_t(0x4000 | 12));
        QCOMPARE(edited.effects().effPattern(Effect::Out), 12);
    }

    void propertyCommand()
    {
        ListHarness x;
        x.list.insert(1, titleOf(writeTarga(x.path("a.tga"), 64, 48)));
        x.list.insert(2, titleOf(writeTarga(x.path("b.tga"), 64, 48)));
        x.list.SetCursor(2);
        TitleAttributes &a = x.list.at(2).Attributes;
        a.setMemoryNo(7);
        a.setEffPatternWord(Effect::Out, 0x8000 | 40);
        int opened = 0;
        bool ok = false;
        PropertyCommand command(x.editor, [&](int order) {
            ++opened;
            if (ok)
                x.list.at(order).Attributes.setPositionX(100);
            return ok;
        });
        QList<std::uint16_t> written;
        command.setStoredTitleWriter(
            [&](const TitleAttributes &stored) { written << stored.memoryNo(); });
        x.connected = true;
        x.services.checkEffectPatterns = [](std::uint16_t in, std::uint16_t out) {
            return std::optional(std::pair<std::uint16_t, std::uint16_t>(in + 1, out + 2));
        };
        // The title on air is refused before the dialog opens.
        x.list.setOnAirMemoryNo(7);
        QVERIFY(!command.run());
        QCOMPARE(x.boxes.shownIds(), QList<int>{136});
        x.list.setOnAirMemoryNo(MemoryNo::None);
        // Cancel changes nothing.
        QVERIFY(!command.run());
        QVERIFY(written.isEmpty() && !x.editor.Modified());
        // OK: the device's patterns (bits 14-15 kept), the stored copy, the caption.
        ok = true;
        QVERIFY(command.run());
        QCOMPARE(opened, 2);
        QCOMPARE(a.effPatternWord(Effect::Out), std::uint16_t(0x8000 | 42));
        QCOMPARE(written, QList<std::uint16_t>{7});
        QVERIFY(x.editor.Modified());
        // A title that is not stored is changed in the list alone.
        x.list.SetCursor(1);
        QVERIFY(command.run());
        QCOMPARE(written.size(), 1);
    }

    void storedTitleReachesTheMixer()
    {
        ListHarness x;
        auto owned = std::make_unique<VirtualMixer>(x.waits);
        VirtualMixer &mixer = *owned;
        mixer.setEffectPatternCount(100);
        TitleList deviceList;
        DeviceSession session(std::make_unique<VirtualMixerBackend>(std::move(owned)), deviceList,
                              x.images, x.waits, x.boxes);
        QVERIFY(session.Start());
        DeviceCommands commands(session.link());
        const auto slot = DeviceCommands::parseAllocation(*commands.AllocTitleMemory(1, false, 1));
        TitleEntry title = titleOf(writeTarga(x.path("a.tga"), 64, 48), 1);
        title.Attributes.setMemoryNo(slot.memoryNo);
        title.Attributes.setDeviceWord(slot.deviceWord);
        title.Attributes.setEffPatternWord(Effect::In, 0x4000 | 50);
        title.Attributes.setEffPatternWord(Effect::Out, 500);
        x.list.insert(1, title);
        x.list.SetCursor(1);
        x.connected = true;
        x.services.checkEffectPatterns = [&](std::uint16_t in, std::uint16_t out) {
            return StoredTitleUpdate::CheckEffectPatterns(session.link(), in, out);
        };
        bool protect = true;
        PropertyCommand command(x.editor, [&](int order) {
            x.list.at(order).Attributes.setProtect(protect);
            x.list.at(order).Attributes.setDurSecond(42);
            return true;
        });
        command.setStoredTitleWriter([&](const TitleAttributes &a) {
            QVERIFY(StoredTitleUpdate::WriteStoredTitle(session.link(), a));
        });
        QVERIFY(command.run());
        const auto header = mixer.titleHeader(slot.memoryNo);
        QVERIFY(header && header->size() == TitleAttributes::Size);
        QCOMPARE(TitleAttributes::fromBytes(reinterpret_cast<const std::uint8_t *>(header->data()))
                     .durSecond(),
                 42);
        QVERIFY(mixer.item(slot.memoryNo)->isProtected);
        // The mixer keeps pattern 50 and has no pattern 500; the carried bits stay.
        const TitleAttributes &a = x.list.at(1).Attributes;
        QCOMPARE(QList({a.effPatternWord(Effect::In), a.effPatternWord(Effect::Out)}),
                 QList<std::uint16_t>({0x4000 | 50, 0}));
        protect = false;
        QVERIFY(command.run());
        QVERIFY(!mixer.item(slot.memoryNo)->isProtected);
    }
};

QTEST_GUILESS_MAIN(TestPropertyRules)
#include "test_propertyrules.moc"
