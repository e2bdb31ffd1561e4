// The USB information window over the virtual mixer: the parameter edits a
// controller command enables and the block Send gives the mixer, the transfer
// test's result and its pause of the memory refresh, the link log's switch
// and limit, and the reset and preview buttons.

#include "core/Waits.h"
#include "device/BulkInTransfer.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/TFormUsbInfo.h"
#include "device/TransferTest.h"
#include "imaging/MagickImageLibrary.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "resources/MessageTable.h"
#include "support/ScriptedMessageBoxes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {

struct Rig
{
    Rig()
    {
        link.Start();
        window.setRefreshPause([this]() -> std::shared_ptr<void> {
            ++pauses;
            pausedWhileButtonOn = window.ButtonTestStart->isEnabled();
            return std::shared_ptr<void>(nullptr, [this](void *) { ++resumes; });
        });
    }
    ~Rig() { link.Stop(); }

    Waits waits{0.01};
    ScriptedMessageBoxes boxes;
    VirtualMixer mixer{waits};
    VirtualMixerBackend backend{mixer};
    DeviceLink link{&backend, waits, boxes};
    DeviceEventReader events{link};
    MagickImageLibrary images;
    BulkInTransfer bulkIn{link, images};
    BulkOutTransfer bulkOut{link, images};
    TFormUsbInfo window{link, bulkIn, bulkOut, events};
    int pauses = 0;
    int resumes = 0;
    bool pausedWhileButtonOn = true;
};

} // namespace

class TestUsbInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageTable::setLanguage(Language::Japanese); }

    // Choosing a command clears the edits and enables as many as it takes;
    // Send builds the block from the enabled ones, cut at 34 bytes.
    void serialCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<int>("enabled");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("QAM") << "QAM" << QStringList{} << 0 << QByteArray("QAM:");
        QTest::newRow("VDE") << "VDE" << QStringList{"1", "2", "3", "4", "5"} << 5
                             << QByteArray("VDE:12345");
        QTest::newRow("AFD") << "AFD" << QStringList{"12", "34"} << 2 << QByteArray("AFD:1234");
        QTest::newRow("longer than the block")
            << "VDR" << QStringList{QString(12, 'a'), QString(12, 'b'), QString(12, 'c'), "d", "e"}
            << 5
            << QByteArray("VDR:") + QByteArray(12, 'a') + QByteArray(12, 'b') + QByteArray(6, 'c');
    }

    void serialCommands()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, typed);
        QFETCH(int, enabled);
        QFETCH(QByteArray, text);
        Rig rig;
        rig.window.CBox232C_Command->setCurrentIndex(
            rig.window.CBox232C_Command->findText(QStringLiteral("WFV")));
        rig.window.Edit232C_Param[0]->setText(QStringLiteral("stale"));
        rig.window.CBox232C_Command->setCurrentIndex(
            rig.window.CBox232C_Command->findText(command));
        QString edits; // e: enabled and empty, -: disabled
        for (QLineEdit *edit : rig.window.Edit232C_Param)
            edits += !edit->isEnabled() ? '-' : edit->text().isEmpty() ? 'e' : 's';
        QCOMPARE(edits, QString(enabled, 'e') + QString(5 - enabled, '-'));
        for (int k = 0; k < typed.size(); ++k)
            rig.window.Edit232C_Param[size_t(k)]->setText(typed[k]);
        rig.window.Button232C_Send->click();
        QCOMPARE(rig.mixer.serialCommands(),
                 QList<QByteArray>{text + QByteArray(34 - text.size(), '\0')});
    }

    // One pass: the event pipe counts only once it delivered; a read cut short
    // fails EP2 alone. The refresh is paused once, with the button already off.
    void transferTestResult_data()
    {
        QTest::addColumn<bool>("events");
        QTest::addColumn<bool>("shortRead");
        QTest::addColumn<bool>("duringMapRead");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("flags");
        QTest::newRow("all pass") << true << false << false << "EP1  OK\nEP2  OK\nEP3  OK"
                                  << int(MsgInformation);
        QTest::newRow("quiet event pipe")
            << false << false << false << "EP1  NG\nEP2  OK\nEP3  OK" << int(MsgError);
        QTest::newRow("read cut short")
            << true << true << false << "EP1  OK\nEP2  NG\nEP3  OK" << int(MsgError);
        QTest::newRow("clicked during a map read")
            << true << false << true << "EP1  OK\nEP2  OK\nEP3  OK" << int(MsgInformation);
    }

    void transferTestResult()
    {
        QFETCH(bool, events);
        QFETCH(bool, shortRead);
        QFETCH(bool, duringMapRead);
        QFETCH(QString, text);
        QFETCH(int, flags);
        Rig rig;
        if (events) {
            rig.mixer.queueRawEventText("hello\r");
            QVERIFY(rig.waits.waitUntil([&rig] { return rig.events.EventPipeAlive(); }, 200000));
        }
        if (shortRead)
            rig.mixer.injectShortBulk(4096);
        if (duringMapRead) {
            // The click arrives while the map read waits for its block.
            rig.mixer.setLinkRate(20000);
            QTimer::singleShot(0, rig.window.ButtonTestStart, &QPushButton::click);
            QVERIFY(rig.bulkIn.ReadMemoryMap([](const QByteArray &) { return true; }));
            rig.mixer.setLinkRate(0);
            QVERIFY(rig.waits.waitUntil([&rig] { return !rig.boxes.shown().isEmpty(); }, 200000));
        } else {
            rig.window.ButtonTestStart->click();
        }
        const auto &shown = rig.boxes.shown();
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.last().caption, QStringLiteral("result"));
        QCOMPARE(shown.last().text, text);
        QCOMPARE(shown.last().flags, flags);
        QCOMPARE(rig.mixer.lastTestWrite().size(), 1228800);
        QVERIFY(rig.pauses == 1 && rig.resumes == 1 && !rig.pausedWhileButtonOn);
        QVERIFY(rig.window.ButtonTestStart->isEnabled());
    }

    // The endless test stops at the first failure, with no result box.
    void endlessTestStopsAtAFailure()
    {
        Rig rig;
        rig.window.CBoxEndless->setChecked(true);
        rig.mixer.injectShortBulk(4096);
        rig.window.ButtonTestStart->click();
        for (const ScriptedMessageBoxes::Shown &s : rig.boxes.shown())
            QVERIFY(s.caption != QStringLiteral("result"));
        QCOMPARE(rig.resumes, 1);
        QVERIFY(rig.window.ButtonTestStart->isEnabled());

        int writes = 0;
        int reads = 0;
        TransferTest::Steps steps;
        steps.writeTest = [&writes] { return ++writes > 0; };
        steps.readTest = [&reads] { return ++reads < 3; };
        TransferTest test(steps);
        const TransferTest::EndlessEnd end = test.RunEndless();
        QCOMPARE(end.passes, 2);
        QVERIFY(end.writeOk && !end.readOk);
        QCOMPARE(writes, 3);
    }

    // Unchecked, nothing is logged; the line after the thousandth clears the box first.
    void linkLog()
    {
        Rig rig;
        QVERIFY(rig.window.CBoxShowInfo->isChecked());
        rig.window.CBoxShowInfo->click();
        const int before = rig.window.RichEditStatus->blockCount();
        rig.link.Log(QStringLiteral("Success : hidden"));
        QCOMPARE(rig.window.RichEditStatus->blockCount(), before);
        rig.window.CBoxShowInfo->click();
        while (rig.link.logLines().size() < DeviceLink::kMaxLogLines)
            rig.link.Log(QStringLiteral("Success : line"));
        QCOMPARE(rig.window.RichEditStatus->blockCount(), DeviceLink::kMaxLogLines);
        rig.link.Log(QStringLiteral("Error : last"));
        QCOMPARE(rig.window.RichEditStatus->toPlainText(), QStringLiteral("Error : last"));
    }

    // Reset counts on the label (once); Preview sends the page; the descriptor view
    // follows its choice; without the mixer the device buttons are off.
    void deviceButtons()
    {
        Rig rig;
        // A reset clicked while a map read waits for its block comes after it.
        rig.mixer.setLinkRate(20000);
        QTimer::singleShot(0, rig.window.ButtonResetDevice, &QPushButton::click);
        QVERIFY(rig.bulkIn.ReadMemoryMap([](const QByteArray &) { return true; }));
        QVERIFY(rig.waits.waitUntil([&rig] { return rig.mixer.portResetCount() > 0; }, 200000));
        QVERIFY(rig.window.LabelResetCount->text() == "1" && rig.mixer.portResetCount() == 1);
        rig.window.EditMemoryPage->setValue(7);
        rig.window.ButtonPreview->click();
        QCOMPARE(rig.mixer.lastPreviewPage(), 7);
        QVERIFY(rig.window.MemoDescriptor->toPlainText().startsWith("bLength  : 18\n"));
        rig.window.CBoxDescriptor->setCurrentIndex(2);
        QVERIFY(rig.window.MemoDescriptor->toPlainText().contains("  (Bulk In)"));
        rig.mixer.unplug();
        QVERIFY(rig.waits.waitUntil([&rig] { return !rig.link.Connected(); }, 200000));
        QVERIFY(!rig.window.ButtonTestStart->isEnabled() &&
                !rig.window.Button232C_Send->isEnabled());
    }
};

QTEST_MAIN(TestUsbInfo)
#include "test_usbinfo.moc"
