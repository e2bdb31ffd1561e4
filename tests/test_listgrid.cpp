// The list grid through the real main window: cell texts and colours in both
// views, the DSK cursor, mouse selection rules, header sort marks, drag
// reorder with the insertion line and edge scrolling, the wheel, the context
// menu, and the window's keys (the shortcuts of its commands).

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "listui/ListUiFixtures.h"
#include "memory/GridPictures.h"
#include "memory/KeyerState.h"
#include "memory/ListGrid.h"
#include "memory/ListGridCellDrawer.h"
#include "resources/MessageTable.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace ListUiFixtures;
using namespace ListFixtures;

namespace {

// A window holding titles named by the given names (comments in capitals).
struct Grid
{
    WindowRig rig;
    TFormMain &w;
    ListGrid &grid;
    TitleList &list;

    explicit Grid(const QStringList &names, QSize size = QSize(900, 600))
        : w(*rig.window), grid(rig.window->grid()), list(rig.window->titleList())
    {
        fill(list, names);
        w.resize(size);
        QVERIFY(rig.show());
    }
    QWidget *vp() const { return grid.viewport(); }
    QPoint at(GridColumn column, int row, int dy = 10) const
    {
        const QRect r = grid.cellRect(column, row);
        return QPoint(r.left() + r.width() / 2, r.top() + dy);
    }
    bool selected(const std::vector<int> &rows) const { return list.selectedIndexes() == rows; }
    void send(QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
              Qt::MouseButtons buttons)
    {
        QMouseEvent e(type, pos, vp()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(vp(), &e);
    }
};

} // namespace

class TestListGrid : public QObject
{
    Q_OBJECT

private slots:
    void cellTexts()
    {
        QCOMPARE(TitleAttributes::divideText(2), QStringLiteral("1/4"));
        QVERIFY(ListGridCellDrawer::markText(3, true) == "M3" &&
                ListGridCellDrawer::markText(3, false) == "3");
        TitleAttributes a;
        a.setWaitSecond(Effect::In, 5);
        QCOMPARE(ListGridCellDrawer::inWaitText(a), QStringLiteral("  05:00"));
        QCOMPARE(ListGridCellDrawer::effectText(a, true, true), MessageTable::text(58));
        // Only the low 14 bits are the pattern number.
        a.setPattern(Effect::Out, true);
        a.setEffPatternWord(Effect::Out, 0xC000 | 12);
        QCOMPARE(ListGridCellDrawer::effectText(a, false, false), QStringLiteral("  0012"));
        a.setDurSecond(2);
        QCOMPARE(ListGridCellDrawer::durationText(a, false), QStringLiteral("  00:02:00"));
        a.setTypeFlags(5 | 0x80); // a repeating movie; bit 7 is carried
        QCOMPARE(ListGridCellDrawer::typeNameId(a), 46);
        a.setTypeFlags(1 | 0x08);
        QCOMPARE(ListGridCellDrawer::playDirectionPicture(a), int(GridPictures::PlayReverse));
        // The DSK cursor in the states the grab below does not show.
        QVERIFY(ListGridCellDrawer::dskCursorColumn(DskState::OnRunning, 0) == GridColumn::On);
        QVERIFY(ListGridCellDrawer::dskCursorColumn(DskState::OffRunning, 0) == GridColumn::Off);
        QVERIFY(!ListGridCellDrawer::dskCursorColumn(DskState::OffWait, 0) &&
                !ListGridCellDrawer::dskCursorColumn(DskState::Ended, 1));
    }

    void cellColoursInTheGrab()
    {
        Grid g(numbered("t", 3, 2));
        // A stored, protected title with Mark 3 on the keyer; a roll and a movie;
        // a title that does not fit.
        TitleEntry &onAir = g.list.at(1);
        onAir.Attributes.setMemoryNo(4);
        onAir.Attributes.setProtect(true);
        onAir.Mark = 3;
        onAir.Thumbnail = Bitmap(TitleEntry::ThumbnailWidth, TitleEntry::ThumbnailHeight, 24);
        g.list.at(2).NoRoom = true;
        g.list.at(2).Attributes.setTypeFlags(2);
        g.list.at(3).Attributes.setTypeFlags(5);
        g.list.setOnAirMemoryNo(4);
        g.w.commands().cellDrawer().setDskState(DskState::OnWait);
        const auto pixel = [&](GridColumn column, int row, int dx, int dy) {
            const QImage img = g.grid.viewport()->grab().toImage();
            const QRect r = g.grid.cellRect(column, row);
            return img.pixelColor((r.topLeft() + QPoint(dx, dy)) * img.devicePixelRatio());
        };
        const QColor cursor = ListGridCellDrawer::dskCursorColour();
        QCOMPARE(pixel(GridColumn::Order, 1, 8, 8), ListGridCellDrawer::storedColour());
        QCOMPARE(pixel(GridColumn::Order, 2, 8, 8), ListGridCellDrawer::noRoomColour());
        QCOMPARE(pixel(GridColumn::Order, 3, 8, 8), ListGridCellDrawer::fitsColour());
        QCOMPARE(pixel(GridColumn::State, 1, 2, 4), ListGridCellDrawer::protectColour());
        QCOMPARE(pixel(GridColumn::State, 1, 2, 80), ListGridCellDrawer::markColour());
        // The stored order cell's raised frame.
        QVERIFY(pixel(GridColumn::Order, 1, 8, 1) != ListGridCellDrawer::storedColour());
        // Waiting for a trigger: the ON (or OFF) cell blinks with the phase.
        QVERIFY(pixel(GridColumn::On, 1, 3, 30) != cursor);
        g.w.commands().showBlinkPhase(1);
        QCOMPARE(pixel(GridColumn::On, 1, 3, 30), cursor);
        QVERIFY(pixel(GridColumn::On, 2, 3, 30) != cursor); // only the title on air
        g.w.keyer().SetDskState(DskState::Showing, 4);      // a manual out: waiting for it
        g.w.commands().showBlinkPhase(1);
        QCOMPARE(pixel(GridColumn::Off, 1, 3, 30), cursor);
        QVERIFY(pixel(GridColumn::On, 1, 3, 30) != cursor);
        // Showing: the cursor stands in the TYPE cell whatever the phase.
        g.w.commands().showDskState(DskState::Showing);
        g.w.commands().showBlinkPhase(0);
        QCOMPARE(pixel(GridColumn::Type, 1, 3, 30), cursor);
        // The header's first cell stays plain; the cursor title's frame is yellow.
        QCOMPARE(pixel(GridColumn::State, 0, 10, 8), g.grid.palette().color(QPalette::Button));
        QCOMPARE(pixel(GridColumn::Name, 1, 30, 0), ListGridCellDrawer::selectedFrameColour());
        QVERIFY(pixel(GridColumn::Name, 2, 30, 0) != ListGridCellDrawer::selectedFrameColour());
        // The list view keeps the colours and bands the name.
        g.w.actions().mnuView_List->trigger();
        QCOMPARE(pixel(GridColumn::Order, 2, 8, 8), ListGridCellDrawer::noRoomColour());
        QCOMPARE(pixel(GridColumn::Name, 2, 3, 10), ListGridCellDrawer::nameBandColour());
    }

    void pressSelectionRules()
    {
        Grid g(numbered("t", 8, 2), QSize(900, 1000));
        const auto press = [&g](int row, Qt::KeyboardModifiers modifiers = {}) {
            QTest::mouseClick(g.vp(), Qt::LeftButton, modifiers, g.at(GridColumn::Name, row));
        };
        press(3);
        QVERIFY(g.selected({3}));
        QCOMPARE(g.w.statusText(1), g.list.at(3).firstFile());
        // Ctrl toggles another title; the cursor title is left alone.
        press(5, Qt::ControlModifier);
        press(3, Qt::ControlModifier);
        QVERIFY(g.selected({3, 5}));
        QCOMPARE(g.w.statusText(1), MessageTable::format(19, {2}));
        press(5, Qt::ControlModifier);
        QVERIFY(g.selected({3}));
        // Shift adds the range between the cursor and the pressed title.
        press(1, Qt::ControlModifier);
        press(5, Qt::ShiftModifier);
        QVERIFY(g.selected({1, 3, 4, 5}) && g.list.cursor() == 3);
        press(2, Qt::ShiftModifier);
        QVERIFY(g.selected({1, 2, 3, 4, 5}));
        // A plain press goes back to a single selection; below the titles nothing happens.
        press(6);
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, QPoint(300, g.vp()->height() - 3));
        QVERIFY(g.selected({6}));
    }

    void headerSortMarks()
    {
        Grid g({QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("c")});
        const QRect header = g.grid.cellRect(GridColumn::Name, 0);
        const auto click = [&g](int x) { QTest::mouseClick(g.vp(), Qt::LeftButton, {}, {x, 8}); };
        // The first click after start sorts descending, the next ascending.
        click(header.left() + 48);
        QVERIFY(names(g.list) == QStringLiteral("c,b,A") && !g.grid.nameSortAscending());
        click(header.left() + 48);
        QVERIFY(names(g.list) == QStringLiteral("A,b,c") && g.grid.nameSortAscending());
        // Outside the 43..53 band nothing happens.
        click(header.left() + 40);
        click(header.left() + 56);
        QCOMPARE(names(g.list), QStringLiteral("A,b,c"));
        // By comment (the names in capitals): descending first, from the mark at the right.
        click(header.right() - 47);
        QCOMPARE(names(g.list), QStringLiteral("c,b,A"));
        QVERIFY(!g.grid.commentSortAscending() && g.grid.nameSortAscending());
        // The list view has no comment mark.
        g.w.setIconView(false);
        click(g.grid.cellRect(GridColumn::Name, 0).right() - 47);
        QCOMPARE(names(g.list), QStringLiteral("c,b,A"));
    }

    void dragReorderWithInsertionLine()
    {
        Grid g(numbered("t", 6, 2), QSize(900, 900));
        g.w.setIconView(false);
        const auto drag = [&g](int from, int to, int insertion, int dy = 10) {
            g.send(QEvent::MouseButtonPress, g.at(GridColumn::Name, from), Qt::LeftButton,
                   Qt::LeftButton);
            g.send(QEvent::MouseMove, g.at(GridColumn::Name, from) + QPoint(0, 2), Qt::NoButton,
                   Qt::LeftButton);
            QCOMPARE(g.grid.dragRow(), 0); // not yet 4 pixels
            g.send(QEvent::MouseMove, g.at(GridColumn::Name, to, dy), Qt::NoButton, Qt::LeftButton);
            QCOMPARE(g.grid.dragRow(), from);
            QCOMPARE(g.grid.insertionRow(), insertion);
            // The insertion line: white, along the top of its row.
            const QImage shot = g.vp()->grab().toImage();
            const int y = g.grid.cellRect(GridColumn::State, insertion).top();
            QCOMPARE(shot.pixelColor(QPoint(200, y) * shot.devicePixelRatio()), QColor(Qt::white));
            g.send(QEvent::MouseButtonRelease, g.at(GridColumn::Name, to, dy), Qt::LeftButton,
                   Qt::NoButton);
            QCOMPARE(g.grid.insertionRow(), 0);
        };
        // Title 5 onto row 2: the line stands above row 2.
        drag(5, 2, 2);
        QCOMPARE(names(g.list), QStringLiteral("t01,t05,t02,t03,t04,t06"));
        QVERIFY(g.list.cursor() == 2 && g.w.commands().editor().Modified());
        // Title 2 onto row 5: the line stands below it, and it becomes title 5.
        drag(2, 5, 6);
        QCOMPARE(names(g.list), QStringLiteral("t01,t02,t03,t04,t05,t06"));
        QCOMPARE(g.list.cursor(), 5);
        // A drop on the dragged row itself changes nothing; undo takes a reorder back.
        drag(3, 3, 3, 20);
        g.w.actions().mnuEdit_Undo->trigger();
        QCOMPARE(names(g.list), QStringLiteral("t01,t05,t02,t03,t04,t06"));
    }

    void dragNearTheEdgesScrollsAndTheWheel()
    {
        Grid g(numbered("t", 40, 2), QSize(900, 500));
        g.grid.setTopRow(10);
        const QPoint start = g.at(GridColumn::Name, 12);
        const auto move = [&](int y) {
            g.send(QEvent::MouseMove, QPoint(start.x(), y), Qt::NoButton, Qt::LeftButton);
        };
        const auto tick = [&g] { QMetaObject::invokeMethod(g.grid.scrollTimer(), "timeout"); };
        g.send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        move(20);
        QCOMPARE(g.grid.scrollStep(), -1);
        QVERIFY(g.grid.scrollTimer()->isActive() && g.grid.scrollTimer()->interval() == 100);
        tick();
        QCOMPARE(g.grid.topRow(), 9);
        move(g.vp()->height() - 10);
        tick();
        tick();
        QCOMPARE(g.grid.topRow(), 11);
        // Releasing stops the timer.
        g.send(QEvent::MouseButtonRelease, QPoint(start.x(), 5), Qt::LeftButton, Qt::NoButton);
        QVERIFY(!g.grid.scrollTimer()->isActive());
        // Scrolling clamps to 1..(rows - visible rows).
        g.grid.setTopRow(500);
        QCOMPARE(g.grid.topRow(), 1 + 40 - g.grid.visibleRowCount());
        // The wheel: three rows per notch.
        g.grid.setTopRow(10);
        for (const auto &[delta, top] : {std::pair{-120, 13}, std::pair{240, 7}}) {
            QWheelEvent wheel(QPointF(100, 100), g.vp()->mapToGlobal(QPointF(100, 100)), QPoint(),
                              QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(g.vp(), &wheel);
            QCOMPARE(g.grid.topRow(), top);
        }
    }

    void cursorKeys()
    {
        Grid g(numbered("t", 99, 2), QSize(900, 500));
        g.list.at(7).Mark = 3;
        g.list.at(9).Mark = 3;
        g.list.at(11).Mark = 9;
        g.list.at(4).Attributes.setMemoryNo(0x0010);
        g.w.keyer().SetDskState(DskState::OnRunning, 0x0010);
        g.list.notifyRowChanged(11);
        // From, key, to. Mark3 is held by titles 7 and 9 (a damaged list: the first wins),
        // Mark9 by 11; title 4 is on the keyer.
        const Qt::KeyboardModifiers shift = Qt::ShiftModifier, keypad = Qt::KeypadModifier;
        const struct
        {
            int from;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int to;
        } cases[] = {
            {1, Qt::Key_Up, {}, 1},      {1, Qt::Key_Down, {}, 2},   {2, Qt::Key_Down, shift, 3},
            {99, Qt::Key_Down, {}, 99},  {2, Qt::Key_End, {}, 99},   {50, Qt::Key_Home, {}, 1},
            {95, Qt::Key_Right, {}, 99}, {99, Qt::Key_Left, {}, 89}, {4, Qt::Key_Left, {}, 1},
            {1, Qt::Key_3, {}, 7},       {1, Qt::Key_9, keypad, 11}, {11, Qt::Key_5, {}, 11},
            {50, Qt::Key_0, {}, 4},      {50, Qt::Key_0, keypad, 4}};
        for (const auto &c : cases) {
            g.list.SetCursor(c.from);
            QTest::keyClick(&g.grid, c.key, c.modifiers);
            QVERIFY2(g.list.cursor() == c.to, qPrintable(QString::number(c.key, 16)));
            // The cursor row is scrolled into view.
            QVERIFY(g.grid.topRow() <= c.to && c.to < g.grid.topRow() + g.grid.visibleRowCount());
        }
        // With no title on the keyer 0 does nothing.
        g.w.keyer().SetDskState(DskState::Ended, 0xFFFF);
        QTest::keyClick(&g.grid, Qt::Key_0);
        QCOMPARE(g.list.cursor(), 4);
    }

    void editingKeys()
    {
        Grid g(numbered("t", 5, 2));
        // Each key and the list's size after it; the letters alone do nothing.
        const struct
        {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int answer, count, selected;
        } steps[] = {{Qt::Key_A, {}, 0, 5, 1},
                     {Qt::Key_A, Qt::ControlModifier, 0, 5, 5},
                     {Qt::Key_C, Qt::ControlModifier, 0, 5, 5},
                     {Qt::Key_V, {}, 0, 5, 5},
                     {Qt::Key_V, Qt::ControlModifier, 0, 10, -1},
                     {Qt::Key_Z, {}, 0, 10, -1},
                     {Qt::Key_Z, Qt::ControlModifier, 0, 5, -1},
                     {Qt::Key_Y, Qt::ControlModifier, 0, 10, 1},
                     {Qt::Key_Delete, {}, IdNo, 10, 1},
                     {Qt::Key_Delete, {}, IdYes, 9, 1},
                     {Qt::Key_X, Qt::ControlModifier, 0, 8, 1}};
        for (const auto &step : steps) {
            if (step.answer)
                g.rig.boxes.answer(step.answer);
            QTest::keyClick(&g.grid, step.key, step.modifiers);
            QCOMPARE(g.list.count(), step.count);
            if (step.selected >= 0)
                QCOMPARE(g.list.SelectionCount(), step.selected);
        }
        // Delete asked 103 each time.
        QCOMPARE(g.rig.boxes.shownIds(), (QList<int>{103, 103}));
    }

    void keysOfOtherWindowsAreTheirs()
    {
        Grid g(numbered("t", 5, 2));
        // A control of the window other than the grid: the window's keys still work.
        QTest::keyClick(g.w.actions().toolBar->widgetForAction(g.w.actions().mnuCursor_CursorTop),
                        Qt::Key_End);
        QCOMPARE(g.list.cursor(), 5);
        // Another window's edit keeps its keys.
        QLineEdit other;
        other.setText(QStringLiteral("abc"));
        other.show();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTest::keyClick(&other, Qt::Key_Home);
        QTest::keyClick(&other, Qt::Key_1);
        QVERIFY(g.list.cursor() == 5 && other.text() == QStringLiteral("1abc"));
    }

    void contextMenuOnTheGrid()
    {
        Grid g(numbered("t", 5, 2), QSize(900, 1000));
        MainActions &a = g.w.actions();
        QMap<QAction *, bool> enabled;
        const auto inspect = [&enabled] {
            QTimer::singleShot(0, [&enabled] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                QVERIFY(menu);
                enabled.clear();
                for (QAction *action : menu->actions())
                    enabled.insert(action, action->isEnabled());
                menu->close();
            });
        };
        inspect();
        QTest::mouseClick(g.vp(), Qt::RightButton, {}, g.at(GridColumn::Name, 3));
        QCOMPARE(g.list.cursor(), 3);
        QVERIFY(enabled.value(a.mnuEdit_Cut) && enabled.value(a.mnuEdit_Delete));
        QVERIFY(!enabled.value(a.mnuEdit_Paste) && enabled.value(a.pmnuAdd));
        // A right press on a selected title keeps the selection.
        g.list.SelectAll();
        inspect();
        QTest::mouseClick(g.vp(), Qt::RightButton, {}, g.at(GridColumn::Name, 4));
        QCOMPARE(g.list.SelectionCount(), 5);
        // Elsewhere the title commands are off, in the menu only: the keys keep them.
        inspect();
        QTest::mouseClick(g.vp(), Qt::RightButton, {}, QPoint(300, g.vp()->height() - 3));
        QVERIFY(!enabled.value(a.mnuEdit_Cut) && !enabled.value(a.mnuEdit_Delete));
        QVERIFY(a.mnuEdit_Cut->isEnabled() && a.mnuEdit_Delete->isEnabled());
    }
};

QTEST_MAIN(TestListGrid)
#include "test_listgrid.moc"
