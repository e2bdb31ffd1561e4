// The environment dialog: its controls from the settings and back, the
// protected-data choice, the folder fields and picker, clearing the property
// history at once, and the Tool menu handing the values to the main window.

#include "app/EnvironmentSetup.h"
#include "app/MainActions.h"
#include "app/MainCommands.h"
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

template<typename T> T *child(QWidget &w, const char *name)
{
    T *c = w.findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

// Runs `work` on the next modal environment dialog once it is open.
void whenOpen(std::function<void(TFormEnvironmentSetup &)> work)
{
    QTimer::singleShot(0, [work] {
        auto *d = qobject_cast<TFormEnvironmentSetup *>(QApplication::activeModalWidget());
        QVERIFY(d);
        work(*d);
    });
}

} // namespace

class TestEnvironmentSetup : public QObject
{
    Q_OBJECT

private slots:
    void controlsFromAndBackToTheSettings_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("radio");
        QTest::addColumn<int>("stored");
        QTest::newRow("always") << 0 << "RButtonAlwaysUseHistory" << 0;
        QTest::newRow("ask") << 1 << "RButtonSelectUseHistory" << 1;
        QTest::newRow("never") << 2 << "RButtonNoUseHistory" << 2;
        QTest::newRow("damaged") << 7 << "RButtonNoUseHistory" << 2;
    }

    void controlsFromAndBackToTheSettings()
    {
        QFETCH(int, mode);
        QFETCH(QString, radio);
        QFETCH(int, stored);
        ListHarness h;
        EnvironmentSettings e;
        e.HistoryMode = mode;
        e.YUVMax = 1;
        e.YUVMin = 5;
        e.ClearMemory = true;
        e.ClearKeepData = true;
        e.ConfirmClose = false;
        TFormEnvironmentSetup d(e, h.history, h.boxes);
        QVERIFY(d.findChild<QRadioButton *>(radio)->isChecked());
        QVERIFY(child<QRadioButton>(d, "RButtonYUVMaxSuperWhite")->isChecked());
        QVERIFY(child<QRadioButton>(d, "RButtonYUVMinSuperBlack")->isChecked());
        // Unchecking the memory clear greys the protected-data choice but keeps its check.
        auto *keep = child<QCheckBox>(d, "CBoxClearKeepData");
        QVERIFY(keep->isEnabled());
        child<QCheckBox>(d, "CBoxMemoryClearWhenConnect")->click();
        QVERIFY(!keep->isEnabled() && keep->isChecked());
        child<QRadioButton>(d, "RButtonYUVMaxWhite")->click();
        child<QPushButton>(d, "ButtonOK")->click();
        const EnvironmentSettings &r = d.result();
        QCOMPARE((QList<int>{r.HistoryMode, r.YUVMax, r.YUVMin, r.ClearMemory, r.ClearKeepData,
                             r.ConfirmClose, r.BeginLastStatus}),
                 (QList<int>{stored, 0, 1, 0, 1, 0, 1}));
    }

    void folderFieldsAndPicker()
    {
        ListHarness h;
        const QString list = h.path(QStringLiteral("lists"));
        const QString other = h.path(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(list) && QDir().mkpath(other));
        EnvironmentSettings e;
        e.ListFolder = list;
        e.TitleFolder = list;
        e.IntVideoFolder = list;
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
        // Leaving a field with a folder that does not exist brings the main window's back.
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        titleEdit->setFocus();
        titleEdit->setText(h.path(QStringLiteral("missing")));
        QTest::keyClicks(titleEdit, QStringLiteral("x"));
        videoEdit->setFocus();
        QCOMPARE(titleEdit->text(), list);
        // The picker starts at the field's folder; a cancelled picker changes nothing.
        child<QPushButton>(d, "ButtonIntVideoBrowse")->click();
        chosen.clear();
        child<QPushButton>(d, "ButtonTitleBrowse")->click();
        QCOMPARE(starts, (QStringList{list, list}));
        QCOMPARE((QStringList{videoEdit->text(), titleEdit->text()}), (QStringList{other, list}));
        // OK checks the fields first: a missing folder typed last is not stored.
        listEdit->setText(h.path(QStringLiteral("missing")));
        titleEdit->setText(other + QStringLiteral("/./"));
        child<QPushButton>(d, "ButtonOK")->click();
        QCOMPARE(d.result().ListFolder, list);
        QCOMPARE(d.result().TitleFolder, other);
        QCOMPARE(d.result().IntVideoFolder, other);
        QCOMPARE(EnvironmentSetup::checkedFolder(QString(), list), list);
    }

    void historyClearedAtOnce()
    {
        ListHarness h;
        QVERIFY(writeFile(h.history.fileName(), QByteArray(560, 'x')));
        TFormEnvironmentSetup d(EnvironmentSettings{}, h.history, h.boxes);
        auto *clear = child<QPushButton>(d, "ButtonClearHistory");
        h.boxes.answer(IdNo);
        clear->click();
        QVERIFY(QFile::exists(h.history.fileName()));
        h.boxes.answer(IdYes);
        clear->click();
        QVERIFY(!QFile::exists(h.history.fileName()));
        // Nothing left to clear: message 90.
        h.boxes.answer(IdYes);
        clear->click();
        QCOMPARE(h.boxes.shownIds(), (QList<int>{128, 128, 128, 90}));
        child<QPushButton>(d, "ButtonCancel")->click();
        QCOMPARE(d.result(), EnvironmentSettings{});
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
        // Esc and the close button drop every change; F1 asks for the dialog's page.
        for (const bool escape : {true, false}) {
            whenOpen([&help, escape](TFormEnvironmentSetup &d) {
                d.setHelp([&help](int topic) { help << topic; });
                QTest::keyClick(&d, Qt::Key_F1);
                child<QCheckBox>(d, "CBoxConfirmClose")->click();
                if (escape)
                    QTest::keyClick(&d, Qt::Key_Escape);
                else
                    d.close();
            });
            w.actions().mnuTool_EnvSetup->trigger();
            QCOMPARE(settings, before);
        }
        QCOMPARE(help, (QList<int>{10050, 10050}));
        whenOpen([](TFormEnvironmentSetup &d) {
            child<QCheckBox>(d, "CBoxConfirmClose")->click();
            child<QRadioButton>(d, "RButtonAlwaysUseHistory")->click();
            child<QPushButton>(d, "ButtonOK")->click();
        });
        w.actions().mnuTool_EnvSetup->trigger();
        // The dialog's values only; the view, the filter and the rest stay.
        EnvironmentSettings expected = before;
        expected.ConfirmClose = !before.ConfirmClose;
        expected.HistoryMode = 0;
        QCOMPARE(settings, expected);
    }
};

QTEST_MAIN(TestEnvironmentSetup)
#include "test_environmentsetup.moc"
