// The list grid through the real main window: cell texts and colours, the
// DSK cursor, mouse selection rules, header sort marks, drag reorder with the
// insertion line and edge scrolling, the wheel, and the cursor keys.

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
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
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace ListUiFixtures;

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
    QPoint at(GridColumn column, int row, int dy = 10) const
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
        QCOMPARE(ListGridCellDrawer::fractionText(2), QStringLiteral("1/4"));
        QCOMPARE(ListGridCellDrawer::fractionText(3), QString());
        QCOMPARE(ListGridCellDrawer::markText(3, true), QStringLiteral("M3"));
        QCOMPARE(ListGridCellDrawer::markText(3, false), QStringLiteral("3"));
        QCOMPARE(ListGridCellDrawer::markText(0, true), QString());
        TitleAttributes a;
        a.setWaitSecond(Effect::In, 5);
        a.setWaitFrame(Effect::In, 7);
        QCOMPARE(ListGridCellDrawer::inWaitText(a), QStringLiteral("  05:07"));
        QCOMPARE(ListGridCellDrawer::effectText(a, true, true), MessageTable::text(58));
        a.setPattern(Effect::Out, true);
        // Only the low 14 bits are the pattern number.
        a.setEffPatternWord(Effect::Out, 0xC000 | 12);
        QCOMPARE(ListGridCellDrawer::effectText(a, false, false), QStringLiteral("  0012"));
        a.setDurMinute(1);
        a.setDurSecond(2);
        a.setDurFrame(3);
        QCOMPARE(ListGridCellDrawer::durationText(a, false), QStringLiteral("  01:02:03"));
        a.setTypeFlags(5 | 0x80); // a repeating movie; bit 7 is carried
        QCOMPARE(ListGridCellDrawer::typeNameId(a), 46);
        a.setTypeFlags(1 | 0x08);
        QCOMPARE(ListGridCellDrawer::playDirectionPicture(a), int(GridPictures::PlayReverse));
    }

    void dskCursorColumnByStateAndPhase()
    {
        using C = std::optional<GridColumn>;
        const C none;
        const C expected[7][2] = {{none, GridColumn::On},
                                  {GridColumn::On, GridColumn::On},
                                  {GridColumn::Type, GridColumn::Type},
                                  {none, GridColumn::Off},
                                  {GridColumn::Off, GridColumn::Off},
                                  {none, none},
                                  {none, none}};
        for (int state = 0; state < 7; ++state)
            for (int phase = 0; phase < 2; ++phase)
                QVERIFY(ListGridCellDrawer::dskCursorColumn(DskState(state), phase) ==
                        expected[state][phase]);
    }

    void cellColoursInTheGrab()
    {
        Grid g(letters(3));
        g.list.at(1).Attributes.setMemoryNo(4);
        g.list.at(2).NoRoom = true;
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
        // The stored order cell's raised frame.
        QVERIFY(pixel(GridColumn::Order, 1, 8, 1) != ListGridCellDrawer::storedColour());
        // Waiting for the in trigger: the ON cell blinks with the phase.
        QVERIFY(pixel(GridColumn::On, 1, 3, 30) != cursor);
        g.w.commands().showBlinkPhase(1);
        QCOMPARE(pixel(GridColumn::On, 1, 3, 30), cursor);
        // Only the title on air carries the cursor.
        QVERIFY(pixel(GridColumn::On, 2, 3, 30) != cursor);
        // Showing: the cursor stands in the TYPE cell whatever the phase.
        g.w.commands().showDskState(DskState::Showing);
        QVERIFY(pixel(GridColumn::On, 1, 3, 30) != cursor);
        g.w.commands().showBlinkPhase(0);
        QCOMPARE(pixel(GridColumn::Type, 1, 3, 30), cursor);
        // The header's first cell stays plain; the cursor title's frame is yellow.
        QCOMPARE(pixel(GridColumn::State, 0, 10, 8), g.grid.palette().color(QPalette::Button));
        QCOMPARE(pixel(GridColumn::Name, 1, 30, 0), ListGridCellDrawer::selectedFrameColour());
        QVERIFY(pixel(GridColumn::Name, 2, 30, 0) != ListGridCellDrawer::selectedFrameColour());
    }

    void pressSelectionRules()
    {
        Grid g(letters(8), QSize(900, 1000));
        const auto press = [&g](int row, Qt::KeyboardModifiers modifiers = {}) {
            QTest::mouseClick(g.vp(), Qt::LeftButton, modifiers, g.at(GridColumn::Name, row));
        };
        press(3);
        QCOMPARE(g.selected(), QList<int>{3});
        QCOMPARE(g.w.statusText(1), g.list.at(3).firstFile());
        // Ctrl toggles another title; the cursor title is left alone.
        press(5, Qt::ControlModifier);
        press(3, Qt::ControlModifier);
        QCOMPARE(g.selected(), (QList<int>{3, 5}));
        QCOMPARE(g.w.statusText(1), MessageTable::format(19, {2}));
        press(5, Qt::ControlModifier);
        QCOMPARE(g.selected(), QList<int>{3});
        // Shift adds the range between the cursor and the pressed title.
        press(1, Qt::ControlModifier);
        press(5, Qt::ShiftModifier);
        QCOMPARE(g.selected(), (QList<int>{1, 3, 4, 5}));
        QCOMPARE(g.list.cursor(), 3);
        press(2, Qt::ShiftModifier);
        QCOMPARE(g.selected(), (QList<int>{1, 2, 3, 4, 5}));
        // A plain press goes back to a single selection; below the titles nothing happens.
        press(6);
        QTest::mouseClick(g.vp(), Qt::LeftButton, {}, QPoint(300, g.vp()->height() - 3));
        QCOMPARE(g.selected(), QList<int>{6});
    }

    void headerSortMarks()
    {
        Grid g({QStringLiteral("b"), QStringLiteral("A"), QStringLiteral("c")});
        const QRect header = g.grid.cellRect(GridColumn::Name, 0);
        const auto click = [&g](int x) { QTest::mouseClick(g.vp(), Qt::LeftButton, {}, {x, 8}); };
        QVERIFY(g.grid.nameSortAscending());
        // The first click after start sorts descending, the next ascending.
        click(header.left() + 48);
        QCOMPARE(g.names().join(u','), QStringLiteral("c,b,A"));
        QVERIFY(!g.grid.nameSortAscending());
        click(header.left() + 48);
        QCOMPARE(g.names().join(u','), QStringLiteral("A,b,c"));
        QVERIFY(g.grid.nameSortAscending());
        QCOMPARE(g.w.commands().editor().undoCaption(),
                 MessageTable::text(31) + QStringLiteral("  ") + MessageTable::text(39));
        // Outside the 43..53 band nothing happens.
        click(header.left() + 40);
        click(header.left() + 56);
        QCOMPARE(g.names().join(u','), QStringLiteral("A,b,c"));
        // By comment (the names in capitals): descending first, from the mark at the right.
        click(header.right() - 47);
        QCOMPARE(g.names().join(u','), QStringLiteral("c,b,A"));
        QVERIFY(!g.grid.commentSortAscending() && g.grid.nameSortAscending());
        // The list view has no comment mark.
        g.w.setIconView(false);
        click(g.grid.cellRect(GridColumn::Name, 0).right() - 47);
        QCOMPARE(g.names().join(u','), QStringLiteral("c,b,A"));
    }

    void dragReorderWithInsertionLine()
    {
        Grid g(letters(6), QSize(900, 900));
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
            g.send(QEvent::MouseButtonRelease, g.at(GridColumn::Name, to, dy), Qt::LeftButton,
                   Qt::NoButton);
            QCOMPARE(g.grid.insertionRow(), 0);
        };
        // Title 5 onto row 2: the line stands above row 2, drawn in white.
        g.send(QEvent::MouseButtonPress, g.at(GridColumn::Name, 5), Qt::LeftButton, Qt::LeftButton);
        g.send(QEvent::MouseMove, g.at(GridColumn::Name, 2), Qt::NoButton, Qt::LeftButton);
        const QImage shot = g.vp()->grab().toImage();
        const int lineY = g.grid.cellRect(GridColumn::State, 2).top();
        QCOMPARE(shot.pixelColor(QPoint(200, lineY) * shot.devicePixelRatio()), QColor(Qt::white));
        g.send(QEvent::MouseButtonRelease, g.at(GridColumn::Name, 5), Qt::LeftButton, Qt::NoButton);
        drag(5, 2, 2);
        QCOMPARE(g.names().join(u','), QStringLiteral("t01,t05,t02,t03,t04,t06"));
        QCOMPARE(g.list.cursor(), 2);
        QVERIFY(g.w.commands().editor().Modified());
        // Title 2 onto row 5: the line stands below it, and it becomes title 5.
        drag(2, 5, 6);
        QCOMPARE(g.names().join(u','), QStringLiteral("t01,t02,t03,t04,t05,t06"));
        QCOMPARE(g.list.cursor(), 5);
        // A drop on the dragged row itself changes nothing; undo takes a reorder back.
        drag(3, 3, 3, 20);
        g.w.actions().mnuEdit_Undo->trigger();
        QCOMPARE(g.names().join(u','), QStringLiteral("t01,t05,t02,t03,t04,t06"));
    }

    void dragNearTheEdgesScrollsAndTheWheel()
    {
        Grid g(letters(40), QSize(900, 500));
        g.grid.setTopRow(10);
        const QPoint start = g.at(GridColumn::Name, 12);
        const auto move = [&](int y) {
            g.send(QEvent::MouseMove, QPoint(start.x(), y), Qt::NoButton, Qt::LeftButton);
        };
        const auto tick = [&g] { QMetaObject::invokeMethod(g.grid.scrollTimer(), "timeout"); };
        g.send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        move(20);
        QCOMPARE(g.grid.scrollStep(), -1);
        QVERIFY(g.grid.scrollTimer()->isActive());
        QCOMPARE(g.grid.scrollTimer()->interval(), 100);
        tick();
        QCOMPARE(g.grid.topRow(), 9);
        move(g.vp()->height() - 10);
        tick();
        tick();
        QCOMPARE(g.grid.topRow(), 11);
        // In the middle the timer stops; releasing stops it too.
        move(g.vp()->height() / 2);
        QVERIFY(!g.grid.scrollTimer()->isActive());
        move(20);
        g.send(QEvent::MouseButtonRelease, QPoint(start.x(), 5), Qt::LeftButton, Qt::NoButton);
        QVERIFY(!g.grid.scrollTimer()->isActive());
        // Scrolling clamps to 1..(rows - visible rows).
        g.grid.setTopRow(-5);
        QCOMPARE(g.grid.topRow(), 1);
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

    void cursorKeys_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        QTest::newRow("up on the first") << 1 << int(Qt::Key_Up) << 1;
        QTest::newRow("down") << 1 << int(Qt::Key_Down) << 2;
        QTest::newRow("down on the last") << 99 << int(Qt::Key_Down) << 99;
        QTest::newRow("end") << 2 << int(Qt::Key_End) << 99;
        QTest::newRow("home") << 50 << int(Qt::Key_Home) << 1;
        QTest::newRow("right clamps") << 95 << int(Qt::Key_Right) << 99;
        QTest::newRow("left") << 99 << int(Qt::Key_Left) << 89;
        QTest::newRow("left clamps") << 4 << int(Qt::Key_Left) << 1;
    }

    void cursorKeys()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        Grid g(letters(99), QSize(900, 500));
        g.list.SetCursor(from);
        QTest::keyClick(&g.grid, Qt::Key(key));
        QCOMPARE(g.list.cursor(), to);
        // The cursor row is scrolled into view.
        QVERIFY(g.grid.topRow() <= to && to < g.grid.topRow() + g.grid.visibleRowCount());
    }

    void markAndDskJumpKeys()
    {
        Grid g(letters(12));
        g.list.at(7).Mark = 3;
        g.list.at(9).Mark = 3; // held twice in a damaged list: the first one wins
        g.list.at(11).Mark = 9;
        g.list.notifyRowChanged(11);
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
        g.w.keyer().SetDskState(DskState::OnRunning, 0x0010);
        QTest::keyClick(target, Qt::Key_0, Qt::KeypadModifier);
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
        QTest::keyClick(target, Qt::Key_V);
        QCOMPARE(g.list.count(), 5);
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(g.list.count(), 10);
        QTest::keyClick(target, Qt::Key_Z);
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
        QTest::keyClick(g.w.findChild<QToolButton *>(QStringLiteral("TButtonCursorTop")),
                        Qt::Key_End);
        QCOMPARE(g.list.cursor(), 5);
        // Another window's edit keeps its keys.
        QLineEdit other;
        other.setText(QStringLiteral("abc"));
        other.show();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTest::keyClick(&other, Qt::Key_Home);
        QTest::keyClick(&other, Qt::Key_1);
        QCOMPARE(g.list.cursor(), 5);
        QCOMPARE(other.text(), QStringLiteral("1abc"));
    }

    void contextMenuOnTheGrid()
    {
        Grid g(letters(5), QSize(900, 1000));
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
        QVERIFY(!enabled.value(a.mnuEdit_Paste));
        QVERIFY(enabled.value(a.pmnuAdd));
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
