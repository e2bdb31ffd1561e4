#pragma once

#include "device/UsbBackend.h"
#include "mixer/MixerDevice.h"

#include <QByteArray>
#include <QList>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

class Waits;

// A model of the KL-VT90 as seen from its USB port: descriptors, vendor
// requests, bulk data, keyer events on the interrupt pipe, and the memory
// behind them. It knows nothing of how it is reached: VirtualMixerBackend
// calls it in-process, the usbdevfs harness calls it on behalf of libusb.
//
// Every public call is thread-safe (one mutex inside). Time runs on a
// monotonic clock and every duration the mixer waits (effects, title
// durations, the "Loading..." period) goes through Waits::scaled(), so tests
// that scale their Waits down get a fast mixer too. Nothing here sleeps
// except a transfer that has to block: an interrupt read with no event due,
// a bulk transfer with nothing announced, a stall injected as a fault, or
// bulk data waiting for the link: with a link rate set, every byte moved on
// a bulk pipe keeps the (one, shared) link busy for its scaled share of a second.
// Such a transfer waits on a condition variable and ends at its time-out, on
// abortEndpoint()/resetPort(), or on unplug().
//
// Time-outs given to the transfer calls are already real milliseconds: a
// negative time-out waits without limit and 0 only looks (never blocks).
//
// Where the wire format leaves the answer open, the mixer answers so:
// - status replies are 1 (busy) during the "Loading..." period that follows
//   SetMemorySetting, and 0 for what cannot be done (an unknown memory
//   number, a play while an effect runs, a frame write before the title's
//   header told the frame's size); allocations answer MemoryNo::None while
//   loading and MemoryNo::NotStored when the title or clip does not fit;
// - the keyed title cannot be cleared, nor the whole memory while something
//   is keyed; clearing a number that holds nothing succeeds;
// - frames and the setup-data block are taken only once they arrived whole;
// - ReadTitleHeader, GetFrameLayout and protect/unprotect of an unknown
//   number stall; in setup-data mode everything but the setup-data
//   requests, GetSetupDataMode and GetFirmwareVersion stalls.
class VirtualMixer
{
public:
    enum class Change {
        Plugged,   // plug(): the device appeared on the bus
        Unplugged, // unplug(): the device left the bus
        DataReady, // an event line was queued or a bulk transfer was announced
        Stored,    // a transfer into the memory or the setup block completed, or
                   // the memory was cleared, protected or set up anew
    };

    explicit VirtualMixer(const Waits &waits, std::uint32_t deviceWordSeed = 0);
    ~VirtualMixer();

    VirtualMixer(const VirtualMixer &) = delete;
    VirtualMixer &operator=(const VirtualMixer &) = delete;

    // ---- the USB side ------------------------------------------------------

    bool isPlugged() const;
    // 18-byte device descriptor.
    QByteArray deviceDescriptor() const;
    // The whole configuration block (configuration, interface, three endpoints).
    QByteArray configurationDescriptor() const;
    // String descriptor `index` (0 = language list), UTF-16LE; empty when unknown.
    QByteArray stringDescriptor(std::uint8_t index) const;

    // A device-to-host vendor request. The reply, at most `length` bytes, or
    // nothing when the device stalls the request (unplugged, unknown code,
    // bad arguments, an injected failure).
    std::optional<QByteArray> controlIn(std::uint8_t request, std::uint16_t value,
                                        std::uint16_t index, std::uint16_t length);
    // A host-to-device vendor request with `length` payload bytes; false when stalled.
    bool controlOut(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                    const std::uint8_t *data, std::uint16_t length);

    // Bulk in (ReadEndpoint): the announced stream, as much as fits. A short
    // piece (the end of the stream) completes the transfer short.
    TransferResult bulkIn(std::uint8_t *buffer, int length, int timeoutMs);
    // Bulk out (WriteEndpoint): takes bytes up to the announced size.
    TransferResult bulkOut(const std::uint8_t *buffer, int length, int timeoutMs);
    // Interrupt in (EventEndpoint): one report of min(length, 64) bytes holding
    // whole event lines, zero-filled after them.
    TransferResult interruptIn(std::uint8_t *buffer, int length, int timeoutMs);
    // Dispatches on the endpoint address; Error for an unknown endpoint.
    TransferResult transfer(std::uint8_t endpoint, std::uint8_t *buffer, int length, int timeoutMs);

    // Ends a transfer blocked on the endpoint (it returns Cancelled).
    void abortEndpoint(std::uint8_t endpoint);
    // Clears a halt left by a short bulk-out fault.
    void clearHalt(std::uint8_t endpoint);
    // Port reset: blocked transfers end Cancelled, announced transfers and
    // halts are dropped; memory, keyer and settings stay.
    void resetPort();

    // Milliseconds until the keyer's next event line (or an injected leave) is due (-1: none
    // pending). For hosts that poll instead of blocking.
    int millisecondsToNextKeyerStep() const;

    // Listeners are called outside the lock, on the thread that caused the change.
    int addListener(std::function<void(Change)> listener);
    void removeListener(int id);

    // ---- the control surface -----------------------------------------------

    void plug();
    void unplug();
    void setSetupDataMode(bool on);
    void setFirmwareVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build);
    // Panel key codes as GetKeyCodes reports them: nine slots, 0xFF = none.
    void pressPanelKey(int slot, std::uint8_t code);
    void releasePanelKey(int slot);
    // The keyer's take button on the panel: the out of a showing title, or
    // the in of the title previewed from the keyer cursor. False when it did nothing.
    bool pressDskButton();
    // Wipe patterns the device knows: 0 .. count-1; others are answered as 0.
    void setEffectPatternCount(int count);
    // The "Loading..." period after SetMemorySetting, in nominal ms.
    void setSettingBusyTime(int milliseconds);
    // The 32768-byte flash setup block.
    void setSetupData(const QByteArray &data);
    // The USB link's rate in bytes per second; 0 (the default) moves bulk data without delay.
    void setLinkRate(std::uint32_t bytesPerSecond);

    // Fault injection. Each fault applies to what comes next and is used up.
    // The next `answers` status replies carry `status` (0 refused, 1 busy);
    // allocations answer MemoryNo::None and map reads answer "stop" meanwhile.
    // With `request` (an In code), only that request's replies do.
    void injectStatus(std::uint8_t status, int answers, int request = -1);
    // The next `count` vendor requests are stalled.
    void injectFailedRequests(int count);
    // The next announced bulk transfer stops answering after `afterBytes`.
    void injectBulkStall(int afterBytes);
    // The next announced bulk transfer ends after `afterBytes`: a short
    // packet on bulk in, a halted endpoint on bulk out.
    void injectShortBulk(int afterBytes);
    // The device leaves the bus after `afterBytes` of the next announced bulk transfer.
    void injectUnplugDuringBulk(int afterBytes);
    // The next `maps` memory map blocks carry a bad magic.
    void injectBadMapMagic(int maps);
    // The next frame read arrives two bytes late from device line `line` on.
    void injectShiftedReadBack(int line);
    // The next `lines` keyer event lines are garbled (their number is not a number).
    void injectMalformedEventLines(int lines);
    // The mixer leaves the bus `delayMs` (nominal) after its next `afterLines`
    // keyer event lines (0: from now, and from each restore while still armed).
    void injectLeave(int afterLines, int delayMs);
    // The next `count` "out end" lines are never sent.
    void injectDroppedOutEnds(int count);
    // The next `count` "in start" and "out start" lines carry a memory number
    // that nothing stored has.
    void injectForeignNumbers(int count);
    // Raw bytes straight into the interrupt pipe.
    void queueRawEventText(const QByteArray &bytes);
    void clearFaults();

    // What outlives the program (see MixerStateFile), taken and put back whole.
    MixerDevice::Snapshot snapshot() const;
    bool restore(const MixerDevice::Snapshot &snapshot);

    // ---- inspection ----------------------------------------------------------

    bool setupDataMode() const;
    std::uint32_t linkRate() const;
    // The faults still armed (none once each is used up or cleared).
    MixerDevice::Faults faults() const;
    bool settingBusy() const;
    std::uint8_t signal() const;
    std::uint8_t aspect() const;
    int titleRows() const;
    int rowCount() const;
    MemoryMapRecord block(int row, int blockIndex) const;
    // The 1024-byte memory map block as BeginMemoryMapRead sends it.
    QByteArray memoryMapBlock() const;
    std::optional<QByteArray> titleHeader(std::uint16_t memoryNo) const;
    // The stored lines of one frame: its height in lines of 720 pixels.
    std::optional<QByteArray> frameLines(std::uint16_t memoryNo, int frame) const;
    std::optional<MixerItemInfo> item(std::uint16_t memoryNo) const;
    // These two bring the keyer up to now first (queuing the lines that fell due).
    MixerKeyerState keyerState();
    std::uint16_t onAirMemoryNo();
    std::uint16_t previewMemoryNo() const;
    bool keyerPaused() const;
    int autotakeCount() const;
    int lastRecalledEvent() const;
    int lastPreviewPage() const;
    QList<QByteArray> serialCommands() const;
    QByteArray setupData() const;
    QByteArray lastTestWrite() const;
    int portResetCount() const;
    // Counts plug() calls; a host handle opened before the last plug is stale.
    std::uint64_t plugGeneration() const;

private:
    using Clock = std::chrono::steady_clock;
    using Lock = std::unique_lock<std::mutex>;

    struct Listener
    {
        int id;
        std::function<void(Change)> callback;
    };

    // With the lock held.
    MixerBulkPipe *pipe(std::uint8_t endpoint);
    void unplugLocked(QList<Change> &changes);
    // Leaves the bus when an injected leave has fallen due.
    void leaveWhenDue(QList<Change> &changes);
    // The keyer's next line or an injected leave, whichever is first.
    std::optional<Clock::time_point> nextStep() const;
    void collectActivity(QList<Change> &changes);
    TransferResult runBulk(Lock &lock, MixerBulkPipe &pipe, std::uint8_t *in,
                           const std::uint8_t *out, int length, int timeoutMs,
                           QList<Change> &changes);
    void notify(const QList<Change> &changes);
    // Runs `f` on the device under the lock and tells the listeners what it set off.
    template<class F> auto withDevice(F &&f);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    const Waits &m_waits;
    MixerDevice m_device;
    // When the bulk data moved so far has passed the link.
    Clock::time_point m_linkFreeAt;
    bool m_plugged = true;
    std::uint64_t m_plugGeneration = 0;
    std::uint64_t m_resetGeneration = 0;
    std::uint64_t m_eventAbortGeneration = 0;
    int m_portResets = 0;

    QList<Listener> m_listeners;
    int m_nextListenerId = 1;
    mutable std::mutex m_listenerMutex;
};
