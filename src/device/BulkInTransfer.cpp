#include "device/BulkInTransfer.h"

#include "core/SetupDataFile.h"

#include "core/HandOverOrder.h"
#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "device/DeviceLogging.h"
#include "device/TThreadReadWrite.h"
#include "imaging/SaveDeviceFrame.h"
#include "list/TitleAttributes.h"
#include "resources/MessageTable.h"

#include <QFileInfo>
#include <atomic>

namespace {

constexpr int kCaptionError = 1;
constexpr int kCaptionOverwrite = 7;
constexpr int kCaptionSaveTitle = 16;
constexpr int kCaptionSaveClip = 17;
constexpr int kMsgCannotOpenFile = 91;
constexpr int kMsgSavingTitle = 109;
constexpr int kMsgSavingClip = 110;
constexpr int kMsgOverwriteFile = 124;
constexpr int kMsgOverwriteAll = 125;
constexpr int kMaxPictureWidth = 768;
constexpr int kMaxPictureHeight = 576;

std::uint32_t roundUp512(std::uint32_t bytes)
{
    return (bytes + 511) / 512 * 512;
}

bool hasMapMagic(const QByteArray &map)
{
    return map.startsWith(QByteArrayLiteral("\xFE\xFF\xFC\xFD"));
}

// The extension as chosen (with its dot), empty when the name has none.
QString extensionOf(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
}

// A header the save can trust: its sizes bound every buffer and loop of the save.
bool usableHeader(const TitleAttributes &a, bool isTitle)
{
    const int blocks = a.blocksPerFrame();
    return a.frameCount() >= 1 && a.frameCount() <= 0x7FFF && a.width() >= 1 &&
           a.width() <= kMaxPictureWidth && a.height() >= 1 && a.height() <= kMaxPictureHeight &&
           (!isTitle || blocks == 1 || blocks == 2 || blocks == 4 || blocks == 8);
}

} // namespace

// One group's files, written on the thread pool from the buffer it was read into.
struct BulkInTransfer::PendingSave
{
    std::vector<std::uint8_t> buffer;
    DeviceFrameSave save;
    SavedFrames result;
    std::atomic<bool> done{false};
};

BulkInTransfer::BulkInTransfer(DeviceLink &link, ImageLibrary &images, QObject *parent)
    : TransferJob(parent), m_link(link), m_images(images),
      m_commands(std::make_unique<DeviceCommands>(link))
{}

BulkInTransfer::~BulkInTransfer() = default;

TransferSide &BulkInTransfer::side()
{
    return m_link.readSide();
}

bool BulkInTransfer::setJob(int mode, std::uint16_t memoryNo, const QString &path)
{
    if (mode < PipeTest || mode > SetupData || m_running || m_prepared)
        return false;
    if ((mode == SaveTitle || mode == SaveClip) &&
        !SaveFormatFor(extensionOf(path), mode == SaveTitle))
        return false;
    m_mode = mode;
    m_memoryNo = memoryNo;
    m_path = path;
    m_prepared = true;
    return true;
}

bool BulkInTransfer::Run()
{
    if (!m_prepared)
        return false;
    m_prepared = false;
    if (!begin())
        return false;
    bool ok = false;
    switch (m_mode) {
    case PipeTest:
        ok = runPipeTest();
        break;
    case SaveTitle:
    case SaveClip:
        ok = runSave();
        break;
    case MemoryMap:
        ok = readMap(m_mapSink);
        break;
    case SetupData:
        ok = runSetupData();
        break;
    }
    end();
    return ok;
}

void BulkInTransfer::Cancel()
{
    if (!m_running)
        return;
    m_cancelled = true;
    // The worker's piece ends with the abort; should the abort fail, it ends
    // with its time-out, and the buffer it fills stays until then.
    if (side().Busy() && !m_link.ReadPipe().Abort())
        qCInfo(lcDevice) << "read pipe not aborted: the block ends with its piece time-out";
}

bool BulkInTransfer::ReadMemoryMap(const MapSink &sink)
{
    // A job taken but not yet started keeps the pipe for itself.
    if (m_prepared || !begin())
        return false;
    const bool ok = readMap(sink);
    end();
    return ok;
}

bool BulkInTransfer::begin()
{
    if (m_running || m_holdsBuffer || !m_link.ReadPipe().isOpen())
        return false;
    m_running = true;
    m_cancelled = false;
    m_written.clear();
    m_failedFile.clear();
    m_endedEarly = false;
    side().GaugeBase = 0;
    side().GaugeMax = 0;
    return true;
}

void BulkInTransfer::end()
{
    // A failed job still lets the files of the group in hand be written.
    finishSaving(false);
    m_buffer = {};
    m_holdsBuffer = false;
    m_running = false;
}

void BulkInTransfer::pause()
{
    m_link.waits().pause(kStepWaitMs);
}

void BulkInTransfer::cancelAndReset()
{
    m_commands->CancelTransfer(false);
    pause();
    m_link.ResetDevice();
    pause();
}

bool BulkInTransfer::readBlock(std::uint32_t size)
{
    if (m_cancelled) {
        cancelAndReset();
        return false;
    }
    // One line more than is read: the picture rebuild looks one line ahead.
    m_buffer.assign(std::size_t(size) + DevicePicture::LineBytes, 0);
    m_holdsBuffer = true;
    const std::uint32_t moved = TThreadReadWrite::Run(
        m_link, m_link.ReadPipe(), side(), m_buffer.data(), size, TThreadReadWrite::ModeRead);
    if (moved == size && !m_cancelled)
        return true;
    m_endedEarly = true;
    cancelAndReset();
    return false;
}

bool BulkInTransfer::askOverwrite(const QString &file, int textId)
{
    return ShowMessageById(m_link.messageBoxes(), kCaptionOverwrite, textId, MsgQuestionYesNo,
                           {QFileInfo(file).fileName()}) == IdYes;
}

bool BulkInTransfer::runPipeTest()
{
    emit captionChanged(QStringLiteral("Transfer Test"));
    emit statusChanged(QString());
    if (!m_commands->BeginTestRead(std::uint16_t(kPipeTestBytes / 512)))
        return false;
    pause();
    side().GaugeMax = kPipeTestBytes;
    return readBlock(kPipeTestBytes);
}

bool BulkInTransfer::runSetupData()
{
    emit captionChanged(QStringLiteral("Read SetupData"));
    emit statusChanged(QString());
    m_setupData.clear();
    if (!m_path.isEmpty() && QFileInfo::exists(m_path) &&
        !askOverwrite(m_path, kMsgOverwriteFile)) {
        cancelAndReset();
        return false;
    }
    if (!m_commands->BeginSetupDataRead())
        return false;
    pause();
    side().GaugeMax = kSetupDataBytes;
    if (!readBlock(kSetupDataBytes))
        return false;
    m_setupData = QByteArray(reinterpret_cast<const char *>(m_buffer.data()), kSetupDataBytes);
    // The file is replaced only once the whole block is here: a failed read
    // or a file that cannot be made leaves the previous one as it was.
    return m_path.isEmpty() || SetupDataFile::Save(m_path, m_setupData, m_link.messageBoxes());
}

bool BulkInTransfer::readMap(const MapSink &sink)
{
    const std::optional<QByteArray> go = m_commands->BeginMemoryMapRead(side().MapResync);
    if (!go || go->isEmpty() || go->at(0) == 0)
        return false;
    pause();
    side().GaugeMax = kMapBlockSize;
    if (!readBlock(kMapBlockSize))
        return false;
    const QByteArray map(reinterpret_cast<const char *>(m_buffer.data()), kMapUsedSize);
    if (sink ? sink(map) : hasMapMagic(map)) {
        side().MapResync = false;
        return true;
    }
    // The next read asks the device to send its map afresh.
    side().MapResync = true;
    pause();
    m_link.ResetDevice();
    pause();
    return false;
}

qint64 BulkInTransfer::titleGaugeMax(std::uint16_t memoryNo, int frames, int blocksPerFrame)
{
    qint64 total = 0;
    for (int f = 0; f < frames;) {
        const std::optional<QByteArray> layout = m_commands->GetFrameLayout(memoryNo, f & 0x7FFF);
        if (!layout || layout->size() < 9)
            break; // the gauge only: the save itself checks every group
        DeviceFrameGroup group;
        for (int b = 0; b < DeviceFrameGroup::Units; ++b)
            group.bandFlags[b] = std::uint8_t(layout->at(b));
        group.isPal = layout->at(8) != 0;
        const qsizetype count = group.frameStarts(blocksPerFrame).size();
        if (count == 0)
            break;
        total += roundUp512(std::uint32_t(group.lines(blocksPerFrame)) * DevicePicture::LineBytes);
        f += int(count);
    }
    return total;
}

bool BulkInTransfer::runSave()
{
    const bool isTitle = m_mode == SaveTitle;
    const std::optional<QByteArray> header = m_commands->ReadTitleHeader(m_memoryNo);
    if (!header || header->size() != TitleAttributes::Size)
        return false;
    const TitleAttributes a =
        TitleAttributes::fromBytes(reinterpret_cast<const std::uint8_t *>(header->constData()));
    if (!usableHeader(a, isTitle)) {
        qCWarning(lcDevice) << "unusable title header for memory number" << m_memoryNo;
        return false;
    }
    const int frames = a.frameCount();
    const int blocksPerFrame = a.blocksPerFrame();
    const int statusId = isTitle ? kMsgSavingTitle : kMsgSavingClip;
    emit captionChanged(MessageTable::text(isTitle ? kCaptionSaveTitle : kCaptionSaveClip));
    emit statusChanged(MessageTable::format(statusId, {1, frames}));
    const QString extension = extensionOf(m_path);
    const QString base = m_path.left(m_path.size() - extension.size());

    if (isTitle)
        side().GaugeMax = titleGaugeMax(m_memoryNo, frames, blocksPerFrame);
    side().reportProgress(0);

    for (int f = 0; f < frames;) {
        if (m_cancelled)
            return false;
        if (f == 0) {
            const bool single = frames == 1;
            const QString first = single ? m_path : SavedFrameName(base, extension, 1);
            if (QFileInfo::exists(first) &&
                !askOverwrite(first, single ? kMsgOverwriteFile : kMsgOverwriteAll)) {
                cancelAndReset();
                return false;
            }
        }
        if (f > 0)
            emit statusChanged(MessageTable::format(statusId, {f + 1, frames}));

        DeviceFrameGroup group;
        std::uint8_t lineClass = 0;
        if (!m_commands->GetFrameInfo(m_memoryNo, std::uint16_t(f), group.bandFlags, lineClass))
            return false;
        group.isPal = lineClass != 0;
        int lines = a.height();
        int count = 1;
        if (isTitle) {
            lines = group.lines(blocksPerFrame);
            count = int(group.frameStarts(blocksPerFrame).size());
            // A group without a frame would never end the save.
            if (count == 0) {
                ShowMessageById(m_link.messageBoxes(), kCaptionError, DeviceCommands::kMsgRefused,
                                MsgError);
                return false;
            }
        }
        const std::uint32_t size = roundUp512(std::uint32_t(lines) * DevicePicture::LineBytes);
        pause();
        // The group before must be on disk before the device starts the next one.
        if (!finishSaving(true))
            return false;
        if (!m_commands->BeginFrameRead(m_memoryNo, std::uint16_t(f)))
            return false;
        pause();
        if (!isTitle && f == 0)
            side().GaugeMax = qint64(size) * frames;
        if (!readBlock(size))
            return false;

        DeviceFrameSave save;
        save.isTitle = isTitle;
        save.basePath = base;
        save.extension = extension;
        save.blocksPerFrame = blocksPerFrame;
        save.frameNo = frames == 1 ? 0 : f + 1;
        save.width = a.width();
        save.height = a.height();
        save.lines = lines;
        save.maxFrames = frames - f;
        save.group = group;
        save.levels = levels();
        startSaving(save);
        side().GaugeBase += size;
        f += count;
    }
    return finishSaving(true);
}

void BulkInTransfer::startSaving(const DeviceFrameSave &save)
{
    m_pending = std::make_unique<PendingSave>();
    m_pending->buffer = std::exchange(m_buffer, {});
    m_pending->save = save;
    m_holdsBuffer = false;
    PendingSave *pending = m_pending.get();
    ImageLibrary *images = &m_images;
    Waits *waits = &m_link.waits();
    startOnPool([pending, images, waits] {
        pending->result =
            SaveDeviceFrame(*images, pending->buffer.data(), pending->buffer.size(), pending->save);
        // The waiter returns only once this call is over, and then frees pending.
        waits->wake([pending] { pending->done = true; });
    });
}

bool BulkInTransfer::finishSaving(bool withMessage)
{
    if (!m_pending)
        return true;
    PendingSave *pending = m_pending.get();
    m_link.waits().waitUntil([pending] { return pending->done.load(); }, -1);
    m_written += pending->result.written;
    const bool ok = pending->result.ok();
    if (!ok)
        m_failedFile = pending->result.failedFile;
    m_pending.reset();
    if (!ok && withMessage)
        ShowMessageById(m_link.messageBoxes(), kCaptionError, kMsgCannotOpenFile, MsgError);
    return ok;
}
