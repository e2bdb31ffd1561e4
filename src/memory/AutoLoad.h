#pragma once

#include "core/DskState.h"
#include "core/ManualResetEvent.h"
#include "device/BulkOutTransfer.h"
#include "device/TransferItem.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class DeviceEventReader;
class DeviceLink;
class DeviceMemoryMirror;
class DskPlayer;
class KeyerState;
class MessageBoxes;
class TitleList;
class Waits;

// Auto-load: plays the send list on the keyer from the cursor title to the
// end, title after title, while a loader thread keeps sending the coming
// titles into device memory ahead of the one on air, and clears the shown
// titles again so that a list larger than the memory can run (endless: it
// starts over where it began).
//
// The object lives on the user-interface thread, which never blocks on an
// event here. Two kinds of worker do the waiting: the loader
// (TThreadAutoLoadTransfer), alive for the whole run, and one play worker per
// title (TThreadAutoLoadPlay), which waits for the keyer's triggers. Workers
// reach labels, SetDskState and Play only through blocking queued calls to
// this object's thread. The window and the command line follow the signals.
class AutoLoad : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMsgNoMemory = 135;
    static constexpr int kWaitingForData = 27;
    static constexpr int kOnWait = 21;
    static constexpr int kOnRunning = 22;
    static constexpr int kShowing = 23;
    static constexpr int kOffWait = 24;
    static constexpr int kOffRunning = 25;
    static constexpr int kEnded = 26;
    static constexpr int kSecuringMemory = 28;
    static constexpr int kMemoryRounds = 6;
    static constexpr int kMemoryRoundMs = 100;
    static constexpr int kRetryMs = 500;
    static constexpr int kAfterLoadMs = 200;
    static constexpr int kAheadMs = 100;

    struct Services
    {
        TitleList *list = nullptr;
        KeyerState *keyer = nullptr;
        DskPlayer *player = nullptr;
        Waits *waits = nullptr;
        MessageBoxes *boxes = nullptr;
        // Sends one title (called on the loader's thread).
        std::function<int(TransferItem &, const BulkOutTransfer::AutoLoadHooks &)> upload;
        // Cancels the upload in progress.
        std::function<void()> cancelUpload;
        // Clears a title from device memory unless it is protected; true when cleared.
        std::function<bool(std::uint16_t memoryNo)> clearTitle;
        // The frame time of the mixer's video format, in milliseconds.
        std::function<double()> frameTime;
        // Whether the mixer is connected.
        std::function<bool()> connected;
    };

    // The device side of the services: uploads through `bulkOut`, clears
    // through `mirror` (its video format giving the frame time), and the
    // link's connected state. The caller fills in the rest.
    static Services deviceServices(BulkOutTransfer &bulkOut, DeviceMemoryMirror &mirror,
                                   DeviceLink &link);

    explicit AutoLoad(Services services, QObject *parent = nullptr);
    // Takes the keyer's events from `reader`; a mixer that leaves `link`
    // ends the run.
    void follow(DeviceEventReader &reader, DeviceLink &link);
    ~AutoLoad() override;

    bool running() const { return m_running; }
    // Starts at the cursor title (the head row counts as title 1).
    bool StartAutoLoad();
    // The window's buttons: Play the title on the keyer (its trigger), Stop, Pause.
    void BitBtnPlayClick();
    void BitBtnStopClick();
    void BitBtnPauseClick();
    // The mixer went away, or the window is closing: the run ends.
    void abort();

    bool endless() const { return m_endless; }
    void setEndless(bool on) { m_endless = on; }

    // The keyer events while the run goes on (the device event path).
    void inStart();
    void inEnd();
    void outStart();
    void outEnd();

    // Where the run stands: the titles loaded so far and those cleared again.
    int uploads() const { return m_uploads; }
    int clears() const { return m_clears; }

signals:
    void playOrderChanged(int index);
    void playStatusChanged(const QString &text);
    void transferOrderChanged(const QString &order);
    void transferStatusChanged(const QString &text);
    void playEnabled(bool enabled, bool focus);
    // A message for the run's log (the command line prints them).
    void titleLoaded(int order);
    void titleCleared(int order);
    // The title could not be sent (nothing of it stays in the mixer): the run ends.
    void titleLoadFailed(int order);
    // The title waits for room in the mixer's memory.
    void titleWaitingForMemory(int order);
    // The run is over; `fault` when a fault or the mixer ended it.
    void finished(bool fault);

private:
    // One title's play worker with its own in-start, in-end, out-start and
    // out-end events: a worker still leaving never sees the next title's.
    struct Worker
    {
        std::thread thread;
        std::atomic<bool> done{false};
        ManualResetEvent events[4];
    };

    void PlayAutoLoadTitle(int index);
    void NextAutoLoadTitle();
    void FinishAutoLoad(bool fault);
    void keyerEnded(::DskState state);
    void loaderRun();
    void playRun(Worker &w, TransferItem &item, bool inAuto, int inWaitMs, bool outAuto);
    void setEvents(int count);
    void showPlayStatus(int id);
    void reapWorkers(bool all);
    // A worker or the loader is about to end (called on that thread).
    void threadEnded();
    bool threadsDone() const;
    // Ends a finishing run once its threads are gone.
    void completeFinish();
    // Runs f on this object's thread and waits for it.
    void onUi(const std::function<void()> &f);
    // Waits on a worker for the event or the abort; true when the event came.
    bool waitFor(const ManualResetEvent &event, int timeoutMs);
    TransferItem *record(int index);

    Services m_s;
    std::vector<std::unique_ptr<TransferItem>> m_records;
    ManualResetEvent m_abort;
    std::atomic<bool> m_stopRequest{false};
    std::atomic<bool> m_endless{false};
    std::atomic<int> m_playingIndex{0};
    std::atomic<bool> m_loaderAlive{false};
    std::atomic<bool> m_loaderTerminate{false};
    std::thread m_loader;
    std::vector<std::unique_ptr<Worker>> m_workers;
    TransferItem *m_current = nullptr;
    Worker *m_currentWorker = nullptr;
    bool m_running = false;
    int m_playStatus = 0;
    bool m_finishing = false;
    bool m_fault = false;
    int m_uploads = 0;
    int m_clears = 0;
};
