#pragma once

#include "device/TransferJob.h"
#include "imaging/DevicePicture.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class DeviceCommands;
class DeviceLink;
class ImageLibrary;
struct DeviceFrameSave;

// Everything read from the mixer over the bulk-in pipe: the pipe test, a
// title or clip saved as picture files, the memory map and the setup data.
// One job at a time; it runs on the user-interface thread and keeps events
// flowing while its blocks move on the read side's worker. A save never
// changes the device's memory, and a failed one keeps the files it wrote.
class BulkInTransfer : public TransferJob
{
    Q_OBJECT

public:
    enum Mode : int {
        PipeTest = 1,
        SaveTitle = 2,
        SaveClip = 3,
        MemoryMap = 4,
        SetupData = 5,
    };

    static constexpr int kMapBlockSize = 1024;
    static constexpr int kMapUsedSize = 968;
    static constexpr int kStepWaitMs = 200;

    // Takes a received memory map (its first 968 bytes); false rejects it.
    using MapSink = std::function<bool(const QByteArray &map)>;

    BulkInTransfer(DeviceLink &link, ImageLibrary &images, QObject *parent = nullptr);
    ~BulkInTransfer() override;

    // Where the maps of StartBulkIn's mode 4 go.
    void setMapSink(MapSink sink) { m_mapSink = std::move(sink); }

    // Takes the next job: false for a mode outside 1..5, a save to a file
    // kind the program does not write, or while a read is taken or in progress.
    bool setJob(int mode, std::uint16_t memoryNo, const QString &path);
    // Runs the job taken last (once); true when it succeeded.
    bool Run() override;
    // Lets go of a job taken but not run.
    void Drop() { m_prepared = false; }
    void Cancel() override;
    TransferSide &side() override;

    // Reads the memory map at once and hands it to sink; a rejected map makes
    // the next read ask the device to resynchronise. False when no map was
    // taken (a read in progress, no pipe, the device said no, a short read, a
    // rejected map). Usable from a timer tick.
    bool ReadMemoryMap(const MapSink &sink);

    bool busy() const { return m_running; }
    int mode() const { return m_mode; }
    // The files the last save wrote, in order.
    QStringList writtenFiles() const { return m_written; }
    // The file the last save could not write (empty when none failed).
    QString failedFile() const { return m_failedFile; }
    // The last job's block came short: the mixer stopped sending, left, or
    // the operator cancelled.
    bool endedEarly() const { return m_endedEarly; }
    // The block the last setup-data read received (empty if none), handed over once.
    QByteArray takeSetupData() { return std::exchange(m_setupData, QByteArray()); }

private:
    bool begin();
    void end();
    bool runPipeTest();
    bool runSave();
    bool runSetupData();
    bool readMap(const MapSink &sink);
    // Gauge maximum of a title: every group's rounded size, as its layout says.
    qint64 titleGaugeMax(std::uint16_t memoryNo, int frames, int blocksPerFrame);
    // Reads size bytes into the buffer (allocated size + one line); false
    // after the clean-up of a short read.
    bool readBlock(std::uint32_t size);
    // Writes the received group's files on the thread pool while the next
    // group is read; the buffer goes with it.
    void startSaving(const DeviceFrameSave &save);
    // Waits for the group being written; false (after message 91 when asked
    // for) when one of its files could not be made.
    bool finishSaving(bool withMessage);
    // Drops the device's read, resets the device, with the prescribed waits.
    void cancelAndReset();
    bool askOverwrite(const QString &file, int textId);
    void pause();

    DeviceLink &m_link;
    ImageLibrary &m_images;
    std::unique_ptr<DeviceCommands> m_commands;
    MapSink m_mapSink;

    int m_mode = 0;
    std::uint16_t m_memoryNo = 0;
    QString m_path;
    bool m_prepared = false;
    bool m_running = false;
    bool m_cancelled = false;
    std::vector<std::uint8_t> m_buffer;
    struct PendingSave;
    std::unique_ptr<PendingSave> m_pending;
    bool m_holdsBuffer = false;
    QStringList m_written;
    QString m_failedFile;
    bool m_endedEarly = false;
    QByteArray m_setupData;
};
