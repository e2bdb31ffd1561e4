// List editing: snapshot undo and redo, the internal clipboard, delete,
// sorting with the header directions, and drag reordering.

#include "listcore/ListFixtures.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace ListFixtures;

class TestListEditing : public QObject
{
    Q_OBJECT

private slots:
    void addToEmptyListRecordsNothing();
    void seventeenDeletesKeepSixteenSteps();
    void undoRedoRestoreListCursorAndModified();
    void undoCaptions();
    void savingEmptiesUndo();
    void copyThenPasteTwice();
    void cutStoresHistoryAndReleasesDeviceTitles();
    void deleteAsksAndMovesCursor();
    void onAirSelectionIsRefused();
    void pasteStopsAtNinetyNine();
    void sortByNameIgnoresCaseAndKeepsHead();
    void headerClickDirections();
    void sortByComment();
    void moveTitleForDragReorder();
    void newListAndClearList();
    void commandsWaitForAnImportInHand();
};

static QStringList names(const TitleList &list)
{
    QStringList out;
    for (int i = 1; i <= list.count(); ++i)
        out << list.at(i).Name;
    return out;
}

// Titles named n1..nk without going through pictures (editing needs none).
static void fill(ListHarness &h, int k, int firstNumber = 1)
{
    for (int i = 0; i < k; ++i) {
        TitleEntry e = TitleEntry::create();
        e.Name = QStringLiteral("n%1").arg(firstNumber + i);
        e.FileList = {h.path(e.Name + ".tga")};
        e.IconFrame = 1;
        e.Attributes.setMemoryNo(TitleAttributes::NotStored);
        h.list.insert(h.list.count() + 1, e);
    }
    h.list.SetCursor(1);
}

void TestListEditing::addToEmptyListRecordsNothing()
{
    ListHarness h;
    QVERIFY(h.addStill("a"));
    QVERIFY(!h.editor.canUndo());
    QVERIFY(h.editor.Modified());
    QVERIFY(h.addStill("b"));
    QVERIFY(h.editor.canUndo());
    QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  追加"));
    h.editor.Undo();
    QCOMPARE(names(h.list), QStringList{"a.tga"});
    h.editor.Redo();
    QCOMPARE(names(h.list), (QStringList{"a.tga", "b.tga"}));
}

void TestListEditing::seventeenDeletesKeepSixteenSteps()
{
    ListHarness h;
    fill(h, 20);
    for (int i = 0; i < 17; ++i) {
        h.boxes.answer(IdYes);
        h.list.SetCursor(1);
        QVERIFY(h.editor.Delete());
    }
    QCOMPARE(h.list.count(), 3);
    QCOMPARE(h.editor.undoStack().size(), 16);
    int undone = 0;
    while (h.editor.canUndo()) {
        h.editor.Undo();
        ++undone;
    }
    QCOMPARE(undone, 16);
    // The state before the first delete is gone: 19 titles, n2 first.
    QCOMPARE(h.list.count(), 19);
    QCOMPARE(h.list.at(1).Name, QStringLiteral("n2"));
    QCOMPARE(h.editor.redoStack().size(), 16);
    while (h.editor.canRedo())
        h.editor.Redo();
    QCOMPARE(h.list.count(), 3);
}

void TestListEditing::undoRedoRestoreListCursorAndModified()
{
    ListHarness h;
    fill(h, 5);
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
    QVERIFY(h.editor.Modified());
    top = 1;
    h.editor.Undo();
    QCOMPARE(names(h.list), (QStringList{"n1", "n2", "n3", "n4", "n5"}));
    QCOMPARE(h.list.cursor(), 3);
    QCOMPARE(top, 2);
    QVERIFY(!h.editor.Modified()); // the step was taken before any change
    QCOMPARE(resync.count(), 1);
    QCOMPARE(refresh.count(), 1);
    QCOMPARE(h.list.SelectionCount(), 1);
    h.editor.Redo();
    QCOMPARE(names(h.list), (QStringList{"n1", "n2", "n4", "n5"}));
    QVERIFY(h.editor.Modified());
    QCOMPARE(resync.count(), 2);
    // A new change empties the redo stack.
    h.editor.Undo();
    QVERIFY(h.editor.canRedo());
    h.editor.SortList(ListEditor::NameDescending);
    QVERIFY(!h.editor.canRedo());
}

void TestListEditing::undoCaptions()
{
    ListHarness h;
    QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  "));
    QCOMPARE(h.editor.redoCaption(), QStringLiteral("やり直し(&R)  "));
    fill(h, 3);
    h.editor.SortList(ListEditor::NameAscending);
    QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  並び替え"));
    h.editor.Undo();
    QCOMPARE(h.editor.redoCaption(), QStringLiteral("やり直し(&R)  並び替え"));
    QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  "));
    h.editor.PushUndo(9);
    QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  "));
    QVERIFY(h.editor.canUndo());
    QCOMPARE(UndoStack::actionName(3), QStringLiteral("切り取り"));
    QCOMPARE(UndoStack::actionName(0), QString());
}

void TestListEditing::savingEmptiesUndo()
{
    ListHarness h;
    QVERIFY(h.addStill("a"));
    QVERIFY(h.addStill("b"));
    QVERIFY(h.editor.canUndo());
    QVERIFY(h.editor.SaveList(h.path("l.vtl"), true));
    QVERIFY(!h.editor.canUndo());
    QVERIFY(!h.editor.canRedo());
}

void TestListEditing::copyThenPasteTwice()
{
    ListHarness h;
    fill(h, 3);
    h.list.at(2).Mark = 5;
    h.list.at(2).Attributes.setMemoryNo(0x0012);
    h.list.at(2).Attributes.setDeviceWord(0xABCD);
    h.list.SetCursor(2);
    h.editor.UpdateCaption(false);
    QVERIFY(h.editor.Copy());
    QVERIFY(!h.editor.canUndo());
    QVERIFY(!h.editor.Modified());
    QVERIFY(h.editor.hasClipboard());
    QVERIFY(h.editor.Paste());
    QVERIFY(h.editor.Paste());
    QCOMPARE(names(h.list), (QStringList{"n1", "n2", "n3", "n2", "n2"}));
    for (int i : {4, 5}) {
        QCOMPARE(h.list.at(i).Mark, 0);
        QCOMPARE(h.list.at(i).Attributes.memoryNo(), std::uint16_t(0xFFFE));
        QCOMPARE(h.list.at(i).Attributes.deviceWord(), 0u);
    }
    // The original keeps its mark and device fields.
    QCOMPARE(h.list.at(2).Mark, 5);
    QCOMPARE(h.list.at(2).Attributes.memoryNo(), std::uint16_t(0x0012));
    QCOMPARE(h.list.cursor(), 5);
    QVERIFY(h.editor.Modified());
    QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  貼り付け"));
}

void TestListEditing::cutStoresHistoryAndReleasesDeviceTitles()
{
    ListHarness h;
    fill(h, 3);
    h.list.at(1).Attributes.setMemoryNo(0x0003);
    h.list.at(2).Attributes.setMemoryNo(0x0004);
    h.list.SelectAll();
    h.list.setSelected(3, false);
    h.connected = true;
    QSignalSpy released(&h.editor, &ListEditor::deviceTitleReleased);
    QVERIFY(h.editor.Cut());
    QCOMPARE(released.count(), 2);
    QCOMPARE(released.at(0).at(0).value<std::uint16_t>(), std::uint16_t(3));
    QCOMPARE(names(h.list), QStringList{"n3"});
    QCOMPARE(h.editor.clipboard().size(), std::size_t(2));
    QCOMPARE(h.editor.clipboard().front().Attributes.memoryNo(), std::uint16_t(0xFFFE));
    QVERIFY(h.history.FindHistory(h.path("n1.tga")));
    QVERIFY(h.history.FindHistory(h.path("n2.tga")));
    QCOMPARE(h.history.FindHistory(h.path("n1.tga"))->Attributes.memoryNo(), std::uint16_t(3));
    // Not connected: nothing is released on the device.
    h.connected = false;
    h.list.SetCursor(1);
    QVERIFY(h.editor.Cut());
    QCOMPARE(released.count(), 2);
}

void TestListEditing::deleteAsksAndMovesCursor()
{
    ListHarness h;
    fill(h, 5);
    h.list.SetCursor(4);
    h.boxes.answer(IdNo);
    QVERIFY(!h.editor.Delete());
    QCOMPARE(h.list.count(), 5);
    QCOMPARE(h.boxes.shown().first().textId, 103);
    QCOMPARE(h.boxes.shown().first().captionId, 3);
    QCOMPARE(h.boxes.shown().first().flags, int(MsgExclamationYesNo));
    h.boxes.answer(IdYes);
    QVERIFY(h.editor.Delete());
    QCOMPARE(h.list.cursor(), 3);
    h.list.SetCursor(1);
    h.boxes.answer(IdYes);
    QVERIFY(h.editor.Delete());
    QCOMPARE(h.list.cursor(), 1);
    QCOMPARE(names(h.list), (QStringList{"n2", "n3", "n5"}));
}

void TestListEditing::onAirSelectionIsRefused()
{
    ListHarness h;
    fill(h, 2);
    h.list.at(1).Attributes.setMemoryNo(0x0007);
    h.list.setOnAirMemoryNo(0x0007);
    h.list.SetCursor(1);
    QVERIFY(!h.editor.Cut());
    QVERIFY(!h.editor.Delete());
    QCOMPARE(h.boxes.shownIds(), (QList<int>{136, 136}));
    QCOMPARE(h.list.count(), 2);
    QVERIFY(!h.editor.canUndo());
}

void TestListEditing::pasteStopsAtNinetyNine()
{
    ListHarness h;
    fill(h, 97);
    h.list.SelectAll();
    h.editor.CopySelection();
    QVERIFY(h.editor.Paste());
    QCOMPARE(h.list.count(), 99);
    QCOMPARE(h.boxes.shownIds(), QList<int>{105});
    QCOMPARE(h.list.at(99).Name, QStringLiteral("n2"));
    h.boxes.clear();
    QVERIFY(!h.editor.Paste());
    QCOMPARE(h.boxes.shownIds(), QList<int>{105});
    h.editor.Undo();
    QCOMPARE(h.list.count(), 97);
}

void TestListEditing::sortByNameIgnoresCaseAndKeepsHead()
{
    ListHarness h;
    fill(h, 5);
    const QStringList given{"beta", "Alpha", "gamma", "alpha", "Beta"};
    for (int i = 1; i <= 5; ++i)
        h.list.at(i).Name = given.at(i - 1);
    h.editor.SortList(ListEditor::NameAscending);
    const QStringList sorted = names(h.list);
    QCOMPARE(sorted.at(0).toLower(), QStringLiteral("alpha"));
    QCOMPARE(sorted.at(1).toLower(), QStringLiteral("alpha"));
    QCOMPARE(sorted.at(2).toLower(), QStringLiteral("beta"));
    QCOMPARE(sorted.at(3).toLower(), QStringLiteral("beta"));
    QCOMPARE(sorted.at(4), QStringLiteral("gamma"));
    QCOMPARE(h.list.at(0).Attributes.memoryNo(), std::uint16_t(0xFFFD));
    QCOMPARE(h.list.cursor(), 1);
    h.editor.SortList(ListEditor::NameDescending);
    QCOMPARE(h.list.at(1).Name, QStringLiteral("gamma"));
    QCOMPARE(h.list.at(5).Name.toLower(), QStringLiteral("alpha"));
}

void TestListEditing::headerClickDirections()
{
    ListHarness h;
    // Sorting an empty list does nothing and leaves the directions.
    h.editor.SortByNameHeader();
    QCOMPARE(h.editor.nextNameSortMode(), int(ListEditor::NameDescending));
    fill(h, 3);
    h.editor.SortByNameHeader();
    QCOMPARE(names(h.list), (QStringList{"n3", "n2", "n1"}));
    QCOMPARE(h.editor.nextNameSortMode(), int(ListEditor::NameAscending));
    h.editor.SortByNameHeader();
    QCOMPARE(names(h.list), (QStringList{"n1", "n2", "n3"}));
    QCOMPARE(h.editor.nextNameSortMode(), int(ListEditor::NameDescending));
    // The comment direction is its own.
    QCOMPARE(h.editor.nextCommentSortMode(), int(ListEditor::CommentDescending));
    h.editor.SortList(ListEditor::CommentAscending);
    QCOMPARE(h.editor.nextCommentSortMode(), int(ListEditor::CommentDescending));
    QCOMPARE(h.editor.nextNameSortMode(), int(ListEditor::NameDescending));
}

void TestListEditing::sortByComment()
{
    ListHarness h;
    fill(h, 3);
    h.list.at(1).Comment = "c";
    h.list.at(2).Comment = "A";
    h.list.at(3).Comment = "b";
    h.editor.SortByCommentHeader();
    QCOMPARE(names(h.list), (QStringList{"n1", "n3", "n2"}));
    h.editor.SortByCommentHeader();
    QCOMPARE(names(h.list), (QStringList{"n2", "n3", "n1"}));
    QVERIFY(h.editor.Modified());
}

void TestListEditing::moveTitleForDragReorder()
{
    ListHarness h;
    fill(h, 5);
    QVERIFY(h.editor.MoveTitle(5, 2));
    QCOMPARE(names(h.list), (QStringList{"n1", "n5", "n2", "n3", "n4"}));
    QCOMPARE(h.list.cursor(), 2);
    h.editor.Undo();
    QVERIFY(h.editor.MoveTitle(2, 5));
    QCOMPARE(names(h.list), (QStringList{"n1", "n3", "n4", "n5", "n2"}));
    QCOMPARE(h.list.cursor(), 5);
    QCOMPARE(h.editor.undoCaption(), QStringLiteral("元に戻す(&U)  並び替え"));
    const int steps = h.editor.undoStack().size();
    QVERIFY(!h.editor.MoveTitle(3, 3));
    QVERIFY(!h.editor.MoveTitle(0, 2));
    QVERIFY(!h.editor.MoveTitle(2, 6));
    QCOMPARE(h.editor.undoStack().size(), steps);
}

void TestListEditing::newListAndClearList()
{
    ListHarness h;
    QSignalSpy idle(&h.editor, &ListEditor::keyerIdleRequested);
    h.editor.NewList();
    QCOMPARE(idle.count(), 0);
    fill(h, 2);
    h.editor.UpdateCaption(true);
    h.editor.NewList();
    QCOMPARE(idle.count(), 1);
    QCOMPARE(h.list.count(), 0);
    QVERIFY(!h.editor.Modified());
    QVERIFY(h.editor.ListFileName().isEmpty());
    QVERIFY(h.history.FindHistory(h.path("n2.tga")));
}

void TestListEditing::commandsWaitForAnImportInHand()
{
    ListHarness h;
    fill(h, 2);
    h.list.SelectAll();
    h.editor.CopySelection();
    const QStringList seq = writeSequence(h.env.root(), "busy", 1, 3, 1, 640, 480);
    bool wasBusy = false;
    h.chooser.whileAsked = [&] {
        wasBusy = h.editor.busy();
        // Commands arriving while the question is open change nothing.
        QVERIFY(!h.editor.Paste());
        QVERIFY(!h.editor.MoveTitle(1, 2));
        QVERIFY(!h.editor.OpenList(h.path("x.vtl"), true));
        QVERIFY(!h.editor.SaveList(h.path("x.vtl"), true));
        QVERIFY(!h.editor.AddImageFile(seq.first()));
        h.editor.SortList(ListEditor::NameDescending);
        h.editor.NewList();
    };
    h.chooser.answer(TitleTypeKind::MovieOnce, 3, 1);
    QVERIFY(h.editor.AddImageFile(seq.first()));
    QVERIFY(wasBusy);
    QVERIFY(!h.editor.busy());
    QCOMPARE(names(h.list), (QStringList{"n1", "n2", "busy1.tga"}));
    QCOMPARE(h.chooser.questions.size(), 1);
    QVERIFY(!QFile::exists(h.path("x.vtl")));
    QCOMPARE(h.boxes.shownIds(), QList<int>{});
    // Once it is done they work again.
    QVERIFY(h.editor.Paste());
}

QTEST_GUILESS_MAIN(TestListEditing)
#include "test_listediting.moc"
