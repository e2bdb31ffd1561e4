// The mixer settings rules and dialog, and the flash setup data as files.

#include "app/MainActions.h"
#include "app/MainDeviceWiring.h"
#include "app/TFormMain.h"
#include "core/Waits.h"
#include "device/BulkInTransfer.h"
#include "device/DeviceLink.h"
#include "device/DeviceRequests.h"
#include "device/DeviceSession.h"
#include "imaging/CorrectingSpinBox.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "listui/ListUiFixtures.h"
#include "memory/KeyerState.h"
#include "memory/MemoryRefresh.h"
#include "memory/TFormVT90Setup.h"
#include "memory/VT90Setup.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using DeviceRequest::In;
using namespace TestFiles;

namespace {

struct Rig
{
    explicit Rig(bool setupMode = false)
    {
        mixer.setSettingBusyTime(0);
        mixer.setSetupDataMode(setupMode);
        link.Start();
    }
    // How many times the request went out, by the link's log.
    int sent(In request) const
    {
        return int(link.logLines().filter(QString("VenderIn(%1)").arg(int(request))).size());
    }

    Waits waits{0.01};
    VirtualMixer mixer{waits};
    VirtualMixerBackend backend{mixer};
    ScriptedMessageBoxes boxes;
    DeviceLink link{&backend, waits, boxes};
    TitleList list;
    KeyerState keyer{list};
    MagickImageLibrary images;
    VT90Setup setup{link, keyer, boxes};
};

} // namespace

class TestVT90Setup : public QObject
{
    Q_OBJECT

private slots:
    // The two counts always add up to the format's rows (PAL 13/13 and 20
    // giving 6 are met through the dialog below).
    void countsAddUpToTheTotal()
    {
        Rig rig;
        VT90Setup &s = rig.setup;
        s.open(0, 0, 12);
        QCOMPARE(std::pair(s.titleCount(), s.intVideoCount()), std::pair(12, 18));
        for (const auto &[typed, titles] :
             {std::pair{"40", 15}, {"-1", 15}, {"abc", 0}, {"30", 30}}) {
            s.EditTitleCountChange(typed);
            QCOMPARE(std::pair(s.titleCount(), s.intVideoCount()), std::pair(titles, 30 - titles));
        }
        s.CBoxSignalChange(1);
        s.EditIntVideoCountChange("27"); // beyond PAL's 26 rows: halves
        QCOMPARE(std::pair(s.titleCount(), s.intVideoCount()), std::pair(13, 13));
    }

    // The question's second line says what a change costs; nothing changed,
    // nothing asked; only Yes sends, and the mixer takes the signal, aspect
    // and title rows (the IntVideo rows are what is left).
    void applyAsksWithTheCostAndSends()
    {
        // The change, the question's second line (-1: not asked), the answer,
        // and the mixer's signal, aspect and title rows after.
        using Change = std::function<void(VT90Setup &)>;
        const QList<std::tuple<Change, int, int, std::tuple<int, int, int>>> cases{
            {[](VT90Setup &s) { s.CBoxSignalChange(1); }, 119, IdYes, {1, 0, 13}},
            {[](VT90Setup &s) { s.EditTitleCountChange("20"); }, 120, IdYes, {0, 0, 20}},
            {[](VT90Setup &s) { s.CBoxAspectChange(1); }, 0, IdYes, {0, 1, 15}},
            {[](VT90Setup &s) { s.CBoxAspectChange(1); }, 0, IdNo, {0, 0, 15}},
            {[](VT90Setup &) {}, -1, IdYes, {0, 0, 15}},
        };
        for (const auto &[change, secondLine, answer, after] : cases) {
            Rig rig;
            rig.setup.open(0, 0, 15);
            change(rig.setup);
            rig.boxes.answer(answer);
            const VT90Setup::Applied applied = rig.setup.ButtonMemorySetClick();
            QCOMPARE(
                std::tuple(int(rig.mixer.signal()), int(rig.mixer.aspect()), rig.mixer.titleRows()),
                after);
            if (secondLine < 0) {
                QVERIFY(applied == VT90Setup::Applied::Unchanged && rig.boxes.shown().isEmpty());
                continue;
            }
            QCOMPARE(rig.boxes.shownIds(), QList<int>{118});
            QCOMPARE(rig.boxes.shown().first().text,
                     MessageTable::text(118) + (secondLine ? MessageTable::text(secondLine) : ""));
            QVERIFY(applied ==
                    (answer == IdYes ? VT90Setup::Applied::Sent : VT90Setup::Applied::Declined));
        }
    }

    // A busy keyer refuses both commands before anything is sent; a mixer
    // still applying a setting answers busy (133) and the dialog stays.
    void busyKeyerAndBusyMixer()
    {
        Rig rig;
        rig.setup.open(0, 0, 15);
        rig.setup.CBoxSignalChange(1);
        rig.keyer.SetDskState(DskState::Showing, 0);
        QString event = "5";
        QVERIFY(rig.setup.ButtonMemorySetClick() == VT90Setup::Applied::KeyerBusy);
        QVERIFY(rig.setup.ButtonEventRecallClick(event) == VT90Setup::Recalled::KeyerBusy);
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{136, 136}));
        QCOMPARE(rig.sent(In::SetMemorySetting) + rig.sent(In::RecallEvent), 0);

        rig.keyer.SetDskState(DskState::Idle, 0);
        rig.mixer.setSettingBusyTime(60000);
        rig.boxes.clear();
        rig.boxes.setDefaultAnswer(IdYes);
        QVERIFY(rig.setup.ButtonMemorySetClick() == VT90Setup::Applied::Sent);
        QVERIFY(rig.setup.ButtonMemorySetClick() == VT90Setup::Applied::DeviceBusy);
        QVERIFY(rig.setup.ButtonEventRecallClick(event) == VT90Setup::Recalled::DeviceBusy);
        QCOMPARE(rig.boxes.shownIds(), (QList<int>{118, 118, 133, 133}));
    }

    // A read block is saved with its byte sum after it.
    void setupBlocksAreSavedWithTheirSums()
    {
        QTemporaryDir dir;
        for (const auto &[fill, sum] :
             {std::pair{'\0', QByteArray(4, '\0')}, {'\xFF', QByteArray("\x00\x80\x7F\x00", 4)}}) {
            Rig rig(true);
            rig.mixer.setSetupData(QByteArray(32768, fill));
            BulkInTransfer job(rig.link, rig.images);
            rig.boxes.setDefaultAnswer(IdYes); // the second round overwrites the first
            QVERIFY(job.setJob(BulkInTransfer::SetupData, 0, dir.filePath("b.vts")) && job.Run());
            QCOMPARE(readFile(dir.filePath("b.vts")), QByteArray(32768, fill) + sum);
            QCOMPARE(rig.boxes.shownIds().last(), 137);
        }
    }

    // Declining the overwrite reads nothing and still resets the mixer; a folder that
    // cannot be written gives 91 and leaves no file under the name.
    void setupReadThatCannotBeSaved()
    {
        QTemporaryDir dir;
        {
            Rig rig(true);
            const QString kept = dir.filePath("kept.vts");
            writeFile(kept, "old");
            BulkInTransfer job(rig.link, rig.images);
            rig.boxes.answer(IdNo);
            QVERIFY(job.setJob(BulkInTransfer::SetupData, 0, kept) && !job.Run());
            QCOMPARE(rig.boxes.shownIds(), QList<int>{124});
            // The cancel is held back by the link in this mode; the reset goes.
            QCOMPARE(rig.sent(In::BeginSetupDataRead), 0);
            QCOMPARE(rig.link.ResetCount(), 1);
            QCOMPARE(readFile(kept), QByteArray("old"));
        }
        Rig rig(true);
        const QString missing = dir.filePath("missing/s.vts");
        BulkInTransfer job(rig.link, rig.images);
        QVERIFY(job.setJob(BulkInTransfer::SetupData, 0, missing) && !job.Run());
        QCOMPARE(rig.boxes.shownIds(), QList<int>{91});
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"kept.vts"}); // nothing left
    }

    // The dialog shows the rules: a new signal halves the rows, a typed count
    // gives the other the rest; Recall corrects its edit.
    void dialogFollowsTheRules()
    {
        Rig rig;
        TFormVT90Setup dialog(rig.link, rig.keyer, rig.boxes, 0, 0, 15);
        auto *signal = dialog.findChild<QComboBox *>("CBoxSignal");
        auto *titles = dialog.findChild<CorrectingSpinBox *>("UpDownTitleCount");
        auto *clips = dialog.findChild<CorrectingSpinBox *>("UpDownIntVideoCount");
        auto *event = dialog.findChild<QLineEdit *>("EditEventNumber");
        QVERIFY(signal && titles && clips && event);
        signal->setCurrentIndex(1);
        emit signal->activated(1);
        QCOMPARE(std::pair(titles->text(), clips->text()), std::pair(QString("13"), QString("13")));
        titles->edit()->setText("20");
        titles->interpretText();
        QCOMPARE(clips->text(), QString("6"));
        // Above 99 is 99, in the edit too; no number shows 0 and sends nothing.
        for (const auto &[typed, shown] : {std::pair{"150", "99"}, {"x", "0"}}) {
            event->setText(typed);
            dialog.findChild<QPushButton *>("ButtonEventRecall")->click();
            QCOMPARE(event->text(), QString(shown));
        }
        QCOMPARE(std::pair(rig.mixer.lastRecalledEvent(), rig.sent(In::RecallEvent)),
                 std::pair(99, 1));
        rig.boxes.answer(IdYes);
        dialog.findChild<QPushButton *>("ButtonMemorySet")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(std::pair(int(rig.mixer.signal()), rig.mixer.titleRows()), std::pair(1, 20));
    }

    // The main window's items: the settings while connected, refused while the
    // keyer is busy, with the refresh paused while the dialog is open; the
    // setup-data items exactly in the mixer's setup-data mode.
    void mainWindowItems()
    {
        ListUiFixtures::WindowRig w;
        auto owned = std::make_unique<VirtualMixer>(w.waits);
        VirtualMixer &mixer = *owned;
        DeviceSession device(std::make_unique<VirtualMixerBackend>(std::move(owned)),
                             w.window->titleList(), w.images, w.waits, w.boxes);
        QObject::connect(&device.link(), &DeviceLink::connectedStateChanged, w.window.get(),
                         &TFormMain::setConnected);
        connectMainWindowToDevice(*w.window, device);
        MainActions &a = w.window->actions();
        const auto states = [&a] {
            return QList<bool>{a.mnuTool_VT90Setup->isEnabled(),
                               a.mnuFile_ReadSetupData->isEnabled(),
                               a.mnuFile_WriteSetupData->isEnabled()};
        };
        QVERIFY(device.Start());
        QCOMPARE(states(), (QList<bool>{true, false, false}));

        w.window->keyer().SetDskState(DskState::OnRunning, 0);
        a.mnuTool_VT90Setup->trigger();
        QCOMPARE(w.boxes.shownIds(), QList<int>{136});
        w.window->keyer().SetDskState(DskState::Ended, 0);
        bool refreshWhileOpen = true;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<TFormVT90Setup *>(QApplication::activeModalWidget());
            QVERIFY(d);
            refreshWhileOpen = w.window->memoryRefresh().running();
            d->reject();
        });
        a.mnuTool_VT90Setup->trigger();
        QVERIFY(!refreshWhileOpen);

        device.link().Close();
        mixer.setSetupDataMode(true);
        QVERIFY(device.link().Open());
        QCOMPARE(states(), (QList<bool>{false, true, true}));
        device.link().Close();
        QCOMPARE(states(), (QList<bool>{false, false, false}));
    }
};

QTEST_MAIN(TestVT90Setup)
#include "test_vt90setup.moc"
