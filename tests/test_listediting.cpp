// List editing: snapshot undo and redo, the internal clipboard, delete,
// sorting with the header directions, drag reordering, and commands that wait
// while an import is in hand.

#include "core/MemoryNo.h"
#include "listcore/ListFixtures.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace ListFixtures;

class TestListEditing : public QObject
{
    Q_OBJECT

private slots:
    void addToEmptyListRecordsNothingAndSavingEmptiesUndo()
    {
        ListHarness h;
        QVERIFY(h.addStill("a") && !h.editor.canUndo() && h.editor.Modified());
        QVERIFY(h.addStill("b"));
        QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  追加"));
        h.editor.Undo();
        QCOMPARE(names(h.list), QStringLiteral("a.tga"));
        QCOMPARE(h.editor.redoCaption(), QStringLiteral("やり直し(&R)  追加"));
        h.editor.Redo();
        QCOMPARE(names(h.list), QStringLiteral("a.tga,b.tga"));
        QVERIFY(h.editor.SaveList(h.path("l.vtl"), true));
        QVERIFY(!h.editor.canUndo() && !h.editor.canRedo());
        // An action number outside 1..6 has no name but can be undone.
        h.editor.PushUndo(9);
        QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  "));
        QVERIFY(h.editor.canUndo());
    }

    void seventeenDeletesKeepSixteenSteps()
    {
        ListHarness h;
        fill(h.list, numbered("n", 20));
        for (int i = 0; i < 17; ++i) {
            h.boxes.answer(IdYes);
            h.list.SetCursor(1);
            QVERIFY(h.editor.Delete());
        }
        QCOMPARE(h.editor.undoStack().size(), 16);
        while (h.editor.canUndo())
            h.editor.Undo();
        // The state before the first delete is gone: 19 titles, n2 first.
        QVERIFY(h.list.count() == 19 && h.list.at(1).Name == QStringLiteral("n2"));
        QCOMPARE(h.editor.redoStack().size(), 16);
        while (h.editor.canRedo())
            h.editor.Redo();
        QCOMPARE(h.list.count(), 3);
    }

    void undoRedoRestoreListCursorAndModified()
    {
        ListHarness h;
        fill(h.list, numbered("n", 5));
        h.editor.UpdateCaption(false);
        int top = 1;
        h.editor.setTopRowAccess([&top] { return top; }, [&top](int t) { top = t; });
        QSignalSpy resync(&h.editor, &ListEditor::resyncRequested);
        QSignalSpy refresh(&h.editor, &ListEditor::memoryRefreshRequested);
        h.list.SetCursor(3);
        top = 2;
        h.boxes.answer(IdYes);
        QVERIFY(h.editor.Delete());
        QCOMPARE(h.list.cursor(), 2);
        top = 1;
        h.editor.Undo();
        QCOMPARE(names(h.list), QStringLiteral("n1,n2,n3,n4,n5"));
        QCOMPARE(h.list.cursor(), 3);
        QCOMPARE(top, 2);
        QVERIFY(!h.editor.Modified()); // the step was taken before any change
        QVERIFY(resync.count() == 1 && refresh.count() == 1);
        h.editor.Redo();
        QCOMPARE(names(h.list), QStringLiteral("n1,n2,n4,n5"));
        QVERIFY(h.editor.Modified());
        QCOMPARE(resync.count(), 2);
        // A new change empties the redo stack.
        h.editor.Undo();
        h.editor.SortList(ListEditor::NameDescending);
        QVERIFY(!h.editor.canRedo());
    }

    void copyThenPasteTwice()
    {
        ListHarness h;
        fill(h.list, numbered("n", 3));
        h.list.at(2).Mark = 5;
        h.list.at(2).Attributes.setMemoryNo(0x0012);
        h.list.at(2).Attributes.setDeviceWord(0xABCD);
        h.list.SetCursor(2);
        h.editor.UpdateCaption(false);
        QVERIFY(h.editor.Copy() && !h.editor.canUndo() && !h.editor.Modified());
        QVERIFY(h.editor.Paste() && h.editor.Paste());
        QCOMPARE(names(h.list), QStringLiteral("n1,n2,n3,n2,n2"));
        for (int i : {4, 5}) {
            QCOMPARE(h.list.at(i).Mark, 0);
            QCOMPARE(h.list.at(i).Attributes.memoryNo(), MemoryNo::NotStored);
            QCOMPARE(h.list.at(i).Attributes.deviceWord(), 0u);
        }
        // The original keeps its mark and device fields.
        QCOMPARE(h.list.at(2).Mark, 5);
        QCOMPARE(h.list.at(2).Attributes.memoryNo(), std::uint16_t(0x0012));
        QVERIFY(h.list.cursor() == 5 && h.editor.Modified());
    }

    void cutStoresHistoryAndReleasesDeviceTitles()
    {
        ListHarness h;
        fill(h.list, numbered("n", 3));
        h.list.at(1).Attributes.setMemoryNo(0x0003);
        h.list.at(2).Attributes.setMemoryNo(0x0004);
        h.list.SelectAll();
        h.list.setSelected(3, false);
        h.connected = true;
        QSignalSpy released(&h.editor, &ListEditor::deviceTitleReleased);
        QVERIFY(h.editor.Cut());
        QCOMPARE(released.count(), 2);
        QCOMPARE(released.at(0).at(0).value<std::uint16_t>(), std::uint16_t(3));
        QCOMPARE(names(h.list), QStringLiteral("n3"));
        QCOMPARE(h.editor.clipboard().size(), std::size_t(2));
        QCOMPARE(h.editor.clipboard().front().Attributes.memoryNo(), MemoryNo::NotStored);
        QCOMPARE(h.history.FindHistory("/pictures/n1.tga")->Attributes.memoryNo(),
                 std::uint16_t(3));
        QVERIFY(h.history.FindHistory("/pictures/n2.tga"));
        // Not connected: nothing is released on the device.
        h.connected = false;
        h.list.SetCursor(1);
        QVERIFY(h.editor.Cut());
        QCOMPARE(released.count(), 2);
    }

    void deleteAsksMovesTheCursorAndSparesTheTitleOnAir()
    {
        ListHarness h;
        fill(h.list, numbered("n", 5));
        h.list.SetCursor(4);
        h.boxes.answer(IdNo);
        QVERIFY(!h.editor.Delete());
        QCOMPARE(h.list.count(), 5);
        QCOMPARE(h.boxes.shown().first().flags, int(MsgExclamationYesNo));
        h.boxes.answer(IdYes);
        QVERIFY(h.editor.Delete());
        QCOMPARE(h.list.cursor(), 3);
        h.list.SetCursor(1);
        h.boxes.answer(IdYes);
        QVERIFY(h.editor.Delete());
        QCOMPARE(h.list.cursor(), 1);
        QCOMPARE(names(h.list), QStringLiteral("n2,n3,n5"));
        QCOMPARE(h.boxes.shownIds(), (QList<int>{103, 103, 103}));
        // A selection holding the title on air is neither cut nor deleted.
        h.list.at(1).Attributes.setMemoryNo(0x0007);
        h.list.setOnAirMemoryNo(0x0007);
        h.boxes.clear();
        QVERIFY(!h.editor.Cut() && !h.editor.Delete());
        QCOMPARE(h.boxes.shownIds(), (QList<int>{136, 136}));
        QCOMPARE(h.list.count(), 3);
        QCOMPARE(h.editor.undoStack().size(), 2);
    }

    void pasteStopsAtNinetyNine()
    {
        ListHarness h;
        fill(h.list, numbered("n", 97));
        h.list.SelectAll();
        h.editor.CopySelection();
        QVERIFY(h.editor.Paste());
        QCOMPARE(h.boxes.shownIds(), QList<int>{105});
        QCOMPARE(h.list.at(99).Name, QStringLiteral("n2"));
        h.boxes.clear();
        QVERIFY(!h.editor.Paste());
        QCOMPARE(h.boxes.shownIds(), QList<int>{105});
        h.editor.Undo();
        QCOMPARE(h.list.count(), 97);
    }

    void sortingAndHeaderDirections()
    {
        ListHarness h;
        // Sorting an empty list does nothing and leaves the directions.
        h.editor.SortByNameHeader();
        QCOMPARE(h.editor.nextNameSortMode(), int(ListEditor::NameDescending));
        fill(h.list, numbered("n", 5));
        const QStringList given{"beta", "Alpha", "gamma", "alpha", "Beta"};
        for (int i = 1; i <= 5; ++i) {
            h.list.at(i).Name = given.at(i - 1);
            h.list.at(i).Comment = QStringList{"c", "A", "b", "e", "D"}.at(i - 1);
        }
        // Case does not count; the head entry stays first; the cursor goes to 1.
        h.list.SetCursor(3);
        h.editor.SortList(ListEditor::NameAscending);
        QCOMPARE(names(h.list).toLower(), QStringLiteral("alpha,alpha,beta,beta,gamma"));
        QCOMPARE(h.list.at(0).Attributes.memoryNo(), MemoryNo::HeadEntry);
        QCOMPARE(h.list.cursor(), 1);
        QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  並び替え"));
        // After an ascending sort the next header click goes down, and back.
        QCOMPARE(h.editor.nextNameSortMode(), int(ListEditor::NameDescending));
        h.editor.SortByNameHeader();
        QCOMPARE(h.list.at(1).Name, QStringLiteral("gamma"));
        QCOMPARE(h.editor.nextNameSortMode(), int(ListEditor::NameAscending));
        // The comment direction is its own: descending first.
        h.editor.SortByCommentHeader();
        QCOMPARE(h.list.at(1).Comment, QStringLiteral("e"));
        h.editor.SortByCommentHeader();
        QCOMPARE(h.list.at(1).Comment, QStringLiteral("A"));
        QCOMPARE(h.editor.nextNameSortMode(), int(ListEditor::NameAscending));
    }

    void newListMoveAndClearList()
    {
        ListHarness h;
        QSignalSpy idle(&h.editor, &ListEditor::keyerIdleRequested);
        h.editor.NewList();
        QCOMPARE(idle.count(), 0);
        fill(h.list, numbered("n", 2));
        // Moving a title nowhere, or from or to outside the list, records nothing.
        QVERIFY(!h.editor.MoveTitle(2, 2) && !h.editor.MoveTitle(0, 2));
        QVERIFY(!h.editor.MoveTitle(1, 3) && !h.editor.canUndo());
        h.editor.UpdateCaption(true);
        h.editor.NewList();
        QCOMPARE(idle.count(), 1);
        QCOMPARE(h.list.count(), 0);
        QVERIFY(!h.editor.Modified() && h.editor.ListFileName().isEmpty());
        QVERIFY(h.history.FindHistory("/pictures/n2.tga"));
    }

    void commandsWaitForAnImportInHand()
    {
        ListHarness h;
        fill(h.list, numbered("n", 2));
        h.list.SelectAll();
        h.editor.CopySelection();
        const QStringList seq = writeSequence(h.env.root(), "busy", 1, 3, 1, 640, 480);
        QSignalSpy busy(&h.editor, &ListEditor::busyChanged);
        h.chooser.whileAsked = [&] {
            QVERIFY(busy.count() == 1 && h.editor.busy());
            // Commands arriving while the question is open change nothing.
            QVERIFY(!h.editor.Paste() && !h.editor.MoveTitle(1, 2));
            QVERIFY(!h.editor.OpenList(h.path("x.vtl"), true));
            QVERIFY(!h.editor.SaveList(h.path("x.vtl"), true));
            QVERIFY(!h.editor.AddImageFile(seq.first()));
            h.editor.OpenAtStart(h.path("x.vtl"));
            h.editor.SortList(ListEditor::NameDescending);
            h.editor.NewList();
            h.editor.Undo();
        };
        h.chooser.answer(TitleTypeKind::MovieOnce, 3, 1);
        QVERIFY(h.editor.AddImageFile(seq.first()));
        QVERIFY(busy.count() == 2 && !busy.last().at(0).toBool());
        QCOMPARE(names(h.list), QStringLiteral("n1,n2,busy1.tga"));
        QCOMPARE(h.chooser.questions.size(), 1);
        QVERIFY(!QFile::exists(h.path("x.vtl")) && h.editor.ListFileName().isEmpty());
        QCOMPARE(h.boxes.shownIds(), QList<int>{});
        // Once it is done they work again.
        QVERIFY(h.editor.Paste());
    }
};

QTEST_GUILESS_MAIN(TestListEditing)
#include "test_listediting.moc"
