// Picture import: sequences, height classes, the title type question, default
// properties and durations, the checks that refuse a picture, and thumbnails.

#include "imaging/Thumbnail.h"
#include "imaging/TitleTypeRules.h"
#include "list/ImageImport.h"
#include "listcore/ListFixtures.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace ListFixtures;
using Kind = TitleTypeKind;

class TestImport : public QObject
{
    Q_OBJECT

private slots:
    void detectSequence()
    {
        TestEnvironment env;
        const QDir d(env.root());
        for (const char *n :
             {"title007.tga", "title008.tga", "title009.tga", "title011.tga", "a9.bmp", "a10.bmp",
              "clip0100.tif", "clip0101.tif", "plain.tga", "x099.tga", "x100.tga"})
            writeFile(d.filePath(n), "");
        const auto following = [&d](const char *name) {
            QStringList list;
            const bool found = ImageImport::DetectSequence(d.filePath(name), list);
            for (QString &file : list)
                file = QFileInfo(file).fileName();
            return found == !list.isEmpty() ? list : QStringList{"inconsistent"};
        };
        QCOMPARE(following("title007.tga"), (QStringList{"title008.tga", "title009.tga"}));
        QCOMPARE(following("a9.bmp"), QStringList{"a10.bmp"}); // plain numbers, no zero fill
        QCOMPARE(following("clip0100.tif"), QStringList{"clip0101.tif"});
        QCOMPARE(following("x099.tga"), QStringList{"x100.tga"}); // zero-filled numbers grow
        QCOMPARE(following("plain.tga"), QStringList{});
        QCOMPARE(following("title009.tga"), QStringList{});

        // At most 240 files follow the chosen one.
        for (int i = 1; i <= 260; ++i)
            writeFile(d.filePath(QStringLiteral("long/f%1.tga").arg(i, 4, 10, QLatin1Char('0'))),
                      "");
        QStringList list;
        QVERIFY(ImageImport::DetectSequence(d.filePath("long/f0001.tga"), list));
        QCOMPARE(list.size(), 240);
        QCOMPARE(list.last(), d.filePath("long/f0241.tga"));
    }

    void heightClassesAndClipping()
    {
        // pal, picture width and height, blocks, title width and height.
        const int cases[][6] = {{0, 720, 486, 8, 640, 480}, {0, 640, 100, 2, 640, 100},
                                {1, 640, 100, 2, 640, 100}, {0, 100, 60, 1, 100, 60},
                                {0, 100, 241, 8, 100, 241}, {1, 100, 72, 1, 100, 72},
                                {1, 800, 288, 4, 768, 288}};
        for (const auto &c : cases) {
            ListHarness x;
            x.pal = c[0];
            QVERIFY(x.editor.AddImageFile(writeTarga(x.path("pic.tga"), c[1], c[2])));
            const TitleAttributes &a = x.list.at(1).Attributes;
            QCOMPARE((QList{a.blocksPerFrame(), a.width(), a.height()}), (QList{c[3], c[4], c[5]}));
            // A single picture is a STILL of one frame, without a question.
            QCOMPARE((QList{int(a.typeFlags()), a.frameCount(), x.list.at(1).IconFrame}),
                     (QList{0, 1, 1}));
            QVERIFY(x.chooser.questions.isEmpty());
        }
    }

    void variantsOfferedKinds()
    {
        // Full width and height, full width only, full height only, neither.
        const int sizes[4][2] = {{640, 480}, {720, 100}, {300, 500}, {300, 100}};
        for (int variant = 0; variant < 4; ++variant) {
            const auto [w, h] = sizes[variant];
            ListHarness x;
            const QStringList seq = writeSequence(x.env.root(), "v", 1, 3, 2, w, h);
            x.chooser.cancel();
            QVERIFY(!x.editor.AddImageFile(seq.first()));
            QCOMPARE(x.list.count() + x.boxes.shownIds().size(), 0);
            QCOMPARE(x.chooser.questions.size(), 1);
            const TitleTypeQuestion &q = x.chooser.questions.first();
            QCOMPARE((QList{q.variant, q.framesPerSecond, q.fullWidth, q.fullHeight}),
                     (QList{variant, 30, 640, 480}));
            QCOMPARE(q.fileList, seq);
            // Movies first, STILL last; rolls need the full height, crawls the full width.
            const QList<Kind> kinds = TitleTypeRules::kindsForVariant(q.variant);
            QVERIFY(kinds.first() == Kind::MovieOnce && kinds.last() == Kind::Still);
            QCOMPARE((QList{kinds.contains(Kind::RollDown), kinds.contains(Kind::CrawlRight)}),
                     (QList{h >= 480, w >= 640}));
            // A kind the variant does not offer counts as a cancel.
            x.chooser.answer(variant == 3 ? Kind::RollUp : Kind::Still, 3, 1);
            QCOMPARE(x.editor.AddImageFile(seq.first()), variant != 3);
            // An IntVideo clip is always asked with variant 3.
            ImageImport import(x.services);
            TitleEntry e = TitleEntry::create();
            x.chooser.answer(Kind::Still, 1, 1);
            QVERIFY(import.MakeTitleFromImage(seq.first(), e, true));
            QCOMPARE(x.chooser.questions.last().variant, 3);
            QVERIFY(x.chooser.questions.last().isIntVideo);
        }
        // Any other variant offers what the smallest does. A record's type flags name their kind;
        // the direction bit alone is a still.
        QCOMPARE(TitleTypeRules::kindsForVariant(7), TitleTypeRules::kindsForVariant(3));
        QCOMPARE(TitleTypeRules::frameMaximum(1500, 25), 1499); // below 60 s in PAL too
        QCOMPARE(TitleTypeRules::kindOfTypeFlags(0x87), Kind::CrawlRight);
        QCOMPARE(TitleTypeRules::kindOfTypeFlags(0x04), Kind::Still);
    }

    void answerShapesTheTitle()
    {
        ListHarness x;
        const QStringList seq = writeSequence(x.env.root(), "m", 1, 5, 3, 640, 480);
        QSignalSpy refresh(&x.editor, &ListEditor::memoryRefreshRequested);
        x.chooser.answer(Kind::MovieRepeat, 3, 2);
        // The frames are checked while events keep flowing.
        QVERIFY(x.editor.AddImageFile(seq.first()) && x.waits.waitCount > 0);
        const TitleEntry &e = x.list.at(1);
        QCOMPARE((QStringList{e.FileList.join(u','), e.Name}),
                 (QStringList{seq.mid(0, 3).join(u','), QStringLiteral("m001.tga")}));
        QCOMPARE((QList{e.Attributes.frameCount(), e.IconFrame, int(e.Attributes.typeFlags()),
                        int(e.Attributes.memoryNo())}),
                 (QList{3, 2, 5, 0xFFFE}));
        // STILL keeps one frame and icon 1, whatever the counters said.
        x.chooser.answer(Kind::Still, 4, 4);
        QVERIFY(x.editor.AddImageFile(seq.first()));
        QVERIFY(x.list.at(2).FileList == seq.mid(0, 1) && x.list.at(2).IconFrame == 1);
        // Counters out of range are brought back within them.
        x.chooser.answer(Kind::MovieOnce, 99, 9);
        QVERIFY(x.editor.AddImageFile(seq.first()));
        QCOMPARE((QList{x.list.at(3).Attributes.frameCount(), x.list.at(3).IconFrame}),
                 (QList{5, 5}));
        // Each title added asks the memory side to check the fit again.
        QCOMPARE(refresh.count(), 3);
    }

    void kindsAndDurations()
    {
        // Type flags, duration and out trigger by kind. MOVIE ONCE: the frames' own time.
        // ROLL: (frames + 1) x 480 / (2 x 8) = 120 frames, 4 s. CRAWL at speed 7:
        // (3 + 1) x 720 / 14 = 205.7, rounded up to 206 frames, 6 s 26 f. ROLL DOWN in PAL at
        // speed 2: 4 x 576 / 4 = 576 frames at 25, 23 s 1 f. MOVIE REPEAT: the default (1:02:03).
        const struct
        {
            bool pal;
            Kind kind;
            int frames, speed, typeFlags, minute, second, frame;
            bool outAuto;
        } cases[] = {{false, Kind::MovieOnce, 3, 8, 1, 0, 0, 3, true},
                     {false, Kind::MovieOnce, 95, 8, 1, 0, 3, 5, true},
                     {true, Kind::MovieOnce, 60, 8, 1, 0, 2, 10, true},
                     {false, Kind::RollUp, 3, 8, 2, 0, 4, 0, true},
                     {false, Kind::CrawlLeft, 3, 7, 3, 0, 6, 26, true},
                     {true, Kind::RollDown, 3, 2, 6, 0, 23, 1, true},
                     {false, Kind::MovieRepeat, 3, 8, 5, 1, 2, 3, false}};
        for (const auto &c : cases) {
            ListHarness x;
            x.pal = c.pal;
            x.settings.Default.RollSpeed = c.speed;
            x.settings.Default.CrawlSpeed = c.speed | 0x80;
            x.settings.Default.MovieDurMinute = 1;
            x.settings.Default.MovieDurSecond = 2;
            x.settings.Default.MovieDurFrame = 3;
            const QStringList seq = writeSequence(x.env.root(), "d", 1, c.frames, 3,
                                                  c.pal ? 768 : 640, c.pal ? 576 : 480);
            x.chooser.answer(c.kind, c.frames, 1);
            QVERIFY(x.editor.AddImageFile(seq.first()));
            const TitleAttributes &a = x.list.at(1).Attributes;
            QCOMPARE((QList{int(a.typeFlags()), a.frameCount(), a.durMinute(), a.durSecond(),
                            a.durFrame(), int(a.autoTrigger(Effect::Out))}),
                     (QList{c.typeFlags, c.frames, c.minute, c.second, c.frame, int(c.outAuto)}));
            if (c.kind == Kind::CrawlLeft)
                QCOMPARE(int(a.rollCrawlSpeedByte()), c.speed | 0x80);
        }
    }

    void defaultsSlideResetAndPositions()
    {
        ListHarness x;
        DefaultTitleSettings &d = x.settings.Default;
        d.InEffType = 0x02 | (1 << 2);  // wipe, slide up
        d.OutEffType = 0x01 | (3 << 2); // auto trigger, slide left
        d.InEffPattern = 0xC000 | 25;
        d.PositionX = 100;
        d.PositionYNtsc = 50;
        d.StillDurSecond = 7;
        // A short picture (2 blocks) cannot slide vertically: up is reset, left stays.
        QVERIFY(x.editor.AddImageFile(writeTarga(x.path("short.tga"), 640, 100)));
        TitleAttributes a = x.list.at(1).Attributes;
        QCOMPARE((QList{a.slideDirection(Effect::In), int(a.isPattern(Effect::In)),
                        a.slideDirection(Effect::Out), int(a.effPatternWord(Effect::In))}),
                 (QList{0, 1, 3, 0xC000 | 25}));
        QCOMPARE((QList{a.positionX(), a.positionY(), a.durSecond(), a.slideSpeed(Effect::In),
                        a.effTimeSecond(Effect::Out)}),
                 (QList{100, 50, 7, 8, 2}));
        // A full picture keeps the vertical slide.
        QVERIFY(x.editor.AddImageFile(writeTarga(x.path("full.tga"), 640, 480)));
        QCOMPARE(x.list.at(2).Attributes.slideDirection(Effect::In), 1);
        // A roll starts at the top, a crawl at the left edge; neither slides.
        const QStringList seq = writeSequence(x.env.root(), "r", 1, 2, 1, 640, 480);
        x.chooser.answer(Kind::RollUp, 2, 1);
        x.chooser.answer(Kind::CrawlLeft, 2, 1);
        QVERIFY(x.editor.AddImageFile(seq.first()) && x.editor.AddImageFile(seq.first()));
        a = x.list.at(3).Attributes;
        QCOMPARE((QList{a.positionX(), a.positionY(), a.slideDirection(Effect::In),
                        a.slideDirection(Effect::Out)}),
                 (QList{100, 0, 0, 0}));
        a = x.list.at(4).Attributes;
        QCOMPARE((QList{a.positionX(), a.positionY()}), (QList{0, 50}));
        x.pal = true;
        d.PositionYPal = 70;
        QVERIFY(x.editor.AddImageFile(writeTarga(x.path("pal.tga"), 768, 576)));
        QCOMPARE(x.list.at(5).Attributes.positionY(), 70);
    }

    void effectPatternsCheckedWhileConnected()
    {
        ListHarness x;
        x.settings.Default.InEffPattern = 0x4000 | 3000;
        x.settings.Default.OutEffPattern = 12;
        std::optional<std::pair<std::uint16_t, std::uint16_t>> reply{{0xFFFF, 1}};
        int asked = 0;
        x.services.checkEffectPatterns = [&](std::uint16_t, std::uint16_t) {
            ++asked;
            return reply;
        };
        QVERIFY(x.editor.AddImageFile(writeTarga(x.path("a.tga"), 640, 480)));
        QCOMPARE(asked, 0);
        x.connected = true;
        QVERIFY(x.editor.AddImageFile(writeTarga(x.path("b.tga"), 640, 480)));
        QCOMPARE(asked, 1);
        // The reply replaces the low 14 bits; the top two are kept.
        const TitleAttributes &a = x.list.at(2).Attributes;
        QCOMPARE((QList{int(a.effPatternWord(Effect::In)), int(a.effPatternWord(Effect::Out))}),
                 (QList{0x4000 | 0x3FFF, 1}));
        reply.reset(); // the request failed: the defaults stay
        QVERIFY(x.editor.AddImageFile(writeTarga(x.path("c.tga"), 640, 480)));
        QCOMPARE(int(x.list.at(3).Attributes.effPatternWord(Effect::In)), 0x4000 | 3000);
    }

    void refusals()
    {
        ListHarness x;
        QVERIFY(!x.editor.AddImageFile(x.path("nothing.tga")));
        QCOMPARE(x.boxes.shownIds(), QList<int>{87});
        x.boxes.clear();
        // Not a picture: refused without a message.
        writeFile(x.path("junk.tga"), "this is not a picture at all");
        QVERIFY(!x.editor.AddImageFile(x.path("junk.tga")));
        QCOMPARE(x.boxes.shownIds(), QList<int>{});
        // A path the list file cannot hold: refused, never cut.
        QString deep = x.env.root();
        while (deep.toUtf8().size() < 300)
            deep += QStringLiteral("/folder_with_a_rather_long_name");
        QVERIFY(!x.editor.AddImageFile(writeTarga(deep + "/p.tga", 64, 48)));
        QVERIFY(!x.editor.AddImageFile(
            writeTarga(x.path(QStringLiteral("smile\U0001F600.tga")), 64, 48)));
        QCOMPARE(x.boxes.shownIds(), (QList<int>{156, 156}));
        QVERIFY(x.boxes.shown().first().text.contains("folder_with_a_rather_long_name"));
        QCOMPARE(x.list.count(), 0);
        x.boxes.clear();
        // The 99-title limit.
        for (int i = 0; i < 99; ++i)
            x.list.insert(x.list.count() + 1, TitleEntry::create());
        QVERIFY(!x.editor.AddImageFile(writeTarga(x.path("p.tga"), 64, 48)));
        QCOMPARE(x.boxes.shownIds(), QList<int>{105});
        QCOMPARE(x.list.count(), 99);
        // The header reads but the pixels do not (message 122): such a title could never be sent.
        x.list.clear();
        const QString whole = writeTarga(x.path("whole.tga"), 64, 48);
        writeFile(x.path("cut.tga"), readFile(whole).left(readFile(whole).size() / 2));
        writeTarga(x.path("giant.tga"), 16384, 16384);
        for (const char *name : {"cut.tga", "giant.tga"}) {
            x.boxes.clear();
            QVERIFY(x.images.fileInfo(x.path(name)) && !x.editor.AddImageFile(x.path(name)));
            QCOMPARE(x.boxes.shownIds(), QList<int>{122});
            QVERIFY(x.boxes.shown().first().text.contains(QStringLiteral("[ %1 ]").arg(name)));
            QCOMPARE(x.list.count(), 0);
            QVERIFY(!x.editor.Modified());
        }
        // The icon frame of a sequence counts, not the first one.
        const QStringList seq = writeSequence(x.env.root(), "s", 1, 2, 1, 64, 48);
        x.images.failLoads.insert(seq.at(1));
        x.chooser.answer(Kind::MovieOnce, 2, 2);
        QVERIFY(!x.editor.AddImageFile(seq.first()));
        x.chooser.answer(Kind::MovieOnce, 2, 1);
        QVERIFY(x.editor.AddImageFile(seq.first()));
    }

    void sequenceChecks()
    {
        ListHarness x;
        // The third frame is one pixel narrower: 121 after the question.
        QStringList seq = writeSequence(x.env.root(), "w", 1, 4, 2, 640, 480);
        writeTarga(seq.at(2), 639, 480);
        x.chooser.answer(Kind::MovieOnce, 4, 1);
        QVERIFY(!x.editor.AddImageFile(seq.first()));
        QCOMPARE(x.boxes.shownIds(), QList<int>{121});
        QCOMPARE(x.chooser.questions.size(), 1);
        // Keeping only the first two frames avoids the odd one.
        x.boxes.clear();
        x.chooser.answer(Kind::MovieOnce, 2, 1);
        QVERIFY(x.editor.AddImageFile(seq.first()));
        QCOMPARE(x.list.count(), 1);
        // An unreadable member: refused without a message.
        writeFile(seq.at(1), "broken");
        x.chooser.answer(Kind::MovieOnce, 4, 1);
        QVERIFY(!x.editor.AddImageFile(seq.first()));
        QCOMPARE(x.boxes.shownIds(), QList<int>{});
        // A gap ends the sequence.
        const QStringList gap = writeSequence(x.env.root(), "gap", 1, 2, 2, 640, 480);
        writeTarga(x.path("gap04.tga"), 640, 480);
        x.chooser.answer(Kind::MovieOnce, 10, 1);
        QVERIFY(x.editor.AddImageFile(gap.first()));
        QCOMPARE(x.list.at(2).FileList, gap);
    }

    void thumbnailPlacement()
    {
        const VideoFormatParams &ntsc = VideoFormatParams::ntsc();
        Bitmap full(640, 480, 32);
        full.fill(0, 0, 640, 480, 0xFF0000);
        const auto red = [](const Bitmap &t, int x, int y) { return int(t.row(y)[x * 3 + 2]); };
        // Fills the thumbnail exactly.
        Bitmap t = Thumbnail::rendered(full, 0, 0, ntsc, false);
        QCOMPARE((QList{t.width(), t.height(), t.bitsPerPixel()}), (QList{112, 84, 24}));
        QCOMPARE((QList{red(t, 0, 0), red(t, 111, 0), red(t, 0, 83), red(t, 111, 83)}),
                 QList<int>(4, 0xFF));
        // 16:9: picture on lines 11-72 between grey bars.
        t = Thumbnail::rendered(full, 0, 0, ntsc, true);
        QCOMPARE((QList{int(t.row(10)[0]), red(t, 0, 11), red(t, 0, 72), int(t.row(73)[0])}),
                 (QList{0xAA, 0xFF, 0xFF, 0xAA}));
        // PositionX 360 starts at column 56; PositionY 240 at line 42.
        t = Thumbnail::rendered(full, 360, 240, ntsc, false);
        QCOMPARE((QList{red(t, 55, 50), red(t, 56, 50), red(t, 60, 41), red(t, 60, 42)}),
                 (QList{0x00, 0xFF, 0x00, 0xFF}));
        // PAL: a 768 x 576 picture fills it as well.
        Bitmap palFull(768, 576, 32);
        palFull.fill(0, 0, 768, 576, 0xFF0000);
        QCOMPARE(red(Thumbnail::rendered(palFull, 0, 0, VideoFormatParams::pal(), false), 111, 83),
                 0xFF);
        // One field: odd lines are never seen.
        Bitmap lines(640, 480, 32);
        for (int y = 0; y < 480; y += 2)
            lines.fill(0, y, 640, 1, 0x0000FF);
        t = Thumbnail::rendered(lines, 0, 0, ntsc, false);
        for (int y = 0; y < 84; ++y)
            QCOMPARE(t.row(y)[0], std::uint8_t(0xFF));
        // Pictures of one line, or thumbnails of another size, draw nothing harmful.
        QCOMPARE(Thumbnail::rendered(Bitmap(640, 1, 32), 0, 0, ntsc, false).row(0)[0], 0);
        Bitmap wrong(10, 10, 24);
        QVERIFY(!Thumbnail::render(wrong, full, 0, 0, ntsc, false));
        // A picture that cannot be loaded: message 122 with its name, the thumbnail as it was.
        ListHarness x;
        t = Bitmap(112, 84, 24);
        t.fill(0, 0, 112, 84, 0x123456);
        const Bitmap before = t;
        QVERIFY(
            !Thumbnail::MakeThumbnail(t, x.path("gone.tga"), 0, 0, ntsc, false, x.images, x.boxes));
        QCOMPARE(x.boxes.shownIds(), QList<int>{122});
        QVERIFY(x.boxes.shown().first().text.contains("[ gone.tga ]") && t == before);
        // Any picture size and any stored position stays within the thumbnail.
        for (const auto &[x, y] : {std::pair{-32768, 32767}, {32767, -32768}})
            QCOMPARE(Thumbnail::rendered(Bitmap(1500, 1200, 32), x, y, ntsc, true).width(), 112);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
