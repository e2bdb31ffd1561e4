// The title property and default properties dialogs driven with keys and
// mouse clicks: what each control enables, the exit checks as typed, the
// masked time fields, OK, Escape and help; and the main window's ways into
// the property command.

#include "app/MainActions.h"
#include "app/MainCommands.h"
#include "list/ListEditor.h"
#include "listcore/ListFixtures.h"
#include "listui/ListUiFixtures.h"
#include "memory/ListGrid.h"
#include "properties/MaskedTimeEdit.h"
#include "properties/TFormDefaultDataSetup.h"
#include "properties/TFormProperty.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace ListFixtures;

namespace {

template<typename T> T *child(QWidget &d, const char *name)
{
    T *w = d.findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// Types into a field and leaves it with Tab, as the operator would.
void type(QWidget &d, const char *field, const QString &text, bool selectAll = true)
{
    auto *edit = child<QLineEdit>(d, field);
    edit->setFocus();
    if (selectAll)
        edit->selectAll();
    else
        edit->setCursorPosition(0);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
}

// A click on a radio button's or check box's mark.
void click(QWidget &d, const char *button)
{
    auto *b = child<QAbstractButton>(d, button);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

QString text(QWidget &d, const char *field)
{
    return child<QLineEdit>(d, field)->text();
}

// Cancels every property dialog as it shows, and counts them.
struct DialogCanceller : QObject
{
    DialogCanceller() { qApp->installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            if (auto *d = qobject_cast<TFormProperty *>(watched)) {
                ++opened;
                QMetaObject::invokeMethod(d, &QDialog::reject, Qt::QueuedConnection);
            }
        return false;
    }
    int opened = 0;
};

} // namespace

class TestPropertyDialogs : public QObject
{
    Q_OBJECT

    // A harness whose list holds 12 titles of a 64 x 48 red picture.
    struct Rig : ListHarness
    {
        Rig()
        {
            const QString red = ListFixtures::writeTarga(path("red.tga"), 64, 48, 0xFF0000);
            for (int i = 1; i <= 12; ++i)
                list.insert(i, titleOf(red, 8, 3));
        }
        TitleAttributes &attributes(int order) { return list.at(order).Attributes; }
    };

    static void showActive(QWidget &d)
    {
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
    }

private slots:
    void kindDecidesTheControls()
    {
        Rig x;
        x.attributes(5).setKind(TitleKind::Movie);
        x.attributes(5).setBlocksPerFrame(4);
        x.attributes(5).setSlideDirection(Effect::In, 1);
        x.attributes(5).setSlideDirection(Effect::Out, 4);
        TFormProperty movie(x.list, 5, x.services);
        QCOMPARE(movie.windowTitle(), QString("プロパティ  Order5"));
        // Half-height: no vertical slides on either side, the others stay.
        for (const char *name :
             {"SButtonInDirUp", "SButtonInDirDown", "SButtonOutDirUp", "SButtonOutDirDown"}) {
            QVERIFY2(!child<QToolButton>(movie, name)->isEnabled(), name);
            QVERIFY2(!child<QToolButton>(movie, name)->isChecked(), name);
        }
        QVERIFY(child<QToolButton>(movie, "SButtonOutDirRight")->isChecked());
        QVERIFY(child<QToolButton>(movie, "SButtonInDirLeft")->isEnabled());
        QVERIFY(!child<QWidget>(movie, "GBoxMovieMode")->isHidden());
        QVERIFY(child<QWidget>(movie, "GBoxRollCrawl")->isHidden());

        // A CRAWL of full height: Y shows 0 and is fixed, X is fixed, no out trigger.
        x.attributes(6).setKind(TitleKind::Crawl);
        x.attributes(6).setPositionY(100);
        TFormProperty crawl(x.list, 6, x.services);
        QCOMPARE(text(crawl, "EditPositionY"), QString("0"));
        QVERIFY(!child<QSpinBox>(crawl, "UpDownPositionY")->isEnabled());
        QVERIFY(!child<QSpinBox>(crawl, "UpDownPositionX")->isEnabled());
        QVERIFY(!child<QCheckBox>(crawl, "CBoxOutAutoTrigger")->isEnabled());
        QVERIFY(child<QToolButton>(crawl, "SButtonTypeDirLeft")->isChecked());
        QVERIFY(!child<QToolButton>(crawl, "SButtonTypeDirUp")->isEnabled());
        QVERIFY(!child<QToolButton>(crawl, "SButtonOutDirLeft")->isEnabled());
    }

    void typedFieldsCorrectThemselves()
    {
        Rig x;
        x.attributes(2).setPattern(Effect::In, true);
        x.attributes(2).setAutoTrigger(Effect::In, true);
        TFormProperty d(x.list, 2, x.services);
        showActive(d);
        // 3001 links the out side; 12 afterwards frees it with the same number.
        type(d, "EditInPattern", "3001");
        QCOMPARE(text(d, "EditOutPattern"), QString("3001"));
        QVERIFY(child<QRadioButton>(d, "RButtonOutPattern")->isChecked());
        QVERIFY(!child<QRadioButton>(d, "RButtonOutDiss")->isEnabled());
        QVERIFY(!child<QLineEdit>(d, "EditOutPattern")->isEnabled());
        type(d, "EditInPattern", "12");
        QCOMPARE(text(d, "EditOutPattern"), QString("12"));
        QVERIFY(child<QRadioButton>(d, "RButtonOutDiss")->isEnabled());
        // Diss on the in side leaves its number field.
        click(d, "RButtonInDiss");
        QVERIFY(!child<QLineEdit>(d, "EditInPattern")->isEnabled());
        // The speed field is checked as it is left (its rules: test_propertyrules).
        type(d, "EditInSlideSpeed", "65");
        QCOMPARE(text(d, "EditInSlideSpeed"), QString("2"));
        type(d, "EditPositionY", "477");
        QCOMPARE(text(d, "EditPositionY"), QString("478"));
        // The in wait takes digits over the mask; 30:05 becomes 30:00 and the
        // field gets the focus back with its text selected.
        auto *wait = child<MaskedTimeEdit>(d, "MEditInWait");
        QVERIFY(wait->isEnabled());
        type(d, "MEditInWait", "3a0-\b05", false);
        QCOMPARE(wait->text(), QString("30:00"));
        QTRY_VERIFY(wait->hasFocus());
        QCOMPARE(wait->selectedText(), QString("30:00"));
        // A selection is cut to one character: one digit overwrites one digit.
        wait->setSelection(0, 5);
        QTest::keyClick(wait, Qt::Key_1);
        QCOMPARE(wait->text(), QString("10:00"));
        // Nothing is pasted into it.
        QApplication::clipboard()->setText("2929");
        QTest::keyClick(wait, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(wait->text(), QString("10:00"));
        // Without the auto trigger the wait cannot be typed.
        click(d, "CBoxInAutoTrigger");
        QVERIFY(!wait->isEnabled());
        QTest::mouseClick(child<QPushButton>(d, "ButtonOK"), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        const TitleAttributes &a = x.attributes(2);
        QCOMPARE(QList({int(a.isPattern(Effect::In)), a.effPattern(Effect::In),
                        a.effPattern(Effect::Out), a.slideSpeed(Effect::In), a.positionY(),
                        a.waitSecond(Effect::In), int(a.autoTrigger(Effect::In))}),
                 QList({0, 12, 12, 2, 478, 10, 0}));
    }

    void palFramesAndDurations()
    {
        Rig x;
        x.pal = true;
        x.attributes(1).setAutoTrigger(Effect::Out, true);
        TFormProperty still(x.list, 1, x.services);
        showActive(still);
        type(still, "MEditOutEffTime", "0229", false);
        QCOMPARE(text(still, "MEditOutEffTime"), QString("02:00"));
        type(still, "MEditDuration", "000000", false);
        QCOMPARE(text(still, "MEditDuration"), QString("00:10:00"));
        still.close();

        // A ROLL's speed gives its run time; a longer duration goes back to it.
        x.pal = false;
        x.attributes(3).setKind(TitleKind::Roll);
        x.attributes(3).setRollCrawlSpeed(4);
        x.attributes(3).setAutoTrigger(Effect::Out, true);
        TFormProperty roll(x.list, 3, x.services);
        showActive(roll);
        type(roll, "EditRollCrawlSpeed", "8");
        QCOMPARE(text(roll, "MEditDuration"), QString("00:04:00"));
        type(roll, "MEditDuration", "000500", false);
        QCOMPARE(text(roll, "MEditDuration"), QString("00:04:00"));
        QTest::mouseClick(child<QToolButton>(roll, "SButtonTypeDirDown"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(roll, "ButtonOK"), Qt::LeftButton);
        QVERIFY(x.attributes(3).rollDown());
        QCOMPARE(QList({x.attributes(3).rollCrawlSpeed(), x.attributes(3).durSecond()}),
                 QList({8, 4}));
    }

    void markEscapeHelpAndThumbnail()
    {
        Rig x;
        x.list.at(12).Mark = 3;
        {
            TFormProperty d(x.list, 5, x.services);
            auto *marks = child<QComboBox>(d, "ComboBoxMarkSelect");
            QCOMPARE(marks->itemText(3), QString("3 - Order12"));
            marks->setCurrentIndex(3);
            x.boxes.answer(IdYes);
            QTest::mouseClick(child<QPushButton>(d, "ButtonOK"), Qt::LeftButton);
            QCOMPARE(x.boxes.shownIds(), QList<int>{102});
            QCOMPARE(QList({x.list.at(5).Mark, x.list.at(12).Mark}), QList({3, 0}));
        }
        // Escape drops every change; F1 and Help open this dialog's page.
        TFormProperty d(x.list, 7, x.services);
        QList<int> topics;
        d.setHelp([&](int topic) { topics << topic; });
        showActive(d);
        // The icon frame is drawn at the typed position.
        QCOMPARE(d.thumbnail().pixelColor(0, 0), QColor(Qt::red));
        type(d, "EditPositionX", "600");
        QCOMPARE(d.thumbnail().pixelColor(0, 0), QColor(Qt::black));
        type(d, "EditName", "changed");
        QTest::keyClick(&d, Qt::Key_F1);
        QTest::mouseClick(child<QPushButton>(d, "ButtonHelp"), Qt::LeftButton);
        QTest::keyClick(child<QLineEdit>(d, "EditName"), Qt::Key_Escape);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(topics, QList({10010, 10010}));
        QCOMPARE(x.list.at(7).Name, QString("red"));
        QCOMPARE(x.attributes(7).positionX(), 0);
    }

    void defaultsDialog()
    {
        ScriptedMessageBoxes boxes;
        DefaultProperties start = DefaultProperties::factory();
        start.setPositionX(10);
        TFormDefaultDataSetup d(start, 30, boxes);
        QList<int> topics;
        d.setHelp([&](int topic) { topics << topic; });
        showActive(d);
        QCOMPARE(d.windowTitle(), QString("プロパティ初期値設定"));
        type(d, "EditPositionY_NTSC", "479");
        QCOMPARE(text(d, "EditPositionY_NTSC"), QString("480"));
        type(d, "EditPositionX", "720");
        QCOMPARE(text(d, "EditPositionX"), QString("720"));
        type(d, "MEditStillDuration", "006000", false);
        QCOMPARE(text(d, "MEditStillDuration"), QString("00:10:00"));
        click(d, "RButtonOutPattern");
        type(d, "EditOutPattern", "3200");
        QVERIFY(!child<QRadioButton>(d, "RButtonOutDiss")->isEnabled());
        // Vertical slides are always offered here.
        QVERIFY(child<QToolButton>(d, "SButtonInDirUp")->isEnabled());
        // Init answered No leaves every field; Yes brings back the program's values.
        boxes.answer(IdNo);
        QTest::mouseClick(child<QPushButton>(d, "ButtonInit"), Qt::LeftButton);
        QCOMPARE(QList({text(d, "EditPositionX"), text(d, "EditInPattern")}),
                 QList<QString>({"720", "3200"}));
        QTest::keyClick(&d, Qt::Key_F1);
        QCOMPARE(topics, QList({10040}));
        QTest::mouseClick(child<QPushButton>(d, "ButtonOK"), Qt::LeftButton);
        QCOMPARE(QList({d.defaults().positionX(), d.defaults().positionYNtsc(),
                        d.defaults().effects().effPattern(Effect::In)}),
                 QList({720, 480, 3200}));

        TFormDefaultDataSetup reset(start, 30, boxes);
        boxes.answer(IdYes);
        QTest::mouseClick(child<QPushButton>(reset, "ButtonInit"), Qt::LeftButton);
        QCOMPARE(boxes.shownIds(), QList({104, 104}));
        QTest::mouseClick(child<QPushButton>(reset, "ButtonOK"), Qt::LeftButton);
        QCOMPARE(reset.defaults(), DefaultProperties::factory());
    }

    void mainWindowWaysIn()
    {
        ListUiFixtures::WindowRig rig;
        QVERIFY(rig.show());
        MainCommands &commands = rig.window->commands();
        QVERIFY(commands.editor().AddImageFile(rig.picture("a.tga")));
        // Each way in opens the dialog for the cursor title; it is answered Cancel.
        DialogCanceller canceller;
        MainActions &a = rig.window->actions();
        a.mnuFile_Property->trigger();
        QCOMPARE(canceller.opened, 1);
        a.pmnuProperty->trigger();
        ListGrid &grid = rig.window->grid();
        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QTest::keyClick(&grid, Qt::Key_Return);
        QCOMPARE(canceller.opened, 3);
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {},
                           grid.cellRect(GridColumn::Type, 1).center());
        QCOMPARE(canceller.opened, 4);
        // Elsewhere a double click is not the property command.
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {},
                           grid.cellRect(GridColumn::Order, 1).center());
        QCOMPARE(canceller.opened, 4);
        QVERIFY(a.mnuTool_DefaultDataSetup->isEnabled());
    }
};

QTEST_MAIN(TestPropertyDialogs)
#include "test_propertydialogs.moc"
