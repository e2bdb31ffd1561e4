#include "device/BulkOutTransfer.h"

#include "core/SetupDataFile.h"

#include "core/HandOverOrder.h"
#include "core/MessageBoxes.h"
#include "core/RunOnThread.h"
#include "core/Waits.h"
#include "device/DeviceLink.h"
#include "device/DeviceLogging.h"
#include "device/TThreadReadWrite.h"
#include "imaging/DeviceConvert.h"
#include "list/TitleList.h"
#include "resources/MessageTable.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr int kCaptionError = 1;
constexpr int kAllocationPauseMs = 50;
constexpr int kFirstFramePauseMs = 100;
constexpr int kFirstFramePauseAutoLoadMs = 200;
constexpr int kFramePauseMs = 100;
constexpr int kNextFramePauseMs = 250;
constexpr int kZeroWritePauseMs = 500;
constexpr int kAbortPauseMs = 200;

QByteArray recordBytes(const TitleAttributes &a)
{
    return QByteArray(reinterpret_cast<const char *>(a.bytes().data()), TitleAttributes::Size);
}

// The link's message boxes for any thread: a box asked for from another
// thread is shown on the user-interface thread while the asker waits.
class AnyThreadBoxes : public MessageBoxes
{
public:
    AnyThreadBoxes(QObject &uiObject, MessageBoxes &boxes) : m_ui(uiObject), m_boxes(boxes) {}

    int show(int captionId, int textId, const QString &caption, const QString &text,
             int flags) override
    {
        int button = IdOk;
        runOnThread(m_ui, [&] { button = m_boxes.show(captionId, textId, caption, text, flags); });
        return button;
    }

private:
    QObject &m_ui;
    MessageBoxes &m_boxes;
};

} // namespace

// What one item's upload keeps while it runs.
struct BulkOutTransfer::ItemRun
{
    TransferItem &item;
    bool autoLoad;
    const AutoLoadHooks &hooks;
    std::uint16_t memoryNo = MemoryNo::NotStored;

    bool stopRequested() const { return autoLoad && hooks.stopRequested && hooks.stopRequested(); }
};

BulkOutTransfer::BulkOutTransfer(DeviceLink &link, ImageLibrary &images, QObject *parent)
    : TransferJob(parent), m_link(link), m_images(images), m_commands(link),
      m_boxes(std::make_unique<AnyThreadBoxes>(*this, link.messageBoxes()))
{
    connect(&link, &DeviceLink::connectedStateChanged, this, [this](bool connected) {
        if (connected)
            ClearLeftovers();
    });
}

void BulkOutTransfer::ClearLeftovers()
{
    for (const Leftover &left : std::exchange(m_leftovers, {})) {
        const auto header = m_commands.ReadTitleHeader(left.memoryNo);
        if (!header || header->size() < TitleAttributes::Size)
            continue; // nothing there any more
        const auto word = qFromLittleEndian<std::uint32_t>(header->constData() + 36);
        if (word == left.deviceWord)
            m_commands.MemoryOperation(left.memoryNo, DeviceRequest::MemoryOp::Clear);
    }
}

BulkOutTransfer::~BulkOutTransfer() = default;

bool BulkOutTransfer::isValidMode(int mode)
{
    return mode == PipeTest || mode == Titles || mode == IntVideo || mode == SetupData;
}

bool BulkOutTransfer::setJob(int mode, int argument, std::vector<TransferItem> items)
{
    if (!isValidMode(mode) || m_running)
        return false;
    m_mode = mode;
    m_argument = argument;
    m_items = std::move(items);
    return true;
}

TransferSide &BulkOutTransfer::side()
{
    return m_link.writeSide();
}

void BulkOutTransfer::onUi(const std::function<void()> &f)
{
    runOnThread(*this, f);
}

void BulkOutTransfer::showMessage(int captionId, int textId, int flags)
{
    ShowMessageById(*m_boxes, captionId, textId, flags);
}

void BulkOutTransfer::setStatus(const QString &text)
{
    if (text == m_status && !text.isEmpty())
        return;
    m_status = text;
    emit statusChanged(text);
    m_link.waits().processPending();
}

bool BulkOutTransfer::Run()
{
    if (m_running.exchange(true))
        return false;
    m_cancel = false;
    m_abortFailed = false;
    m_zeroWrites = 0;
    m_status.clear();
    TransferSide &s = side();
    s.GaugeBase = 0;
    s.GaugeMax = 0;
    s.reportProgress(0);
    bool ok = false;
    switch (m_mode) {
    case Titles:
    case IntVideo:
        ok = uploadTitles();
        break;
    case PipeTest:
        ok = pipeTest();
        break;
    case SetupData:
        ok = setupDataWrite();
        break;
    default:
        break;
    }
    m_buffer.reset();
    m_running = false;
    return ok;
}

void BulkOutTransfer::Cancel()
{
    m_cancel = true;
    if (side().Busy() && !m_link.WritePipe().Abort()) {
        // The pending write cannot be ended: stop waiting for it instead.
        m_abortFailed = true;
    }
    m_link.waits().wake();
}

bool BulkOutTransfer::uploadTitles()
{
    const AutoLoadHooks none;
    for (TransferItem &item : m_items) {
        if (sendItem(item, false, none) != Outcome::Sent)
            return false;
    }
    return true;
}

int BulkOutTransfer::UploadTitleForAutoLoad(TransferItem &item, const AutoLoadHooks &hooks)
{
    item.LoadState = TransferItem::LoadSending;
    const auto failed = [&] {
        item.LoadState = TransferItem::LoadNone;
        if (hooks.failed)
            onUi(hooks.failed);
        return int(AutoLoadFailed);
    };
    // Only one transfer at a time on the write side; the dialog may hold it.
    if (!m_link.WritePipe().isOpen() || m_running.exchange(true))
        return failed();
    m_cancel = false;
    m_abortFailed = false;
    m_zeroWrites = 0;
    const Outcome outcome = sendItem(item, true, hooks);
    m_buffer.reset();
    m_running = false;
    if (outcome == Outcome::NoMemory) {
        item.LoadState = TransferItem::LoadNone;
        return AutoLoadNoMemory;
    }
    if (outcome == Outcome::Failed)
        return failed();
    item.Completion.set();
    item.LoadState = TransferItem::LoadDone;
    return AutoLoadSent;
}

BulkOutTransfer::Outcome BulkOutTransfer::sendItem(TransferItem &item, bool autoLoad,
                                                   const AutoLoadHooks &hooks)
{
    ItemRun run{item, autoLoad, hooks};
    const bool clip = !autoLoad && m_mode == IntVideo;
    const int frames = int(item.FileList.size());
    // A title without pictures has nothing to send: ask the device for nothing.
    if (frames == 0)
        return Outcome::Failed;
    TransferSide &s = side();
    onUi([&s] {
        s.GaugeBase = 0;
        s.GaugeMax = 0;
        s.reportProgress(0);
    });
    const auto status = [&](int frame) {
        return clip ? MessageTable::format(kMsgSendingClip, {frame, frames})
                    : MessageTable::format(kMsgSendingTitle, {item.Order, frame, frames});
    };
    if (!autoLoad) {
        emit captionChanged(MessageTable::text(clip ? kCaptionClip : kCaptionTitles));
        setStatus(status(1));
    }

    TitleAttributes &a = item.Attributes;
    const std::optional<QByteArray> reply =
        clip ? m_commands.AllocIntVideoMemory(std::uint16_t(a.frameCount()))
             : m_commands.AllocTitleMemory(std::uint8_t(a.blocksPerFrame()), a.protect(),
                                           std::uint16_t(a.frameCount()));
    if (!reply)
        return Outcome::Failed;
    const DeviceCommands::Allocation allocation = DeviceCommands::parseAllocation(*reply);
    if (allocation.memoryNo == MemoryNo::NotStored || allocation.memoryNo == MemoryNo::None) {
        if (!autoLoad)
            showMessage(kCaptionError,
                        allocation.memoryNo == MemoryNo::NotStored ? kMsgNoMemory
                                                                   : DeviceCommands::kMsgRefused,
                        MsgError);
        return Outcome::NoMemory;
    }
    run.memoryNo = allocation.memoryNo;
    a.setMemoryNo(allocation.memoryNo);
    a.setDeviceWord(allocation.deviceWord);
    if (autoLoad)
        setListTitle(item.Order, item);
    m_link.waits().pause(kAllocationPauseMs);
    if (!m_commands.WriteTitleHeader(run.memoryNo, recordBytes(a)))
        return cleanUp(run);
    startConversion(item.FileList.at(0), a.width(), a.height(), !clip);
    m_link.waits().pause(autoLoad ? kFirstFramePauseAutoLoadMs : kFirstFramePauseMs);
    m_idle.reset();

    for (int f = 0; f < frames; ++f) {
        if (cancelled() || run.stopRequested())
            return abortItem(run);
        if (!m_pending)
            startConversion(item.FileList.at(f), a.width(), a.height(), !clip);
        m_buffer = takeConversion();
        const auto size = std::uint32_t(m_buffer->size());
        if (size == 0)
            return cleanUp(run);
        if (!autoLoad)
            setStatus(status(f + 1));
        if (!askFrameWrite(run.memoryNo, f))
            return cancelled() ? abortItem(run) : cleanUp(run);
        if (run.stopRequested())
            return abortItem(run);
        m_link.waits().pause(kFramePauseMs);
        if (f == 0)
            onUi([&s, size, frames] { s.GaugeMax = qint64(size) * frames; });
        const std::uint32_t moved = writeBlock(std::move(m_buffer));
        m_buffer.reset();
        // The next frame is converted while this one's waits run.
        if (moved == size && f + 1 < frames && !cancelled())
            startConversion(item.FileList.at(f + 1), a.width(), a.height(), !clip);
        if (cancelled())
            return abortItem(run);
        if (moved == 0) {
            // A write that moved nothing is tried again after a device reset, twice per job.
            if (++m_zeroWrites > kZeroWritesAllowed)
                return stalled(run);
            onUi([this] { m_link.ResetDevice(); });
            m_link.waits().pause(kZeroWritePauseMs);
            --f;
            continue;
        }
        if (moved != size)
            return stalled(run);
        onUi([&s, moved] { s.GaugeBase += moved; });
        if (run.stopRequested())
            return abortItem(run);
        m_link.waits().pause(kNextFramePauseMs);
    }

    if (!clip) {
        setListTitle(item.Order, item);
        const int order = item.Order;
        onUi([this, order] { emit titleStored(order); });
    }
    m_idle.set();
    return Outcome::Sent;
}

bool BulkOutTransfer::askFrameWrite(std::uint16_t memoryNo, int frame)
{
    using DeviceRequest::Status;
    for (int attempt = 0; attempt < DeviceCommands::kRetriedTries; ++attempt) {
        if (cancelled())
            return false;
        const std::optional<QByteArray> answer = m_commands.inRequest(
            DeviceRequest::In::BeginFrameWrite, memoryNo, std::uint16_t(frame & 0x7FFF), 2);
        if (!answer)
            break;
        const Status status = Status(std::uint8_t(answer->at(0)));
        if (status == Status::Accepted)
            return true;
        if (status == Status::Busy) {
            showMessage(kCaptionError, DeviceCommands::kMsgBusy, MsgError);
            return false;
        }
        if (attempt + 1 < DeviceCommands::kRetriedTries)
            m_link.waits().pause(DeviceCommands::kRetryPauseMs);
    }
    showMessage(kCaptionError, DeviceCommands::kMsgRefused, MsgError);
    return false;
}

std::uint32_t BulkOutTransfer::writeBlock(std::shared_ptr<std::vector<std::uint8_t>> buffer)
{
    if (cancelled())
        return 0;
    return TThreadReadWrite::Run(m_link, m_link.WritePipe(), side(), std::move(buffer),
                                 [this] { return m_abortFailed.load(); });
}

BulkOutTransfer::Outcome BulkOutTransfer::abortItem(ItemRun &run)
{
    m_commands.CancelTransfer(true);
    m_link.waits().pause(kAbortPauseMs);
    onUi([this] { m_link.WritePipe().Reset(); });
    m_link.waits().pause(kAbortPauseMs);
    return cleanUp(run);
}

BulkOutTransfer::Outcome BulkOutTransfer::stalled(ItemRun &run)
{
    // The mixer took only part of a frame: the operator learns why the
    // transfer (or the auto-load run) ended once the half-sent title is gone.
    const Outcome outcome = abortItem(run);
    if (!cancelled() && !run.stopRequested())
        showMessage(kCaptionError, kMsgTransferStopped, MsgError);
    return outcome;
}

BulkOutTransfer::Outcome BulkOutTransfer::cleanUp(ItemRun &run)
{
    // Nothing half-sent stays in the device.
    if (!m_commands.MemoryOperation(run.memoryNo, DeviceRequest::MemoryOp::Clear)) {
        // The mixer has left: the title is cleared when it is back.
        const Leftover left{run.memoryNo, run.item.Attributes.deviceWord()};
        onUi([this, left] { m_leftovers.push_back(left); });
    }
    run.item.Attributes.setMemoryNo(MemoryNo::NotStored);
    run.item.Attributes.setDeviceWord(0);
    takeConversion();
    if (run.autoLoad)
        setListTitle(run.item.Order, run.item);
    m_buffer.reset();
    m_idle.set();
    return Outcome::Failed;
}

void BulkOutTransfer::startConversion(const QString &file, int width, int height, bool isTitle)
{
    // The levels are read afresh for every frame, on the thread that owns them.
    DevicePicture::LevelSettings frameLevels;
    bool pal = false;
    onUi([&] {
        frameLevels = levels();
        pal = m_isPal && m_isPal();
    });
    auto conversion = std::make_shared<Conversion>();
    m_pending = conversion;
    startOnPool([this, conversion, file, width, height, isTitle, pal, frameLevels] {
        conversion->frame = ConvertImageToDevice(m_images, *m_boxes, file, width, height, isTitle,
                                                 pal, frameLevels);
        m_link.waits().wake([&conversion] { conversion->done = true; });
    });
}

std::shared_ptr<std::vector<std::uint8_t>> BulkOutTransfer::takeConversion()
{
    const std::shared_ptr<Conversion> conversion = std::move(m_pending);
    m_pending.reset();
    if (!conversion)
        return std::make_shared<std::vector<std::uint8_t>>();
    m_link.waits().waitUntil([&conversion] { return conversion->done.load(); }, -1);
    return std::make_shared<std::vector<std::uint8_t>>(std::move(conversion->frame));
}

void BulkOutTransfer::setListTitle(int order, const TransferItem &item)
{
    if (!m_list)
        return;
    onUi([this, order, &item] {
        // The title must still be the one that was sent: never stamp a number on another.
        if (order < 1 || order > m_list->count() || m_list->at(order).FileList != item.FileList) {
            qCWarning(lcDevice) << "the sent title is no longer at order" << order;
            return;
        }
        TitleAttributes &a = m_list->at(order).Attributes;
        a.setMemoryNo(item.Attributes.memoryNo());
        a.setDeviceWord(item.Attributes.deviceWord());
        m_list->notifyRowChanged(order);
    });
}

void BulkOutTransfer::recoverShortWrite(std::uint32_t moved)
{
    m_commands.CancelTransfer(true);
    m_link.waits().pause(kAbortPauseMs);
    if (moved > 0)
        m_link.WritePipe().Reset();
    else
        m_link.ResetDevice();
    m_link.waits().pause(kAbortPauseMs);
}

bool BulkOutTransfer::pipeTest()
{
    if (!m_link.WritePipe().isOpen())
        return false;
    // Whole 512-byte units, as the request counts them.
    const int units = (m_argument > 0 ? m_argument : kPipeTestBytes) / 512;
    if (units < 1 || units > 0xFFFF)
        return false;
    setStatus(QString());
    if (!m_commands.BeginTestWrite(std::uint16_t(units)))
        return false;
    auto block = std::make_shared<std::vector<std::uint8_t>>(std::size_t(units) * 512);
    for (std::size_t i = 0; i < block->size(); ++i)
        (*block)[i] = std::uint8_t(i * 7 + i / 509);
    const auto size = std::uint32_t(block->size());
    side().GaugeMax = size;
    const std::uint32_t moved = writeBlock(std::move(block));
    if (moved == size && !cancelled()) {
        side().GaugeBase += moved;
        return true;
    }
    recoverShortWrite(moved);
    return false;
}

bool BulkOutTransfer::setupDataWrite()
{
    if (!m_link.WritePipe().isOpen())
        return false;
    setStatus(QString());
    emit captionChanged(MessageTable::caption(QStringLiteral("Write SetupData")));
    const QString path = m_chooseSetupFile ? m_chooseSetupFile() : QString();
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Only the block and its sum count; a short file is as invalid as a wrong sum.
    const std::optional<QByteArray> data =
        SetupDataFile::decode(file.read(SetupDataFile::FileSize));
    file.close();
    if (!data) {
        showMessage(kCaptionError, kMsgSetupDataInvalid, MsgError);
        return false;
    }
    if (!m_commands.BeginSetupDataWrite())
        return false;
    auto block = std::make_shared<std::vector<std::uint8_t>>(data->begin(), data->end());
    side().GaugeMax = kSetupDataBytes;
    const std::uint32_t moved = writeBlock(std::move(block));
    const bool ok = moved == std::uint32_t(kSetupDataBytes) && !cancelled();
    if (ok) {
        side().GaugeBase += moved;
        showMessage(kCaptionSetupWrite, kMsgSetupDataWritten, MsgInformation);
    } else {
        recoverShortWrite(moved);
    }
    m_idle.set();
    return ok;
}
