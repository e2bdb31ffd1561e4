// The image viewer: where a frame sits on the screen canvas (NTSC, PAL, 16:9),
// and the window as the operator drives it: the order and frame controls, the
// one-frame title, following the cursor, a missing frame file, the size limit.

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "core/VideoFormatParams.h"
#include "imaging/ImageDisplayCanvas.h"
#include "list/ListEditor.h"
#include "list/TFormImageDisplay.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "listui/ListUiFixtures.h"
#include "memory/ListGrid.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

using namespace ListFixtures;
using namespace ListUiFixtures;

namespace {

Bitmap picture(int w, int h, std::uint32_t rgb)
{
    Bitmap b(w, h, 32);
    b.fill(0, 0, w, h, rgb);
    return b;
}

std::uint32_t pixel(const Bitmap &b, int x, int y)
{
    const std::uint8_t *p = b.row(y) + std::size_t(x) * 4;
    return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

template<typename T> T *child(QWidget &w, const char *name)
{
    return w.findChild<T *>(QString::fromLatin1(name));
}

void type(QWidget &w, const char *field, const QString &text)
{
    auto *edit = child<QLineEdit>(w, field);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
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
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QSize>("pictureSize");
        QTest::addColumn<QSize>("canvasSize");
        // First and last canvas pixel the picture covers; (-1, -1): none.
        QTest::addColumn<QRect>("covered");
        QTest::newRow("NTSC full screen") << false << false << QPoint(0, 0) << QSize(640, 480)
                                          << QSize(640, 480) << QRect(0, 0, 640, 480);
        // Device columns across the canvas, the format's own lines down it.
        QTest::newRow("NTSC centre") << false << false << QPoint(360, 240) << QSize(100, 100)
                                     << QSize(640, 480) << QRect(320, 240, 100, 100);
        QTest::newRow("PAL at column 720")
            << true << false << QPoint(720, 0) << QSize(100, 100) << QSize(768, 576) << QRect();
        QTest::newRow("NTSC 16:9") << false << true << QPoint(0, 0) << QSize(640, 480)
                                   << QSize(640, 360) << QRect(0, 0, 640, 360);
        QTest::newRow("PAL 16:9 low") << true << true << QPoint(0, 288) << QSize(100, 100)
                                      << QSize(768, 432) << QRect(0, 216, 100, 75);
    }

    void canvasPlacesTheFrame()
    {
        QFETCH(bool, pal);
        QFETCH(bool, wide);
        QFETCH(QPoint, position);
        QFETCH(QSize, pictureSize);
        QFETCH(QSize, canvasSize);
        QFETCH(QRect, covered);
        const VideoFormatParams &format =
            pal ? VideoFormatParams::pal() : VideoFormatParams::ntsc();
        const Bitmap canvas =
            ImageDisplayCanvas::render(picture(pictureSize.width(), pictureSize.height(), 0xFF0000),
                                       position.x(), position.y(), format, wide);
        QCOMPARE(QSize(canvas.width(), canvas.height()), canvasSize);
        int red = 0;
        QRect found;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                if (pixel(canvas, x, y) == 0xFF0000) {
                    ++red;
                    found |= QRect(x, y, 1, 1);
                } else {
                    QCOMPARE(pixel(canvas, x, y), 0u);
                }
        QCOMPARE(found, covered);
        QCOMPARE(red, covered.width() * covered.height());
    }

    void viewerControlsAndCursor()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        TitleList &list = w.titleList();
        const QString folder = rig.folder(QStringLiteral("v"));
        const std::uint32_t colours[] = {0x0000FF, 0x00FF00, 0xFFFF00, 0xFF00FF};
        QStringList files;
        for (int i = 0; i < 4; ++i)
            files << writeTarga(folder + QStringLiteral("/f%1.tga").arg(i), 64, 48, colours[i]);
        list.insert(1, titleOf(files.at(0)));
        TitleEntry movie = titleOf(files.at(1), 1, 3);
        movie.FileList = files.mid(1);
        movie.IconFrame = 3;
        movie.Attributes.setPositionX(72);
        list.insert(2, std::move(movie));
        list.insert(3, titleOf(files.at(0)));
        list.SetCursor(1);

        w.actions().mnuFile_ImageDisplay->trigger();
        TFormImageDisplay &v = w.commands().imageDisplay();
        QVERIFY(v.isVisible());
        const auto state = [&] { return QList<int>{v.display().order(), v.display().frame()}; };
        const auto enabled = [&] {
            QList<bool> out;
            for (const char *name :
                 {"SButtonPrevOrder", "SButtonNextOrder", "SButtonPrevFrame", "SButtonNextFrame"})
                out << child<QToolButton>(v, name)->isEnabled();
            out << child<QLineEdit>(v, "EditFrame")->isEnabled();
            return out;
        };
        // A one-frame title: no frame steps, no frame field; the first title: no step back.
        QCOMPARE(state(), (QList<int>{1, 1}));
        QCOMPARE(enabled(), (QList<bool>{false, true, false, false, false}));
        QCOMPARE(pixel(v.display().canvas(), 0, 0), colours[0]);

        // The next title at its icon frame, placed at its position (column 72 -> 64).
        child<QToolButton>(v, "SButtonNextOrder")->click();
        QCOMPARE(state(), (QList<int>{2, 3}));
        QCOMPARE(enabled(), (QList<bool>{true, true, true, false, true}));
        QCOMPARE(pixel(v.display().canvas(), 64, 0), colours[3]);
        QCOMPARE(pixel(v.display().canvas(), 63, 0), 0u);
        child<QToolButton>(v, "SButtonPrevFrame")->click();
        QCOMPARE(state(), (QList<int>{2, 2}));
        QCOMPARE(child<QLineEdit>(v, "EditFrame")->text(), QStringLiteral("2"));

        // The fields: anything but a title number shows title 1, anything but a frame frame 1.
        for (const char *text : {"0", "abc", "4", "-2"}) {
            type(v, "EditOrder", QStringLiteral("2"));
            QCOMPARE(v.display().order(), 2);
            type(v, "EditOrder", QString::fromLatin1(text));
            QCOMPARE(state(), (QList<int>{1, 1}));
            QCOMPARE(child<QLineEdit>(v, "EditOrder")->text(), QStringLiteral("1"));
        }
        type(v, "EditOrder", QStringLiteral("2"));
        type(v, "EditFrame", QStringLiteral("9"));
        QCOMPARE(state(), (QList<int>{2, 1}));
        type(v, "EditFrame", QStringLiteral("2"));
        QCOMPARE(state(), (QList<int>{2, 2}));

        // A missing frame file: message 122, the picture and numbers stay, the rest works.
        QVERIFY(QFile::remove(files.at(3)));
        child<QToolButton>(v, "SButtonNextFrame")->click();
        child<QToolButton>(v, "SButtonNextFrame")->click();
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{122, 122}));
        QCOMPARE(state(), (QList<int>{2, 2}));
        QCOMPARE(child<QLineEdit>(v, "EditFrame")->text(), QStringLiteral("2"));
        QCOMPARE(pixel(v.display().canvas(), 64, 0), colours[2]);
        child<QToolButton>(v, "SButtonNextOrder")->click();
        QCOMPARE(state(), (QList<int>{3, 1}));
        QVERIFY(!child<QToolButton>(v, "SButtonNextOrder")->isEnabled());

        // It follows the cursor while shown; the window is never larger than the canvas.
        list.SetCursor(1);
        QCOMPARE(state(), (QList<int>{1, 1}));
        v.resize(2000, 2000);
        QVERIFY(v.width() <= 640 + 4 && v.height() <= 480 + 4 + 40);
        QVERIFY(v.height() > 480);

        // Hidden, it does not follow; a double click on the picture columns opens it again,
        // one on the property columns does not.
        v.hide();
        list.SetCursor(3);
        QCOMPARE(v.display().order(), 1);
        ListGrid &grid = w.grid();
        QVERIFY(rig.show());
        const auto doubleClick = [&grid](GridColumn column, int row) {
            const QPoint at = grid.cellRect(column, row).center();
            QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
        };
        doubleClick(GridColumn::On, 1);
        QVERIFY(!v.isVisible());
        doubleClick(GridColumn::Icon, 3);
        QVERIFY(v.isVisible());
        QCOMPARE(state(), (QList<int>{3, 1}));

        // An emptied list hides it.
        list.SelectAll();
        w.commands().editor().DeleteSelection();
        QVERIFY(!v.isVisible());
        QVERIFY(!w.actions().mnuFile_ImageDisplay->isEnabled());
    }
};

QTEST_MAIN(TestImageDisplay)
#include "test_imagedisplay.moc"
