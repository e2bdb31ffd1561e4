// The environment dialog: its controls from the settings and back, the
// protected-data choice, the folder fields and picker, clearing the property
// history at once, and the Tool menu handing the values to the main window.

#include "app/MainActions.h"
#include "app/TFormEnvironmentSetup.h"
#include "listcore/ListFixtures.h"
#include "listui/ListUiFixtures.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace ListFixtures;
using namespace ListUiFixtures;

namespace {
template<typename T = QAbstractButton> T *child(QWidget &w, const char *name)
{
    return w.findChild<T *>(QString::fromLatin1(name));
}
} // namespace

class TestEnvironmentSetup : public QObject
{
    Q_OBJECT

private slots:
    void controlsFromAndBackToTheSettings()
    {
        // The history mode, its radio button, the mode stored back (a damaged one: never).
        for (const auto &[mode, radio, stored] : {std::tuple{0, "RButtonAlwaysUseHistory", 0},
                                                  {1, "RButtonSelectUseHistory", 1},
                                                  {2, "RButtonNoUseHistory", 2},
                                                  {7, "RButtonNoUseHistory", 2}}) {
            ListHarness h;
            EnvironmentSettings e;
            e.HistoryMode = mode;
            e.YUVMax = 1;
            e.YUVMin = 5;
            e.ClearMemory = e.ClearKeepData = true;
            e.ConfirmClose = false;
            TFormEnvironmentSetup d(e, h.history, h.boxes);
            QVERIFY(child(d, radio)->isChecked());
            QVERIFY(child(d, "RButtonYUVMaxSuperWhite")->isChecked());
            QVERIFY(child(d, "RButtonYUVMinSuperBlack")->isChecked());
            // Unchecking the memory clear greys the protected-data choice but keeps its check.
            QAbstractButton *keep = child(d, "CBoxClearKeepData");
            QVERIFY(keep->isEnabled());
            child(d, "CBoxMemoryClearWhenConnect")->click();
            QVERIFY(!keep->isEnabled() && keep->isChecked());
            child(d, "RButtonYUVMaxWhite")->click();
            child(d, "ButtonOK")->click();
            const EnvironmentSettings &r = d.result();
            QCOMPARE((QList<int>{r.HistoryMode, r.YUVMax, r.YUVMin, r.ClearMemory, r.ClearKeepData,
                                 r.ConfirmClose, r.BeginLastStatus}),
                     (QList<int>{stored, 0, 1, 0, 1, 0, 1}));
        }
    }

    void folderFieldsAndPicker()
    {
        ListHarness h;
        const QString list = h.path(QStringLiteral("lists"));
        const QString other = h.path(QStringLiteral("other"));
        const QString missing = h.path(QStringLiteral("missing"));
        QVERIFY(QDir().mkpath(list) && QDir().mkpath(other));
        EnvironmentSettings e;
        e.ListFolder = e.TitleFolder = e.IntVideoFolder = list;
        TFormEnvironmentSetup d(e, h.history, h.boxes);
        QStringList starts;
        QString chosen = other;
        d.setFolderChooser([&](const QString &start) {
            starts << start;
            return chosen;
        });
        auto *listEdit = child<QLineEdit>(d, "EditListFolder");
        auto *titleEdit = child<QLineEdit>(d, "EditTitleFolder");
        auto *videoEdit = child<QLineEdit>(d, "EditIntVideoFolder");
        // Leaving a field that names no folder brings the main window's folder back.
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        titleEdit->setFocus();
        titleEdit->setText(missing);
        QTest::keyClicks(titleEdit, QStringLiteral("x"));
        videoEdit->setFocus();
        QCOMPARE(titleEdit->text(), list);
        // The picker starts at the field's folder; a cancelled picker changes nothing.
        child(d, "ButtonIntVideoBrowse")->click();
        chosen.clear();
        child(d, "ButtonTitleBrowse")->click();
        QCOMPARE(starts, (QStringList{list, list}));
        QCOMPARE((QStringList{videoEdit->text(), titleEdit->text()}), (QStringList{other, list}));
        // OK checks the fields first: a missing folder typed last is not stored.
        listEdit->setText(missing);
        titleEdit->setText(other + QStringLiteral("/./"));
        child(d, "ButtonOK")->click();
        const EnvironmentSettings &r = d.result();
        QCOMPARE((QStringList{r.ListFolder, r.TitleFolder, r.IntVideoFolder}),
                 (QStringList{list, other, other}));
    }

    void historyClearedAtOnce()
    {
        ListHarness h;
        QVERIFY(writeFile(h.history.fileName(), QByteArray(560, 'x')));
        TFormEnvironmentSetup d(EnvironmentSettings{}, h.history, h.boxes);
        // No keeps it; Yes deletes it; with nothing left to clear, message 90.
        for (const int answer : {IdNo, IdYes, IdYes}) {
            h.boxes.answer(answer);
            child(d, "ButtonClearHistory")->click();
            QCOMPARE(QFile::exists(h.history.fileName()), answer == IdNo);
        }
        QCOMPARE(h.boxes.shownIds(), (QList<int>{128, 128, 128, 90}));
        QCOMPARE(h.boxes.shown().first().flags, int(MsgQuestionYesNo));
        child(d, "ButtonCancel")->click();
        QVERIFY(!QFile::exists(h.history.fileName()));
    }

    void toolMenuStoresOnOkOnly()
    {
        WindowRig rig;
        TFormMain &w = *rig.window;
        EnvironmentSettings &settings = w.settings().Environment;
        settings.FormModeIcon = false;
        settings.IntVideoFilter = 3;
        const EnvironmentSettings before = settings;
        QList<int> help;
        // Esc and the close button drop every change; F1 asks for the dialog's page; OK
        // stores the dialog's values only (the view and the filter stay).
        for (const int close : {0, 1, 2}) {
            QTimer::singleShot(0, [&help, close] {
                auto *d = qobject_cast<TFormEnvironmentSetup *>(QApplication::activeModalWidget());
                QVERIFY(d);
                d->setHelp([&help](int topic) { help << topic; });
                QTest::keyClick(d, Qt::Key_F1);
                child(*d, "CBoxConfirmClose")->click();
                child(*d, "RButtonAlwaysUseHistory")->click();
                if (close == 0)
                    QTest::keyClick(d, Qt::Key_Escape);
                else if (close == 1)
                    d->close();
                else
                    child(*d, "ButtonOK")->click();
            });
            w.actions().mnuTool_EnvSetup->trigger();
            if (close < 2)
                QCOMPARE(settings, before);
        }
        QCOMPARE(help, (QList<int>{10050, 10050, 10050}));
        EnvironmentSettings expected = before;
        expected.ConfirmClose = !before.ConfirmClose;
        expected.HistoryMode = 0;
        QCOMPARE(settings, expected);
    }
};

QTEST_MAIN(TestEnvironmentSetup)
#include "test_environmentsetup.moc"
