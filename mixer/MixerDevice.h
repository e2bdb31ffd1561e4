#pragma once

#include "core/MemoryNo.h"
#include "mixer/MixerBulkPipe.h"
#include "mixer/MixerEventQueue.h"
#include "mixer/MixerKeyer.h"
#include "mixer/MixerMemory.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>

class Waits;

// The mixer behind its USB port: what each vendor request does to the
// memory, the keyer, the settings and the two bulk pipes, and the lines it
// queues for the interrupt pipe. Plain state without locks or waiting;
// VirtualMixer serialises every call and does the blocking.
class MixerDevice
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int SetupDataSize = 32768;

    // Faults waiting for the requests and transfers to come.
    struct Faults
    {
        int statusAnswers = 0; // status replies that carry `status` instead
        std::uint8_t status = 0;
        int statusRequest = -1;     // only the replies to this In request; -1: any
        int failedRequests = 0;     // requests that stall
        MixerBulkPipe::Faults bulk; // armed on the next announced transfer that reaches its bytes
        int badMapMagic = 0;
        int shiftedReadBackLine = -1;
        int malformedLines = 0;
        // The mixer leaves the bus `leaveDelayMs` (nominal) after this many more
        // keyer lines; 0: the clock runs (from arming, or from opening the state);
        // -1: not armed.
        int leaveAfterLines = -1;
        int leaveDelayMs = 0;
        int droppedOutEnds = 0; // "out end" lines that are never sent
        int foreignNumbers = 0; // keyer lines that carry a number nothing stored has
    };

    // What outlives the program: the memory, the setting's aspect, the
    // setup-data mode and block, the faults still armed, the link rate and
    // the keys held on the panel.
    struct Snapshot
    {
        MixerMemory::Contents memory;
        std::uint8_t aspect = 0;
        bool setupDataMode = false;
        QByteArray setupData;
        Faults faults;
        std::uint32_t linkRate = 0;   // bytes per second; 0: unlimited
        QByteArray lastSerialCommand; // the last serial command block taken; empty: none
        // The panel's key codes as GetKeyCodes reports them (0xFF: no key).
        std::array<std::uint8_t, 9> keyCodes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    };

    MixerDevice(const Waits &waits, std::uint32_t deviceWordSeed);

    Snapshot snapshot() const;
    // False, with nothing changed, when the snapshot does not hold together.
    bool restore(const Snapshot &snapshot);
    // Whether a transfer into the memory or the setup block completed, or the
    // memory was cleared, protected or set up anew, since the last call.
    bool takeStoredChange() { return std::exchange(m_storedChange, false); }

    // Vendor requests; nothing / false when the request is stalled.
    std::optional<QByteArray> controlIn(std::uint8_t request, std::uint16_t value,
                                        std::uint16_t index, Clock::time_point now);
    bool controlOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                    const QByteArray &payload, Clock::time_point now);
    // Brings the keyer up to `now`, queuing the lines that fell due.
    void advance(Clock::time_point now);
    bool pressDskButton(Clock::time_point now);
    // A bulk-out transfer arrived whole.
    void commitWrite(const MixerBulkPipe::Job &job);
    // Whether lines were queued or a transfer announced since the last call.
    bool takeActivity() { return std::exchange(m_activity, false); }
    // Without a host on the bus keyer lines fall on the floor and nothing
    // stays announced; the memory and the keyer go on.
    void setHostPresent(bool present);
    void queueRawEvents(const QByteArray &bytes);
    // Arms the leaving fault (see Faults); with no lines to wait for its clock starts at `now`.
    void armLeave(int afterLines, int delayMs, Clock::time_point now);
    // True once when an armed leave has fallen due by `now`: the mixer leaves the bus.
    bool takeLeave(Clock::time_point now);
    // When an armed leave falls due, once its clock runs.
    std::optional<Clock::time_point> leaveAt() const;

    MixerBulkPipe &readPipe() { return m_readPipe; }
    MixerBulkPipe &writePipe() { return m_writePipe; }
    MixerEventQueue &events() { return m_events; }
    Faults &faults() { return m_faults; }
    const Faults &faults() const { return m_faults; }

    // Control surface.
    void setSetupDataMode(bool on) { m_setupDataMode = on; }
    void setFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build);
    void setKeyCode(int slot, std::uint8_t code);
    void setEffectPatternCount(int count) { m_effectPatternCount = count < 0 ? 0 : count; }
    void setSettingBusyTime(int ms) { m_settingBusyMs = ms < 0 ? 0 : ms; }
    void setSetupData(const QByteArray &data);
    // The USB link's rate in bytes per second (0: unlimited); VirtualMixer paces bulk data by it.
    void setLinkRate(std::uint32_t bytesPerSecond) { m_linkRate = bytesPerSecond; }

    // Inspection.
    const MixerMemory &memory() const { return m_memory; }
    const MixerKeyer &keyer() const { return m_keyer; }
    bool setupDataMode() const { return m_setupDataMode; }
    std::uint32_t linkRate() const { return m_linkRate; }
    bool settingBusy(Clock::time_point now) const { return now < m_busyUntil; }
    std::uint8_t aspect() const { return m_aspect; }
    std::uint16_t previewMemoryNo() const { return m_previewMemoryNo; }
    int autotakeCount() const { return m_autotakeCount; }
    int lastRecalledEvent() const { return m_lastRecalledEvent; }
    int lastPreviewPage() const { return m_lastPreviewPage; }
    QList<QByteArray> serialCommands() const { return m_serialCommands; }
    QByteArray setupData() const { return m_setupData; }
    QByteArray lastTestWrite() const { return m_lastTestWrite; }

private:
    std::optional<QByteArray> keyerRequest(std::uint8_t request, std::uint16_t value,
                                           std::uint16_t index, Clock::time_point now);
    std::optional<QByteArray> memoryRequest(std::uint8_t request, std::uint16_t value,
                                            std::uint16_t index, Clock::time_point now);
    std::optional<QByteArray> transferRequest(std::uint8_t request, std::uint16_t value,
                                              std::uint16_t index, Clock::time_point now);
    std::optional<QByteArray> infoRequest(std::uint8_t request, std::uint16_t value,
                                          std::uint16_t index);
    std::optional<std::uint8_t> takeInjectedStatus(std::uint8_t request);
    bool applyMemorySetting(std::uint16_t value, std::uint16_t index, Clock::time_point now);
    bool memoryOperation(std::uint16_t value, std::uint16_t index);
    MixerKeyerTiming timingOf(std::uint16_t memoryNo) const;
    void announce(MixerBulkPipe &pipe, MixerBulkPipe::Kind kind, const QByteArray &data,
                  qsizetype expected, std::uint16_t memoryNo = 0, int frame = 0);
    void queueLines(const QList<QByteArray> &lines);
    // The line as a fault makes it; empty when it is not sent at all.
    QByteArray faulty(const QByteArray &line);
    std::uint16_t foreignNumber() const;

    const Waits &m_waits;
    MixerMemory m_memory;
    MixerKeyer m_keyer;
    MixerEventQueue m_events;
    MixerBulkPipe m_readPipe{true};
    MixerBulkPipe m_writePipe{false};
    Faults m_faults;
    Clock::time_point m_leaveAt;

    bool m_hostPresent = true;
    bool m_activity = false;
    bool m_storedChange = false;
    bool m_setupDataMode = false;
    std::uint8_t m_firmware[3] = {0x00, 0x20, 0x01};
    std::uint8_t m_keyCodes[9];
    int m_effectPatternCount = 10000;
    int m_settingBusyMs = 2000;
    Clock::time_point m_busyUntil;
    std::uint8_t m_aspect = 0;
    std::uint32_t m_linkRate = 0;
    std::uint16_t m_previewMemoryNo = MemoryNo::None;

    QByteArray m_setupData;
    QByteArray m_lastTestWrite;
    QList<QByteArray> m_serialCommands;
    int m_autotakeCount = 0;
    int m_lastRecalledEvent = -1;
    int m_lastPreviewPage = -1;
};
