// The main window as a new operator meets it, through its keys: the first title
// of an empty list is the selected cursor title, edits that change nothing leave
// no undo step, undo and redo keep the cursor row in view; message boxes carry
// exactly the program's caption, and in Japanese the toolkit's own texts
// (buttons, the file dialog) are Japanese too.

#include "app/DialogMessageBoxes.h"
#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "app/TFormSplash.h"
#include "app/ToolkitTranslations.h"
#include "list/ListEditor.h"
#include "list/TitleList.h"
#include "listcore/ListFixtures.h"
#include "listui/ListUiFixtures.h"
#include "memory/ListGrid.h"
#include "resources/MessageTable.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace ListFixtures;
using namespace ListUiFixtures;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageTable::setLanguage(Language::Japanese);
        QVERIFY(ToolkitTranslations::install(*qApp, Language::Japanese));
    }

    void firstTitleIsTheSelectedCursor()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        QVERIFY(rig.show());
        ListGrid &grid = w.grid();
        ListEditor &editor = w.commands().editor();
        const QString file = rig.picture(QStringLiteral("first.tga"));
        w.commands().setFileChooser([file](int) { return file; });
        w.actions().mnuFile_FileOpen->trigger();
        TitleList &list = w.titleList();
        QCOMPARE(list.count(), 1);
        QVERIFY(list.at(1).Selected);
        // Copy, then Delete (answered Yes) reach it; Delete is one undo step.
        QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(editor.hasClipboard());
        rig.boxes.answer(IdYes);
        QTest::keyClick(&grid, Qt::Key_Delete);
        QVERIFY(list.isEmpty());
        QVERIFY(editor.Modified() && editor.canUndo());

        // With no title selected, Delete, Cut and Copy change nothing: no question,
        // no undo step, no modified mark, the clipboard as it was.
        fill(list, numbered("t", 3));
        editor.clearUndoRedo();
        editor.UpdateCaption(false);
        list.setSelected(1, false);
        rig.boxes.clear();
        for (const QKeyCombination key :
             {QKeyCombination(Qt::Key_Delete), QKeyCombination(Qt::ControlModifier, Qt::Key_X),
              QKeyCombination(Qt::ControlModifier, Qt::Key_C)})
            QTest::keyClick(&grid, key.key(), key.keyboardModifiers());
        // A sort that finds the list in order changes nothing either.
        w.actions().mnuView_SortName_Upward->trigger();
        QVERIFY(rig.boxes.shownIds().isEmpty());
        QCOMPARE(list.count(), 3);
        QVERIFY(!editor.Modified() && !editor.canUndo());
        QCOMPARE(editor.clipboard().size(), std::size_t(1));
        QCOMPARE(editor.clipboard().front().Name, QStringLiteral("first.tga"));
    }

    void undoAndRedoKeepTheCursorInView()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        w.actions().mnuView_Icon->trigger();
        QVERIFY(rig.show());
        ListGrid &grid = w.grid();
        TitleList &list = w.titleList();
        fill(list, numbered("t", 10));
        QVERIFY(grid.visibleRowCount() < 10);
        const auto cursorShown = [&] {
            return list.cursor() >= grid.firstVisibleRow() &&
                   list.cursor() < grid.firstVisibleRow() + grid.visibleRowCount();
        };
        QTest::keyClick(&grid, Qt::Key_End);
        // End, Ctrl+C, Ctrl+V, Ctrl+Z, Ctrl+Y: the cursor row stays in view.
        for (const auto &[key, cursor] : {std::pair{Qt::Key_C, 10}, std::pair{Qt::Key_V, 11},
                                          std::pair{Qt::Key_Z, 10}, std::pair{Qt::Key_Y, 11}}) {
            QTest::keyClick(&grid, key, Qt::ControlModifier);
            QCOMPARE(list.cursor(), cursor);
            QVERIFY(cursorShown());
        }
        QVERIFY(grid.firstVisibleRow() > 1);
    }

    void messageBoxesInTheProgramsWords()
    {
        // Every box: exactly the caption, wide enough that the title bar need not cut it,
        // and the toolkit's buttons in the program's language; a start-up splash
        // gives way to it.
        DialogMessageBoxes boxes;
        QString title;
        int width = 0;
        QStringList buttons;
        QPointer<TFormSplash> splash = new TFormSplash;
        splash->showNow();
        bool covered = true;
        QTimer::singleShot(0, [&] {
            covered = splash && splash->isVisible();
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            width = box->width();
            for (QAbstractButton *b : box->buttons())
                buttons << b->text();
            box->button(QMessageBox::No)->click();
        });
        // A short question under a long caption.
        const QString caption = MessageTable::text(10);
        QCOMPARE(boxes.show(10, 128, caption, QStringLiteral("?"), MsgQuestionYesNo), IdNo);
        QCOMPARE(title, caption);
        QVERIFY(!covered);
        QFont bold = QApplication::font();
        bold.setBold(true);
        QVERIFY(width >= QFontMetrics(bold).horizontalAdvance(caption) + 100);
        QCOMPARE(buttons.size(), 2);
        // The file dialog's labels too.
        QFileDialog dialog(nullptr);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        buttons << dialog.findChild<QLabel *>(QStringLiteral("lookInLabel"))->text();
        for (const QString &text : buttons)
            QVERIFY2(!text.contains(QStringLiteral("Yes")) &&
                         !text.contains(QStringLiteral("No")) &&
                         !text.contains(QStringLiteral("Look")),
                     qPrintable(text));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
