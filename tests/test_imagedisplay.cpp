// The image viewer: where a frame sits on the screen canvas (NTSC, PAL, 16:9),
// and the window as the operator drives it: the order and frame controls, the
// one-frame title, following the cursor, a missing frame file, the size limit.

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "core/VideoFormatParams.h"
#include "imaging/ImageDisplayCanvas.h"
#include "list/ListEditor.h"
#include "list/TFormImageDisplay.h"
#include "listcore/ListFixtures.h"
#include "listui/ListUiFixtures.h"
#include "memory/ListGrid.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace ListFixtures;
using namespace ListUiFixtures;

namespace {
std::uint32_t pixel(const Bitmap &b, int x, int y)
{
    const std::uint8_t *p = b.row(y) + std::size_t(x) * 4;
    return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}
} // namespace

class TestImageDisplay : public QObject
{
    Q_OBJECT

private slots:
    void canvasPlacesTheFrame_data()
    {
        QTest::addColumn<bool>("pal");
        QTest::addColumn<bool>("wide");
        QTest::addColumn<QRect>("title"); // position and picture size
        QTest::addColumn<QSize>("canvasSize");
        QTest::addColumn<QRect>("covered"); // the canvas pixels the picture covers
        QTest::newRow("NTSC full")
            << false << false << QRect(0, 0, 640, 480) << QSize(640, 480) << QRect(0, 0, 640, 480);
        // Device columns across the canvas, the format's own lines down it.
        QTest::newRow("NTSC centre") << false << false << QRect(360, 240, 100, 100)
                                     << QSize(640, 480) << QRect(320, 240, 100, 100);
        QTest::newRow("PAL column 720")
            << true << false << QRect(720, 0, 100, 100) << QSize(768, 576) << QRect();
        QTest::newRow("NTSC 16:9")
            << false << true << QRect(0, 0, 640, 480) << QSize(640, 360) << QRect(0, 0, 640, 360);
        QTest::newRow("PAL 16:9 low")
            << true << true << QRect(0, 288, 100, 100) << QSize(768, 432) << QRect(0, 216, 100, 75);
    }

    void canvasPlacesTheFrame()
    {
        QFETCH(bool, pal);
        QFETCH(bool, wide);
        QFETCH(QRect, title);
        QFETCH(QSize, canvasSize);
        QFETCH(QRect, covered);
        Bitmap picture(title.width(), title.height(), 32);
        picture.fill(0, 0, title.width(), title.height(), 0xFF0000);
        const Bitmap canvas = ImageDisplayCanvas::render(
            picture, title.x(), title.y(),
            pal ? VideoFormatParams::pal() : VideoFormatParams::ntsc(), wide);
        QCOMPARE(QSize(canvas.width(), canvas.height()), canvasSize);
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                if (pixel(canvas, x, y) != (covered.contains(x, y) ? 0xFF0000u : 0u))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
    }

    void viewerControlsAndCursor()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        TitleList &list = w.titleList();
        const std::uint32_t colours[] = {0x0000FF, 0x00FF00, 0xFFFF00, 0xFF00FF};
        QStringList files;
        for (int i = 0; i < 4; ++i)
            files << writeTarga(rig.folder(QStringLiteral("v")) + QStringLiteral("/f%1.tga").arg(i),
                                64, 48, colours[i]);
        TitleEntry movie = titleOf(files.at(1), 1, 3);
        movie.FileList = files.mid(1);
        movie.IconFrame = 3;
        movie.Attributes.setPositionX(72);
        list.insert(1, titleOf(files.at(0)));
        list.insert(2, std::move(movie));
        list.insert(3, titleOf(files.at(0)));
        list.SetCursor(1);

        w.actions().mnuFile_ImageDisplay->trigger();
        TFormImageDisplay &v = w.commands().imageDisplay();
        QVERIFY(v.isVisible());
        const auto button = [&v](const char *name) {
            return v.findChild<QToolButton *>(QString::fromLatin1(name));
        };
        const auto field = [&v](const char *name) {
            return v.findChild<QLineEdit *>(QString::fromLatin1(name));
        };
        const auto type = [&field](const char *name, const QString &text) {
            field(name)->selectAll();
            QTest::keyClicks(field(name), text);
            QTest::keyClick(field(name), Qt::Key_Return);
        };
        const auto state = [&] { return QList<int>{v.display().order(), v.display().frame()}; };
        const auto enabled = [&] {
            return QList<bool>{
                button("SButtonPrevOrder")->isEnabled(), button("SButtonNextOrder")->isEnabled(),
                button("SButtonPrevFrame")->isEnabled(), button("SButtonNextFrame")->isEnabled(),
                field("EditFrame")->isEnabled()};
        };
        // A one-frame title: no frame steps, no frame field; the first title: no step back.
        QCOMPARE(state(), (QList<int>{1, 1}));
        QCOMPARE(enabled(), (QList<bool>{false, true, false, false, false}));
        QCOMPARE(pixel(v.display().canvas(), 0, 0), colours[0]);
        // The next title at its icon frame and its position (column 72 -> 64).
        button("SButtonNextOrder")->click();
        QCOMPARE(state(), (QList<int>{2, 3}));
        QCOMPARE(enabled(), (QList<bool>{true, true, true, false, true}));
        QCOMPARE(pixel(v.display().canvas(), 64, 0), colours[3]);
        QCOMPARE(pixel(v.display().canvas(), 63, 0), 0u);
        button("SButtonPrevFrame")->click();
        QCOMPARE(field("EditFrame")->text(), QStringLiteral("2"));

        // Anything but a title number shows title 1, anything but a frame number frame 1.
        for (const char *text : {"0", "abc", "4"}) {
            type("EditOrder", QStringLiteral("2"));
            type("EditOrder", QString::fromLatin1(text));
            QCOMPARE(state(), (QList<int>{1, 1}));
            QCOMPARE(field("EditOrder")->text(), QStringLiteral("1"));
        }
        type("EditOrder", QStringLiteral("2"));
        type("EditFrame", QStringLiteral("9"));
        QCOMPARE(state(), (QList<int>{2, 1}));
        type("EditFrame", QStringLiteral("2"));

        // A missing frame file: message 122, the picture and numbers stay, the rest works.
        QVERIFY(QFile::remove(files.at(3)));
        button("SButtonNextFrame")->click();
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{122}));
        QCOMPARE(state(), (QList<int>{2, 2}));
        QCOMPARE(field("EditFrame")->text(), QStringLiteral("2"));
        QCOMPARE(pixel(v.display().canvas(), 64, 0), colours[2]);
        button("SButtonNextOrder")->click();
        QCOMPARE(state(), (QList<int>{3, 1}));
        QVERIFY(!button("SButtonNextOrder")->isEnabled());

        // It follows the cursor while shown, and a title moved by its properties.
        list.SetCursor(1);
        QCOMPARE(state(), (QList<int>{1, 1}));
        list.at(1).Attributes.setPositionY(10);
        list.notifyRowChanged(1);
        QCOMPARE(pixel(v.display().canvas(), 0, 9), 0u);
        QCOMPARE(pixel(v.display().canvas(), 0, 10), colours[0]);
        // It is never larger than the canvas.
        v.resize(2000, 2000);
        QVERIFY(v.width() <= 640 + 4 && v.height() > 480 && v.height() <= 480 + 4 + 40);
        v.hide();
        list.SetCursor(3);
        QCOMPARE(v.display().order(), 1);

        // A double click opens it on the picture columns, not on the property columns.
        ListGrid &grid = w.grid();
        QVERIFY(rig.show());
        const auto doubleClick = [&grid](GridColumn column, int row) {
            const QPoint at = grid.cellRect(column, row).center();
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
        };
        // The property columns open the property dialog instead (closed here at once).
        QTimer::singleShot(0, [] {
            if (QWidget *dialog = QApplication::activeModalWidget())
                dialog->close();
        });
        doubleClick(GridColumn::On, 1);
        QVERIFY(!v.isVisible());
        doubleClick(GridColumn::Icon, 3);
        QCOMPARE(state(), (QList<int>{3, 1}));
        QVERIFY(v.isVisible());
        // Undo and redo rebuild the list under it; only an emptied list hides it.
        w.actions().mnuEdit_Copy->trigger();
        w.actions().mnuEdit_Paste->trigger();
        w.actions().mnuEdit_Undo->trigger();
        QVERIFY(v.isVisible());
        list.SelectAll();
        w.commands().editor().DeleteSelection();
        QVERIFY(!v.isVisible());
    }
};

QTEST_MAIN(TestImageDisplay)
#include "test_imagedisplay.moc"
