// The main window with a real send list (stills, a movie, a roll and a crawl
// imported from generated pictures), drawn in both views. The grabs are
// checked for the cells' colours; with TITLEDECK_SCREENS_DIR set they are also
// written there as PNG files for a person to look at.

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "imaging/TFormTitleType.h"
#include "list/ImageImport.h"
#include "list/ListEditor.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"
#include "list/TitleList.h"
#include "listui/ListUiFixtures.h"
#include "memory/ListGrid.h"
#include "memory/ListGridCellDrawer.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QTest>

using namespace ListUiFixtures;

class TestScreens : public QObject
{
    Q_OBJECT

    // Imports the pictures into a list file with the program's own import.
    QString makeList(WindowRig &rig)
    {
        const QString pics = rig.folder(QStringLiteral("pictures"));
        MagickImageLibrary &im = rig.images;
        writePicture(im, pics + QStringLiteral("/opening.tga"), 640, 480, QColor(20, 40, 120),
                     QStringLiteral("OPENING"));
        writePicture(im, pics + QStringLiteral("/lower third.tga"), 640, 120, QColor(0, 0, 0),
                     QStringLiteral("Anna Berg - Reporter"), QColor(255, 220, 0));
        writePicture(im, pics + QStringLiteral("/logo.bmp"), 200, 100, QColor(200, 30, 30),
                     QStringLiteral("LOGO"));
        const QString movie = writeSequence(im, pics, QStringLiteral("spin"), 12, 640, 480,
                                            QColor(10, 110, 60), QStringLiteral("SPIN"));
        const QString roll = writeSequence(im, pics, QStringLiteral("credits"), 3, 320, 480,
                                           QColor(30, 30, 30), QStringLiteral("Credits"));
        const QString crawl = writeSequence(im, pics, QStringLiteral("ticker"), 4, 640, 60,
                                            QColor(90, 0, 90), QStringLiteral("NEWS TICKER"));
        writePicture(im, pics + QStringLiteral("/closing.jpg"), 640, 480, QColor(60, 60, 60),
                     QStringLiteral("THE END"));

        ScriptedChooser chooser;
        chooser.answer(TitleTypeKind::MovieOnce, 12, 4);
        chooser.answer(TitleTypeKind::RollUp, 3, 1);
        chooser.answer(TitleTypeKind::CrawlRight, 4, 2);
        Settings settings = rig.window->settings();
        settings.Environment.HistoryMode = 2;
        settings.Default.InEffType = 0x03; // auto in, pattern
        settings.Default.InEffPattern = 12;
        PropertyHistory history(rig.env.path(QStringLiteral("fixture.vth")), rig.waits);
        ListServices services{rig.boxes, rig.images, rig.waits, settings, history, chooser};
        TitleList list;
        ListEditor editor(list, services);
        for (const QString &f :
             {pics + QStringLiteral("/opening.tga"), pics + QStringLiteral("/lower third.tga"),
              movie, roll, crawl, pics + QStringLiteral("/logo.bmp"),
              pics + QStringLiteral("/closing.jpg")})
            if (!editor.AddImageFile(f))
                qWarning() << "not added" << f << rig.boxes.shownIds();
        list.at(1).Comment = QStringLiteral("Show opener, full screen");
        list.at(2).Comment = QStringLiteral("Interview guest");
        list.at(2).Attributes.setPositionY(330);
        list.at(2).Mark = 3;
        list.at(3).Attributes.setEffectFlags(Effect::Out, 0x03 | (4 << 2));
        list.at(4).Comment = QStringLiteral("End credits");
        list.at(6).Attributes.setPositionX(420);
        list.at(6).Attributes.setPositionY(20);
        list.at(6).Attributes.setEffectFlags(Effect::In, 0x02 | (3 << 2));
        list.at(6).Attributes.setSlideSpeed(Effect::In, 8);
        list.at(6).Mark = 1;
        const QString path = rig.folder(QStringLiteral("lists")) + QStringLiteral("/show1.vtl");
        editor.SaveList(path, true);
        return path;
    }

    void save(const QImage &image, const QString &name)
    {
        const QByteArray dir = qgetenv("TITLEDECK_SCREENS_DIR");
        if (dir.isEmpty())
            return;
        QDir().mkpath(QString::fromLocal8Bit(dir));
        const QString lang = MessageTable::language() == Language::English ? QStringLiteral("en")
                                                                           : QStringLiteral("ja");
        QVERIFY(image.save(QString::fromLocal8Bit(dir) + u'/' + name + u'-' + lang +
                           QStringLiteral(".png")));
    }

    static QColor cellPixel(const QImage &grab, ListGrid &grid, int column, int row, int dx, int dy)
    {
        const QRect cell = grid.cellRect(column, row);
        const QPoint p = grid.viewport()->mapTo(grid.window(), cell.topLeft() + QPoint(dx, dy));
        return grab.pixelColor(p * grab.devicePixelRatio());
    }

private slots:
    void initTestCase() { MessageTable::setLanguage(MessageTable::chooseLanguage()); }

    void mainWindowWithSevenTitles()
    {
        WindowRig rig;
        const QString list = makeList(rig);
        TFormMain &w = *rig.window;
        w.resize(900, 640);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.commands().openAtStart(list);
        TitleList &titles = w.titleList();
        QCOMPARE(titles.count(), 7);

        // The second title is on the keyer, stored and protected, waiting for
        // its manual out; the fifth does not fit the free memory.
        TitleEntry &onAir = titles.at(2);
        onAir.Attributes.setMemoryNo(0x0003);
        onAir.Attributes.setProtect(true);
        titles.at(5).NoRoom = true;
        titles.at(1).Attributes.setMemoryNo(0x0001);
        titles.setOnAirMemoryNo(0x0003);
        w.commands().cellDrawer().setDskState(TFormMain::OffWait);
        w.commands().cellDrawer().setBlinkPhase(1);
        titles.SetCursor(2);
        titles.setSelected(3, true);
        w.grid().viewport()->update();
        QApplication::processEvents();

        const QImage icon = w.grab().toImage();
        save(icon, QStringLiteral("main-icon-view"));
        ListGrid &grid = w.grid();
        QCOMPARE(cellPixel(icon, grid, 1, 1, 10, 10), ListGridCellDrawer::storedColour());
        QCOMPARE(cellPixel(icon, grid, 1, 4, 10, 10), ListGridCellDrawer::fitsColour());
        QCOMPARE(cellPixel(icon, grid, 1, 5, 10, 10), ListGridCellDrawer::noRoomColour());
        QCOMPARE(cellPixel(icon, grid, 0, 2, 2, 4), ListGridCellDrawer::protectColour());
        QCOMPARE(cellPixel(icon, grid, 0, 2, 2, 80), ListGridCellDrawer::markColour());
        // The blinking DSK cursor stands in the OFF cell of the title on air.
        QCOMPARE(cellPixel(icon, grid, 6, 2, 3, 40), ListGridCellDrawer::dskCursorColour());
        QCOMPARE(cellPixel(icon, grid, 4, 2, 3, 40) == ListGridCellDrawer::dskCursorColour(),
                 false);
        // Selected rows carry the yellow frame.
        QCOMPARE(cellPixel(icon, grid, 7, 3, 30, 0), ListGridCellDrawer::selectedFrameColour());

        w.actions().action(QStringLiteral("mnuView_List"))->trigger();
        QVERIFY(!grid.iconView());
        QApplication::processEvents();
        const QImage listView = w.grab().toImage();
        save(listView, QStringLiteral("main-list-view"));
        QCOMPARE(cellPixel(listView, grid, 1, 5, 10, 10), ListGridCellDrawer::noRoomColour());
        QCOMPARE(cellPixel(listView, grid, 7, 2, 3, 10), ListGridCellDrawer::nameBandColour());
        // The view choice is kept for the next start.
        QVERIFY(!w.settings().Environment.FormModeIcon);
    }

    void titleTypeDialog()
    {
        TestEnvironment env;
        MagickImageLibrary images;
        ScriptedMessageBoxes boxes;
        const QString first =
            writeSequence(images, env.path(QStringLiteral("seq")), QStringLiteral("roll"), 6, 640,
                          480, QColor(20, 60, 140), QStringLiteral("ROLL"));
        TitleTypeQuestion q;
        q.fileList.append(first);
        QStringList rest;
        QVERIFY(ImageImport::DetectSequence(first, rest));
        q.fileList += rest;
        q.variant = 0;
        TFormTitleType d(q, images, boxes);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QImage shot = d.grab().toImage();
        save(shot, QStringLiteral("title-type-dialog"));
        // The preview shows the first frame's ground.
        const QLabel *icon = d.findChild<QLabel *>(QStringLiteral("ImageIcon"));
        QCOMPARE(icon->pixmap().toImage().pixelColor(2, 2).rgb(),
                 QColor(20, 60, 140).darker(108).rgb());
        QCOMPARE(d.findChild<QComboBox *>(QStringLiteral("CBoxType"))->count(), 7);
        QCOMPARE(d.windowTitle(), MessageTable::caption(QStringLiteral("画像の読み込み")));
    }
};

QTEST_MAIN(TestScreens)
#include "test_screens.moc"
