// Connecting the mixer to the send list, and the keyer play state.

#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceSession.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "memory/KeyerState.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "support/ScriptedMessageBoxes.h"

#include <QSignalSpy>
#include <QTest>

namespace {

TitleEntry title(std::uint16_t memoryNo, std::uint32_t deviceWord)
{
    TitleEntry e = TitleEntry::create();
    e.FileList = {QStringLiteral("/p/a.tga")};
    e.Attributes.setMemoryNo(memoryNo);
    e.Attributes.setDeviceWord(deviceWord);
    e.Attributes.setFrameCount(1);
    e.Attributes.setBlocksPerFrame(1);
    e.Attributes.setWidth(64);
    e.Attributes.setHeight(32);
    e.IconFrame = 1;
    return e;
}

QByteArray record(const TitleAttributes &a)
{
    return QByteArray(reinterpret_cast<const char *>(a.bytes().data()), TitleAttributes::Size);
}

} // namespace

class TestDeviceSession : public QObject
{
    Q_OBJECT

private slots:
    void keyerStatesAndTheTitleOnAir()
    {
        ScriptedMessageBoxes boxes;
        TitleList list;
        TitleEntry manualOut = title(0x0003, 1);
        TitleEntry autoOut = title(0x0004, 2);
        autoOut.Attributes.setAutoTrigger(Effect::Out, true);
        list.append(manualOut, boxes);
        list.append(autoOut, boxes);

        KeyerState keyer(list);
        QSignalSpy blinking(&keyer, &KeyerState::blinkingChanged);
        QSignalSpy jump(&keyer, &KeyerState::dskJumpEnabled);
        QSignalSpy ended(&keyer, &KeyerState::titleEnded);
        QCOMPARE(keyer.DskState(), DskState::Ended);

        // A title with a manual out: "in end" goes straight to waiting for the out.
        keyer.SetDskState(DskState::OnRunning, 0x0003);
        QCOMPARE(list.OnAirMemoryNo(), std::uint16_t(0x0003));
        QCOMPARE(jump.last().at(0).toBool(), true);
        QVERIFY(keyer.IsDskBusy());
        QVERIFY(!keyer.blinking());
        keyer.SetDskState(DskState::Showing, 0x0003);
        QCOMPARE(keyer.DskState(), DskState::OffWait);
        QVERIFY(keyer.blinking());
        QCOMPARE(blinking.last().at(0).toBool(), true);
        // 0xFFFE keeps the title on air.
        keyer.SetDskState(DskState::OffRunning, 0xFFFE);
        QCOMPARE(list.OnAirMemoryNo(), std::uint16_t(0x0003));
        QCOMPARE(blinking.last().at(0).toBool(), false);
        keyer.SetDskState(DskState::Ended, 0xFFFF);
        QCOMPARE(list.OnAirMemoryNo(), std::uint16_t(0xFFFF));
        QCOMPARE(jump.last().at(0).toBool(), false);
        QCOMPARE(ended.last().at(1).value<std::uint16_t>(), std::uint16_t(0x0003));

        // A title with an automatic out shows until its out starts.
        keyer.SetDskState(DskState::OnRunning, 0x0004);
        keyer.SetDskState(DskState::Showing, 0x0004);
        QCOMPARE(keyer.DskState(), DskState::Showing);
        QVERIFY(keyer.OutAuto());
        // A number no title has keeps the last out rule.
        keyer.SetDskState(DskState::OnRunning, 0x0100);
        QVERIFY(keyer.OutAuto());
        QCOMPARE(list.OnAirMemoryNo(), std::uint16_t(0x0100));
        keyer.SetDskState(DskState::Idle, 0xFFFF);
        QVERIFY(!keyer.IsDskBusy());
        QCOMPARE(list.OnAirMemoryNo(), std::uint16_t(0xFFFF));
    }

    void connectingResynchronisesTheList()
    {
        Waits waits(0.01);
        ScriptedMessageBoxes boxes;
        TitleList list;
        auto mixerOwned = std::make_unique<VirtualMixer>(waits);
        VirtualMixer &mixer = *mixerOwned;
        mixer.setEffectPatternCount(100);
        MagickImageLibrary images;
        DeviceSession session(std::make_unique<VirtualMixerBackend>(std::move(mixerOwned)), list,
                              images, waits, boxes);
        QVERIFY(session.Start());
        QVERIFY(session.link().Connected());

        // Two titles stored in the mixer now.
        DeviceCommands commands(session.link());
        const auto a = DeviceCommands::parseAllocation(*commands.AllocTitleMemory(1, false, 1));
        const auto b = DeviceCommands::parseAllocation(*commands.AllocTitleMemory(1, false, 1));
        QVERIFY(a.memoryNo < 0x4000 && b.memoryNo < 0x4000 && a.deviceWord != b.deviceWord);
        TitleEntry stored = title(a.memoryNo, a.deviceWord);
        QVERIFY(commands.WriteTitleHeader(a.memoryNo, record(stored.Attributes)));
        QVERIFY(commands.WriteTitleHeader(b.memoryNo,
                                          record(title(b.memoryNo, b.deviceWord).Attributes)));

        // While disconnected: the first is edited and protected, the second's slot
        // is taken to hold "something else", the third was never stored.
        session.link().Close();
        QVERIFY(!session.link().Connected());
        stored.Attributes.setProtect(true);
        stored.Attributes.setDurSecond(42);
        stored.Attributes.setEffPatternWord(Effect::In, 0x4000 | 5000);
        stored.Attributes.setEffPatternWord(Effect::Out, 0x8000 | 7);
        list.append(stored, boxes);
        list.append(title(b.memoryNo, b.deviceWord + 1), boxes);
        list.append(title(MemoryNo::NotStored, 0), boxes);

        QVERIFY(session.link().Open());
        QVERIFY(session.link().Connected());
        // Stored and matching: rewritten to the device and protected there.
        const TitleAttributes header = TitleAttributes::fromBytes(
            reinterpret_cast<const std::uint8_t *>(mixer.titleHeader(a.memoryNo)->constData()));
        QCOMPARE(header.durSecond(), 42);
        QVERIFY(mixer.item(a.memoryNo)->isProtected);
        QCOMPARE(list.at(1).Attributes.memoryNo(), a.memoryNo);
        // Unknown patterns come back as the device's 0, the carried bits kept.
        QCOMPARE(list.at(1).Attributes.effPatternWord(Effect::In), std::uint16_t(0x4000));
        QCOMPARE(list.at(1).Attributes.effPatternWord(Effect::Out), std::uint16_t(0x8007));
        // The slot holds something else now: the title is no longer stored.
        QCOMPARE(list.at(2).Attributes.memoryNo(), MemoryNo::NotStored);
        QCOMPARE(list.at(2).Attributes.deviceWord(), 0u);

        // Unplugging: the removal probe fails, the link closes, room marks go and the keyer idles.
        int idled = 0;
        session.listClient().setKeyerIdler([&] { ++idled; });
        list.at(3).NoRoom = true;
        mixer.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!session.link().Connected(), 5000);
        QVERIFY(!list.at(3).NoRoom);
        QCOMPARE(idled, 1);
    }
};

QTEST_GUILESS_MAIN(TestDeviceSession)
#include "test_devicesession.moc"
