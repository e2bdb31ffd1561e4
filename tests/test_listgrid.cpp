// The list grid through the real main window: cell texts and colours, the
// DSK cursor, mouse selection rules, header sort marks, drag reorder with the
// insertion line and edge scrolling, the wheel, and the cursor keys.

#include "app/MainCommands.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "listui/ListUiFixtures.h"
#include "memory/GridPictures.h"
#include "memory/ListGrid.h"
#include "memory/ListGridCellDrawer.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace ListUiFixtures;

namespace {

// A window holding titles named by the given names (comments reversed).
struct Grid
{
    WindowRig rig;
    TFormMain &w;
    ListGrid &grid;
    TitleList &list;

    explicit Grid(const QStringList &names, QSize size = QSize(900, 600))
        : w(*rig.window), grid(rig.window->grid()), list(rig.window->titleList())
    {
        for (const QString &n : names) {
            TitleEntry e = gridTitle(n);
            e.Comment = QString(n).toUpper();
            list.insert(list.count() + 1, std::move(e));
        }
        list.SetCursor(1);
        w.resize(size);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
    }
    QWidget *vp() const { return grid.viewport(); }
    QPoint at(int column, int row, int dy = 10) const
    {
        const QRect r = grid.cellRect(column, row);
        return QPoint(r.left() + r.width() / 2, r.top() + dy);
    }
    QStringList names() const
    {
        QStringList out;
        for (int i = 1; i <= list.count(); ++i)
            out.append(list.at(i).Name);
        return out;
    }
    QList<int> selected() const
    {
        QList<int> out;
        for (int i : list.selectedIndexes())
            out.append(i);
        return out;
    }
    void send(QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
              Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, pos, vp()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(vp(), &e);
    }
};

QStringList letters(int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out.append(QStringLiteral("t%1").arg(i + 1, 2, 10, QLatin1Char('0')));
    return out;
}

} // namespace

class TestListGrid : public QObject
{
    Q_OBJECT

private slots:
    void cellTexts()
    {
        QCOMPARE(ListGridCellDrawer::fractionText(8), QStringLiteral("1"));
        QCOMPARE(ListGridCellDrawer::fractionText(4), QStringLiteral("1/2"));
        QCOMPARE(ListGridCellDrawer::fractionText(2), QStringLiteral("1/4"));
        QCOMPARE(ListGridCellDrawer::fractionText(1), QStringLiteral("1/8"));
        QCOMPARE(ListGridCellDrawer::fractionText(3), QString());
        QCOMPARE(ListGridCellDrawer::markText(3, true), QStringLiteral("M3"));
        QCOMPARE(ListGridCellDrawer::markText(3, false), QStringLiteral("3"));
        QCOMPARE(ListGridCellDrawer::markText(0, true), QString());

        TitleAttributes a;
        QCOMPARE(ListGridCellDrawer::protectText(a), QString());
        a.setProtect(true);
        QCOMPARE(ListGridCellDrawer::protectText(a), QStringLiteral("P"));
        a.setWaitSecond(Effect::In, 5);
        a.setWaitFrame(Effect::In, 7);
        QCOMPARE(ListGridCellDrawer::inWaitText(a), QStringLiteral("  05:07"));
        QCOMPARE(ListGridCellDrawer::effectText(a, true, true), MessageTable::text(58));
        a.setPattern(Effect::Out, true);
        // Only the low 14 bits are the pattern number.
        a.setEffPatternWord(Effect::Out, 0xC000 | 12);
        QCOMPARE(ListGridCellDrawer::effectText(a, false, true), QStringLiteral("0012"));
        QCOMPARE(ListGridCellDrawer::effectText(a, false, false), QStringLiteral("  0012"));
        a.setEffTimeSecond(Effect::Out, 2);
        a.setEffTimeFrame(Effect::Out, 15);
        QCOMPARE(ListGridCellDrawer::effectTimeText(a, false), QStringLiteral("02:15"));
        a.setDurMinute(1);
        a.setDurSecond(2);
        a.setDurFrame(3);
        QCOMPARE(ListGridCellDrawer::durationText(a, true), QStringLiteral("01:02:03"));
        QCOMPARE(ListGridCellDrawer::durationText(a, false), QStringLiteral("  01:02:03"));

        const std::pair<std::uint8_t, int> kinds[] = {{0, 42}, {1, 44}, {5, 46}, {2, 49},
                                                      {6, 51}, {3, 54}, {7, 56}};
        for (const auto &[flags, id] : kinds) {
            a.setTypeFlags(std::uint8_t(flags | 0x80));
            QCOMPARE(ListGridCellDrawer::typeNameId(a), id);
        }
        a.setTypeFlags(1 | 0x08);
        QCOMPARE(ListGridCellDrawer::playDirectionPicture(a), int(GridPictures::PlayReverse));
        a.setTypeFlags(0);
        QCOMPARE(ListGridCellDrawer::playDirectionPicture(a), -1);
    }

    void dskCursorColumnByStateAndPhase()
    {
        const int expected[7][2] = {{-1, 4}, {4, 4}, {5, 5}, {-1, 6}, {6, 6}, {-1, -1}, {-1, -1}};
        for (int state = 0; state < 7; ++state)
            for (int phase = 0; phase < 2; ++phase)
                QCOMPARE(ListGridCellDrawer::dskCursorColumn(state, phase), expected[state][phase]);
    }

    void cellColoursInTheGrab()
    {
        Grid g({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        g.list.at(1).Attributes.setMemoryNo(4);
        g.list.at(2).NoRoom = true;
        g.list.at(1).Attributes.setBlocksPerFrame(2);
        g.list.at(1).Mark = 3;
        g.list.at(1).Attributes.setProtect(true);
        g.list.setOnAirMemoryNo(4);
        g.w.commands().cellDrawer().setDskState(TFormMain::OnWait);
        g.w.commands().cellDrawer().setBlinkPhase(0);
        g.grid.viewport()->update();
        const auto pixel = [&](int column, int row, int dx, int dy) {
            const QImage img = g.grid.viewport()->grab().toImage();
            const QRect r = g.grid.cellRect(column, row);
            return img.pixelColor((r.topLeft() + QPoint(dx, dy)) * img.devicePixelRatio());
        };
        QCOMPARE(pixel(1, 1, 8, 8), ListGridCellDrawer::storedColour());
        QCOMPARE(pixel(1, 2, 8, 8), ListGridCellDrawer::noRoomColour());
        QCOMPARE(pixel(1, 3, 8, 8), ListGridCellDrawer::fitsColour());
        // The stored order cell's raised frame: highlight on top, shadow below.
        QVERIFY(pixel(1, 1, 8, 1) != ListGridCellDrawer::storedColour());
        QVERIFY(pixel(1, 2, 8, 1) == ListGridCellDrawer::noRoomColour() ||
                pixel(1, 2, 8, 1) == ListGridCellDrawer::selectedFrameColour() ||
                pixel(1, 2, 8, 1) == ListGridCellDrawer::gridLineColour());
        // Waiting for the in trigger: the ON cell blinks with the phase.
        QVERIFY(pixel(4, 1, 3, 30) != ListGridCellDrawer::dskCursorColour());
        g.w.commands().showBlinkPhase(1);
        QCOMPARE(pixel(4, 1, 3, 30), ListGridCellDrawer::dskCursorColour());
        // Showing: the cursor stands in the TYPE cell whatever the phase.
        g.w.commands().showDskState(TFormMain::Showing);
        QVERIFY(pixel(4, 1, 3, 30) != ListGridCellDrawer::dskCursorColour());
        QCOMPARE(pixel(5, 1, 3, 30), ListGridCellDrawer::dskCursorColour());
        g.w.commands().showBlinkPhase(0);
        QCOMPARE(pixel(5, 1, 3, 30), ListGridCellDrawer::dskCursorColour());
        g.w.commands().showDskState(TFormMain::OnWait);
        g.w.commands().showBlinkPhase(1);
        // Only the title on air carries the cursor.
        QVERIFY(pixel(4, 2, 3, 30) != ListGridCellDrawer::dskCursorColour());
        // The header's first cell stays plain; the title's selection frame is yellow.
        QCOMPARE(pixel(0, 0, 10, 8), g.grid.palette().color(QPalette::Button));
        QCOMPARE(pixel(5, 1, 30, 0), ListGridCellDrawer::selectedFrameColour());
        QCOMPARE(pixel(5, 2, 30, 0) == ListGridCellDrawer::selectedFrameColour(), false);
    }

    void pressSelectionRules()
    {
        Grid g(letters(8), QSize(900, 1000));
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, g.at(7, 3));
        QCOMPARE(g.list.cursor(), 3);
        QCOMPARE(g.selected(), QList<int>{3});
        QCOMPARE(g.w.statusText(1), g.list.at(3).firstFile());
        // Ctrl toggles another title; the cursor title is left alone.
        QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ControlModifier, g.at(7, 5));
        QCOMPARE(g.selected(), (QList<int>{3, 5}));
        QCOMPARE(g.w.statusText(1), MessageTable::format(19, {2}));
        QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ControlModifier, g.at(7, 3));
        QCOMPARE(g.selected(), (QList<int>{3, 5}));
        QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ControlModifier, g.at(7, 5));
        QCOMPARE(g.selected(), QList<int>{3});
        QCOMPARE(g.w.statusText(1), g.list.at(3).firstFile());
        // Shift adds the range between the cursor and the pressed title.
        QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ControlModifier, g.at(7, 1));
        QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ShiftModifier, g.at(7, 5));
        QCOMPARE(g.selected(), (QList<int>{1, 3, 4, 5}));
        QCOMPARE(g.list.cursor(), 3);
        QCOMPARE(g.w.statusText(1), MessageTable::format(19, {4}));
        QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ShiftModifier, g.at(7, 2));
        QCOMPARE(g.selected(), (QList<int>{1, 2, 3, 4, 5}));
        // A plain press goes back to a single selection.
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, g.at(2, 6));
        QCOMPARE(g.selected(), QList<int>{6});
        // A press below the last title changes nothing.
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, QPoint(300, g.vp()->height() - 3));
        QCOMPARE(g.selected(), QList<int>{6});
    }

    void headerSortMarks()
    {
        Grid g({QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("c")});
        for (auto &n : {1, 2, 3})
            g.list.at(n).Comment =
                QStringList{QStringLiteral("z"), QStringLiteral("x"), QStringLiteral("y")}.at(n -
                                                                                              1);
        const QRect header = g.grid.cellRect(7, 0);
        const QPoint nameMark(header.left() + 48, 8);
        const QPoint commentMark(header.left() + header.width() - 48, 8);
        QVERIFY(g.grid.nameSortAscending());
        // The first click after start sorts descending, the next ascending.
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, nameMark);
        QCOMPARE(g.names(),
                 (QStringList{QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("A")}));
        QVERIFY(!g.grid.nameSortAscending());
        QCOMPARE(g.list.cursor(), 1);
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, nameMark);
        QCOMPARE(g.names(),
                 (QStringList{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c")}));
        QVERIFY(g.grid.nameSortAscending());
        QVERIFY(g.w.Modified());
        QCOMPARE(g.w.commands().editor().undoCaption(),
                 MessageTable::text(31) + QStringLiteral("  ") + MessageTable::text(39));
        // Outside the 43..53 band nothing happens.
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, QPoint(header.left() + 40, 8));
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, QPoint(header.left() + 56, 8));
        QCOMPARE(g.names().first(), QStringLiteral("A"));
        // By comment: descending first (z, y, x), from the mark at the right.
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, commentMark);
        QCOMPARE(g.names(),
                 (QStringList{QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("A")}));
        QVERIFY(!g.grid.commentSortAscending());
        // The list view has no comment mark.
        g.w.setIconView(false);
        const QRect listHeader = g.grid.cellRect(7, 0);
        QTest::mouseClick(g.vp(), Qt::LeftButton, {},
                          QPoint(listHeader.left() + listHeader.width() - 48, 8));
        QCOMPARE(g.names(),
                 (QStringList{QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("A")}));
    }

    void dragReorderWithInsertionLine()
    {
        Grid g(letters(6), QSize(900, 900));
        g.w.setIconView(false);
        const QStringList before = g.names();
        // Title 5 onto row 2: the line stands above row 2.
        g.send(QEvent::MouseButtonPress, g.at(7, 5), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(g.list.cursor(), 5);
        g.send(QEvent::MouseMove, g.at(7, 5) + QPoint(0, 2), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(g.grid.dragRow(), 0); // not yet 4 pixels
        g.send(QEvent::MouseMove, g.at(7, 2), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(g.grid.dragRow(), 5);
        QCOMPARE(g.grid.insertionRow(), 2);
        g.send(QEvent::MouseMove, g.at(7, 6), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(g.grid.insertionRow(), 7);
        g.send(QEvent::MouseMove, g.at(7, 2), Qt::NoButton, Qt::LeftButton);
        const QImage shot = g.vp()->grab().toImage();
        const int lineY = g.grid.cellRect(0, 2).top();
        QCOMPARE(shot.pixelColor(QPoint(200, lineY) * shot.devicePixelRatio()), QColor(Qt::white));
        g.send(QEvent::MouseButtonRelease, g.at(7, 2), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(g.grid.insertionRow(), 0);
        QCOMPARE(g.names(),
                 (QStringList{before[0], before[4], before[1], before[2], before[3], before[5]}));
        QCOMPARE(g.list.cursor(), 2);
        QVERIFY(g.w.Modified());

        // Title 2 onto row 5: it becomes title 5.
        const QStringList mid = g.names();
        g.send(QEvent::MouseButtonPress, g.at(7, 2), Qt::LeftButton, Qt::LeftButton);
        g.send(QEvent::MouseMove, g.at(7, 5), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(g.grid.insertionRow(), 6);
        g.send(QEvent::MouseButtonRelease, g.at(7, 5), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(g.names(), (QStringList{mid[0], mid[2], mid[3], mid[4], mid[1], mid[5]}));
        QCOMPARE(g.list.cursor(), 5);

        // A drop on the dragged row itself, or below the titles, changes nothing.
        const QStringList now = g.names();
        g.send(QEvent::MouseButtonPress, g.at(7, 3), Qt::LeftButton, Qt::LeftButton);
        g.send(QEvent::MouseMove, g.at(7, 3, 20), Qt::NoButton, Qt::LeftButton);
        g.send(QEvent::MouseButtonRelease, g.at(7, 3, 20), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(g.names(), now);
        // Undo takes the reorder back.
        g.w.commands().mnuEdit_UndoClick();
        QCOMPARE(g.names(), mid);
    }

    void dragNearTheEdgesScrolls()
    {
        Grid g(letters(30), QSize(900, 500));
        QVERIFY(g.grid.visibleRowCount() < 30);
        g.grid.setTopRow(10);
        QCOMPARE(g.grid.topRow(), 10);
        const QPoint start = g.at(7, 12);
        g.send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        g.send(QEvent::MouseMove, QPoint(start.x(), 20), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(g.grid.scrollStep(), -1);
        QVERIFY(g.grid.scrollTimer()->isActive());
        QCOMPARE(g.grid.scrollTimer()->interval(), 100);
        QMetaObject::invokeMethod(g.grid.scrollTimer(), "timeout");
        QCOMPARE(g.grid.topRow(), 9);
        const int bottom = g.vp()->height() - 10;
        g.send(QEvent::MouseMove, QPoint(start.x(), bottom), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(g.grid.scrollStep(), 1);
        QMetaObject::invokeMethod(g.grid.scrollTimer(), "timeout");
        QMetaObject::invokeMethod(g.grid.scrollTimer(), "timeout");
        QCOMPARE(g.grid.topRow(), 11);
        // In the middle the timer stops.
        g.send(QEvent::MouseMove, QPoint(start.x(), g.vp()->height() / 2), Qt::NoButton,
               Qt::LeftButton);
        QVERIFY(!g.grid.scrollTimer()->isActive());
        g.send(QEvent::MouseMove, QPoint(start.x(), 20), Qt::NoButton, Qt::LeftButton);
        QVERIFY(g.grid.scrollTimer()->isActive());
        // Releasing stops it; scrolling clamps to 1..(rows - visible rows).
        g.send(QEvent::MouseButtonRelease, QPoint(start.x(), 5), Qt::LeftButton, Qt::NoButton);
        QVERIFY(!g.grid.scrollTimer()->isActive());
        g.grid.setTopRow(-5);
        QCOMPARE(g.grid.topRow(), 1);
        g.grid.setTopRow(500);
        QCOMPARE(g.grid.topRow(), 1 + 30 - g.grid.visibleRowCount());
    }

    void wheelScrollsThreeRowsPerNotch()
    {
        Grid g(letters(40), QSize(900, 500));
        g.grid.setTopRow(10);
        QWheelEvent down(QPointF(100, 100), g.vp()->mapToGlobal(QPointF(100, 100)), QPoint(),
                         QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.vp(), &down);
        QCOMPARE(g.grid.topRow(), 13);
        QWheelEvent up(QPointF(100, 100), g.vp()->mapToGlobal(QPointF(100, 100)), QPoint(),
                       QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(g.vp(), &up);
        QCOMPARE(g.grid.topRow(), 7);
    }

    void cursorKeys()
    {
        Grid g(letters(99), QSize(900, 500));
        g.grid.setFocus();
        QWidget *target = &g.grid;
        QTest::keyClick(target, Qt::Key_Up);
        QCOMPARE(g.list.cursor(), 1);
        QTest::keyClick(target, Qt::Key_Down);
        QCOMPARE(g.list.cursor(), 2);
        QTest::keyClick(target, Qt::Key_End);
        QCOMPARE(g.list.cursor(), 99);
        QTest::keyClick(target, Qt::Key_Down);
        QCOMPARE(g.list.cursor(), 99);
        // The cursor row is scrolled into view.
        QVERIFY(g.grid.topRow() + g.grid.visibleRowCount() > 99);
        g.list.SetCursor(95);
        QTest::keyClick(target, Qt::Key_Right);
        QCOMPARE(g.list.cursor(), 99);
        QTest::keyClick(target, Qt::Key_Left);
        QCOMPARE(g.list.cursor(), 89);
        g.list.SetCursor(4);
        QTest::keyClick(target, Qt::Key_Left);
        QCOMPARE(g.list.cursor(), 1);
        QTest::keyClick(target, Qt::Key_Home);
        QCOMPARE(g.list.cursor(), 1);
        QTest::keyClick(target, Qt::Key_Up);
        QCOMPARE(g.list.cursor(), 1);
    }

    void markAndDskJumpKeys()
    {
        Grid g(letters(12));
        g.list.at(7).Mark = 3;
        g.list.at(9).Mark = 3; // held twice in a damaged list: the first one wins
        g.list.at(11).Mark = 9;
        QWidget *target = &g.grid;
        QTest::keyClick(target, Qt::Key_3);
        QCOMPARE(g.list.cursor(), 7);
        QTest::keyClick(target, Qt::Key_9, Qt::KeypadModifier);
        QCOMPARE(g.list.cursor(), 11);
        // No title holds Mark5: the cursor stays.
        QTest::keyClick(target, Qt::Key_5);
        QCOMPARE(g.list.cursor(), 11);
        // 0 jumps to the title on the keyer, when there is one.
        QTest::keyClick(target, Qt::Key_0);
        QCOMPARE(g.list.cursor(), 11);
        g.list.at(4).Attributes.setMemoryNo(0x0010);
        g.list.setOnAirMemoryNo(0x0010);
        QTest::keyClick(target, Qt::Key_0);
        QCOMPARE(g.list.cursor(), 4);
    }

    void editingKeys()
    {
        Grid g(letters(5));
        QWidget *target = &g.grid;
        // The letters alone do nothing.
        QTest::keyClick(target, Qt::Key_A);
        QCOMPARE(g.list.SelectionCount(), 1);
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(g.list.SelectionCount(), 5);
        QTest::keyClick(target, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(int(g.w.commands().editor().clipboard().size()), 5);
        QTest::keyClick(target, Qt::Key_V);
        QCOMPARE(g.list.count(), 5);
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(g.list.count(), 10);
        QCOMPARE(g.list.cursor(), 10);
        QTest::keyClick(target, Qt::Key_Z);
        QCOMPARE(g.list.count(), 10);
        QTest::keyClick(target, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(g.list.count(), 5);
        QTest::keyClick(target, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(g.list.count(), 10);
        // Delete asks 103 first; No keeps everything.
        g.rig.boxes.answer(IdNo);
        QTest::keyClick(target, Qt::Key_Delete);
        QCOMPARE(g.rig.boxes.shownIds().last(), 103);
        QCOMPARE(g.list.count(), 10);
        g.rig.boxes.answer(IdYes);
        QTest::keyClick(target, Qt::Key_Delete);
        QCOMPARE(g.list.count(), 9);
        QTest::keyClick(target, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(g.list.count(), 8);
    }

    void keysOfOtherWindowsAreTheirs()
    {
        Grid g(letters(5));
        // A control of the window other than the grid: the window's keys still work.
        auto *button = g.w.findChild<QToolButton *>(QStringLiteral("TButtonCursorTop"));
        QVERIFY(button);
        QTest::keyClick(button, Qt::Key_End);
        QCOMPARE(g.list.cursor(), 5);
        // Another window's edit keeps its keys.
        QLineEdit other;
        other.setText(QStringLiteral("abc"));
        other.show();
        QTest::keyClick(&other, Qt::Key_Home);
        QTest::keyClick(&other, Qt::Key_1);
        QCOMPARE(g.list.cursor(), 5);
        QCOMPARE(other.text(), QStringLiteral("1abc"));
    }

    void contextMenuOnTheGrid()
    {
        Grid g(letters(5), QSize(900, 1000));
        g.list.SetCursor(1);
        QMap<QString, bool> enabled;
        const auto inspect = [&enabled] {
            QTimer::singleShot(0, [&enabled] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                QVERIFY(menu);
                enabled.clear();
                for (QAction *a : menu->actions())
                    if (!a->objectName().isEmpty())
                        enabled.insert(a->objectName(), a->isEnabled());
                menu->close();
            });
        };
        inspect();
        QTest::mouseClick(g.vp(), Qt::RightButton, {}, g.at(7, 3));
        QCOMPARE(g.list.cursor(), 3);
        QVERIFY(enabled.value(QStringLiteral("pmnuCut")));
        QVERIFY(enabled.value(QStringLiteral("pmnuDelete")));
        QVERIFY(!enabled.value(QStringLiteral("pmnuPaste")));
        QVERIFY(enabled.value(QStringLiteral("pmnuAdd")));
        // A right press on a selected title keeps the selection.
        g.list.SelectAll();
        inspect();
        QTest::mouseClick(g.vp(), Qt::RightButton, {}, g.at(7, 4));
        QCOMPARE(g.list.SelectionCount(), 5);
        // Elsewhere the title commands are off.
        inspect();
        QTest::mouseClick(g.vp(), Qt::RightButton, {}, QPoint(300, g.vp()->height() - 3));
        QVERIFY(!enabled.value(QStringLiteral("pmnuCut")));
        QVERIFY(!enabled.value(QStringLiteral("pmnuDelete")));
    }
};

QTEST_MAIN(TestListGrid)
#include "test_listgrid.moc"
