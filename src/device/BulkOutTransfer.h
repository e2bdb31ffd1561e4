#pragma once

#include "core/ManualResetEvent.h"
#include "device/DeviceCommands.h"
#include "device/TransferItem.h"
#include "device/TransferJob.h"
#include "imaging/DevicePicture.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class DeviceLink;
class ImageLibrary;
class MessageBoxes;
class TitleList;

// Everything bound for the mixer's memory over the bulk-out pipe: the titles
// of the send list (mode 11), an IntVideo clip (mode 12), the pipe test
// (mode 10) and the flash setup data (mode 14). A job is stored with setJob()
// and run by the transfer dialog (or the command line) with Run(), on the
// user-interface thread, which it keeps alive while it waits.
//
// UploadTitleForAutoLoad sends one title for the auto-load worker from that
// worker's thread: every change it makes to the send list, and every message,
// is carried out on this object's (the user-interface) thread through a
// blocking queued call, so that thread must keep running its events meanwhile.
class BulkOutTransfer : public TransferJob
{
    Q_OBJECT

public:
    enum Mode : int { PipeTest = 10, Titles = 11, IntVideo = 12, SetupData = 14 };
    // What UploadTitleForAutoLoad gives back.
    enum AutoLoadResult : int { AutoLoadSent = 0, AutoLoadNoMemory = 1, AutoLoadFailed = 2 };

    static constexpr int kMsgNoMemory = 106;
    static constexpr int kMsgSendingTitle = 107;
    static constexpr int kMsgSendingClip = 108;
    static constexpr int kMsgTransferStopped = 162;
    static constexpr int kCaptionTitles = 14;
    static constexpr int kCaptionClip = 15;
    static constexpr int kCaptionSetupWrite = 41;
    static constexpr int kMsgSetupDataWritten = 138;
    static constexpr int kMsgSetupDataInvalid = 139;
    static constexpr int kZeroWritesAllowed = 2;

    BulkOutTransfer(DeviceLink &link, ImageLibrary &images, QObject *parent = nullptr);
    ~BulkOutTransfer() override;

    // The send list whose titles get their memory numbers (mode 11 and
    // auto-load); none for the command line's clip upload.
    void setTitleList(TitleList *list) { m_list = list; }
    // Whether the mixer runs PAL; NTSC when not set.
    void setPal(std::function<bool()> isPal) { m_isPal = std::move(isPal); }
    // Asks for the setup-data file of mode 14 (an empty name ends the job).
    void setSetupDataFileChooser(std::function<QString()> choose)
    {
        m_chooseSetupFile = std::move(choose);
    }

    static bool isValidMode(int mode);
    // Stores a job: false for another mode or while a transfer is in progress.
    // For mode 10 the argument is the byte count (0: the standard 1,228,800).
    bool setJob(int mode, int argument, std::vector<TransferItem> items);
    int mode() const { return m_mode; }
    // The job's items, with the memory numbers the device gave them.
    const std::vector<TransferItem> &items() const { return m_items; }
    // A job or an auto-load title is being sent.
    bool busy() const { return m_running.load(); }
    // Set while no title's frames are being sent.
    ManualResetEvent &idleEvent() { return m_idle; }

    TransferSide &side() override;
    bool Run() override;
    // Aborts the write in progress; a job between blocks ends at its next step.
    void Cancel() override;

    struct AutoLoadHooks
    {
        // The auto-load window's stop request (read on the worker's thread).
        std::function<bool()> stopRequested;
        // Called on the user-interface thread after a failed upload: refresh
        // the auto-load window and end the run.
        std::function<void()> failed;
    };
    // One title for the auto-load worker: 0 sent (completion event set,
    // LoadState 2), 1 no device memory or the device cannot take it now, 2
    // failed (LoadState 0, the send list's title not stored).
    int UploadTitleForAutoLoad(TransferItem &item, const AutoLoadHooks &hooks = {});

    // Half-sent titles whose clear could not reach the mixer (it had left):
    // cleared when the mixer is connected again, if their slot still holds
    // them (the same device word).
    std::size_t leftoverCount() const { return m_leftovers.size(); }
    void ClearLeftovers();

signals:
    // The send list's title at order now holds its memory number and device
    // word: the memory view reads the device's map again.
    void titleStored(int order);

private:
    enum class Outcome { Sent, NoMemory, Failed };
    struct ItemRun;
    // A frame converted on the thread pool while the protocol's waits run.
    struct Conversion
    {
        std::atomic<bool> done{false};
        std::vector<std::uint8_t> frame;
    };

    bool uploadTitles();
    Outcome sendItem(TransferItem &item, bool autoLoad, const AutoLoadHooks &hooks);
    Outcome abortItem(ItemRun &run);
    Outcome stalled(ItemRun &run);
    Outcome cleanUp(ItemRun &run);
    // BeginFrameWrite until the device is ready (messages 133 and 134).
    bool askFrameWrite(std::uint16_t memoryNo, int frame);
    // One block through the write pipe on the worker; the bytes that moved.
    std::uint32_t writeBlock(std::shared_ptr<std::vector<std::uint8_t>> buffer);
    // Starts converting a frame (message 122 for an unreadable picture).
    void startConversion(const QString &file, int width, int height, bool isTitle);
    // The frame being converted, once it is done (empty when none or it failed).
    std::shared_ptr<std::vector<std::uint8_t>> takeConversion();
    bool pipeTest();
    bool setupDataWrite();
    // A short setup-data or test write: cancel, then reset the pipe (some
    // bytes went) or the device (none did).
    void recoverShortWrite(std::uint32_t moved);
    void setListTitle(int order, const TransferItem &item);
    void showMessage(int captionId, int textId, int flags);
    void setStatus(const QString &text);
    // Runs f on this object's thread, waiting for it when called from another.
    void onUi(const std::function<void()> &f);
    bool cancelled() const { return m_cancel.load(); }

    DeviceLink &m_link;
    ImageLibrary &m_images;
    DeviceCommands m_commands;
    std::unique_ptr<MessageBoxes> m_boxes; // the link's boxes, reached from any thread
    TitleList *m_list = nullptr;
    std::function<bool()> m_isPal;
    std::function<QString()> m_chooseSetupFile;

    int m_mode = 0;
    int m_argument = 0;
    std::vector<TransferItem> m_items;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_abortFailed{false};
    int m_zeroWrites = 0;
    QString m_status; // the status line last shown
    // The frame on its way (at most one at a time) and the next one's conversion.
    std::shared_ptr<std::vector<std::uint8_t>> m_buffer;
    std::shared_ptr<Conversion> m_pending;
    ManualResetEvent m_idle{true};
    struct Leftover
    {
        std::uint16_t memoryNo;
        std::uint32_t deviceWord;
    };
    std::vector<Leftover> m_leftovers; // user-interface thread
};
