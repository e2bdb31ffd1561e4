#include "memory/DeviceMemoryMirror.h"

#include "core/MessageBoxes.h"
#include "core/ParallelWork.h"
#include "core/Settings.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "imaging/ImageLibrary.h"
#include "imaging/Thumbnail.h"
#include "list/TitleList.h"
#include "memory/KeyerState.h"
#include "memory/MemoryRefresh.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <vector>

Q_LOGGING_CATEGORY(lcMemory, "titledeck.memory", QtWarningMsg)

namespace {
constexpr std::uint8_t kMagic[4] = {0xFE, 0xFF, 0xFC, 0xFD};
constexpr int kCaptionError = 1;
constexpr int kCaptionClearConfirm = 5;
constexpr int kCaptionSettingNotice = 18;
constexpr int kMsgClearSelected = 111;
constexpr int kMsgClearTitleArea = 112;
constexpr int kMsgClearUnknownArea = 113;
constexpr int kMsgClearClipArea = 114;
constexpr int kMsgClearAllTitles = 115;
constexpr int kMsgClearAllMemory = 117;
constexpr int kMsgThumbnailFailed = 122;
constexpr int kMsgFormatChanged = 130;
constexpr int kMsgRowsChanged = 131;
constexpr int kMsgKeyerBusy = 136;
} // namespace

DeviceMemoryMirror::DeviceMemoryMirror(const Services &services, const MemorySetting &setting,
                                       QObject *parent)
    : QObject(parent), m_services(services), m_windowLeft(setting.Left), m_windowTop(setting.Top)
{
    m_current[0] = std::uint8_t(setting.Signal);
    m_current[1] = std::uint8_t(setting.Aspect);
    m_current[2] = std::uint8_t(setting.TitleCount);
    ResetMemoryMirror();
    ApplyVideoFormat(setting.Signal);
}

DeviceMemoryMirror::~DeviceMemoryMirror() = default;

bool DeviceMemoryMirror::connected() const
{
    return m_link && m_link->Connected();
}

MemoryMapRecord DeviceMemoryMirror::record(int row, int block) const
{
    if (row < 0 || row >= Rows || block < 0 || block >= BlocksPerRow)
        return {};
    const std::uint8_t *r = m_current.data() + RecordsOffset + (row * BlocksPerRow + block) * 4;
    return MemoryMapRecord{BlockUsage(r[0]), qFromLittleEndian<quint16>(r + 2)};
}

std::optional<BlockUsage> DeviceMemoryMirror::usageOf(std::uint16_t memoryNo) const
{
    for (int row = 0; row < Rows; ++row)
        for (int block = 0; block < BlocksPerRow; ++block) {
            const MemoryMapRecord r = record(row, block);
            if (r.memoryNo == memoryNo && r.usage != BlockUsage::Empty)
                return r.usage;
        }
    return std::nullopt;
}

std::optional<MemorySetting> DeviceMemoryMirror::headerOf(const QByteArray &block)
{
    if (block.size() < MapSize || std::memcmp(block.constData(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    const auto byte = [&block](int offset) { return int(std::uint8_t(block.at(offset))); };
    return MemorySetting{byte(4), byte(5), byte(6), std::nullopt, std::nullopt};
}

MemorySetting DeviceMemoryMirror::memorySetting() const
{
    return MemorySetting{Signal(), Aspect(), TitleRows(), m_windowLeft, m_windowTop};
}

void DeviceMemoryMirror::setWindowPosition(int left, int top)
{
    m_windowLeft = left;
    m_windowTop = top;
}

void DeviceMemoryMirror::addIntVideoIcon(std::uint16_t memoryNo, std::uint32_t deviceWord,
                                         const Bitmap &icon)
{
    m_intVideoIcons.insert(IconKey(memoryNo, deviceWord), icon);
}

bool DeviceMemoryMirror::ApplyMemoryMap(const QByteArray &block)
{
    m_previous = m_current;
    if (!headerOf(block)) {
        qCDebug(lcMemory) << "memory map rejected," << block.size() << "bytes";
        return false;
    }
    std::memcpy(m_current.data(), block.constData() + 4, ContentSize);

    if (Signal() != m_previous[0]) {
        const bool seenWhileConnected = m_firstUpdateDone;
        {
            MemoryRefresh::Pause pause(m_refresh);
            ShowMessageById(m_services.boxes, kCaptionSettingNotice, kMsgFormatChanged,
                            MsgInformation);
        }
        m_firstUpdateDone = false;
        emit signalChanged(Signal());
        if (m_closeList)
            m_closeList();
        // Seen while connected, the mixer has just emptied its memory for the
        // new format: a list the operator kept holds no stored title any more.
        // (A first map comes after the titles were checked with the mixer.)
        if (seenWhileConnected)
            markAllNotStored();
        ApplyVideoFormat(Signal());
        dropIntVideoIcons();
    }
    if (Aspect() != m_previous[1]) {
        emit aspectChanged(Aspect());
        renderThumbnails();
    }
    if (TitleRows() != m_previous[2]) {
        if (m_firstUpdateDone) {
            {
                MemoryRefresh::Pause pause(m_refresh);
                ShowMessageById(m_services.boxes, kCaptionSettingNotice, kMsgRowsChanged,
                                MsgInformation);
            }
            markAllNotStored();
        }
        dropIntVideoIcons();
        emit titleRowsChanged(TitleRows());
    }
    CheckFreeMemory();
    emit mapApplied();
    m_firstUpdateDone = true;
    return true;
}

void DeviceMemoryMirror::ResetMemoryMirror()
{
    for (int k = 0; k < Rows * BlocksPerRow; ++k) {
        std::uint8_t *r = m_current.data() + RecordsOffset + k * 4;
        r[0] = std::uint8_t(BlockUsage::Empty);
        r[1] = 0;
        qToLittleEndian<quint16>(MemoryNo::None, r + 2);
    }
    SelectedMemoryNo = MemoryNo::None;
    SelectedUsage = BlockUsage::Empty;
    m_firstUpdateDone = false;
    emit mirrorReset();
}

bool DeviceMemoryMirror::readMemoryMap()
{
    // A read runs the event loop while it waits; a tick or a command that
    // comes meanwhile does not start a second one on the same pipe.
    if (!m_readMap || m_reading || !connected())
        return false;
    m_reading = true;
    {
        MemoryRefresh::Pause pause(m_refresh);
        m_readMap();
    }
    m_reading = false;
    return true;
}

void DeviceMemoryMirror::RefreshMemoryNow()
{
    // Without a device there is no memory to fit titles into: the room marks
    // stay cleared as the disconnect left them.
    if (!connected())
        return;
    readMemoryMap();
    CheckFreeMemory();
}

bool DeviceMemoryMirror::fits(int blocksPerFrame, int frameCount) const
{
    const int b = blocksPerFrame;
    if (b < 1 || b > BlocksPerRow || frameCount < 1)
        return false;
    const int rows = std::min(TitleRows(), Rows);
    int runs = 0;
    for (int r = 0; r < rows; ++r) {
        int p = 0;
        while (BlocksPerRow - p >= b) {
            int used = -1;
            for (int k = p; k < p + b && used < 0; ++k)
                if (record(r, k).usage != BlockUsage::Empty)
                    used = k;
            if (used >= 0) {
                p = used + 1;
                continue;
            }
            if (++runs == frameCount)
                return true;
            p += b;
        }
    }
    return false;
}

void DeviceMemoryMirror::CheckFreeMemory()
{
    TitleList &list = m_services.list;
    for (int i = 1; i <= list.count(); ++i) {
        TitleEntry &e = list.at(i);
        if (e.Attributes.memoryNo() != MemoryNo::NotStored)
            continue;
        const bool noRoom = !fits(e.Attributes.blocksPerFrame(), e.Attributes.frameCount());
        if (noRoom != e.NoRoom) {
            e.NoRoom = noRoom;
            list.notifyRowChanged(i);
        }
    }
}

bool DeviceMemoryMirror::IsInList(std::uint16_t memoryNo) const
{
    return m_services.list.IsInList(memoryNo);
}

bool DeviceMemoryMirror::sendClear(std::uint16_t value)
{
    return m_link && DeviceCommands(*m_link).MemoryOperation(value, DeviceRequest::MemoryOp::Clear);
}

bool DeviceMemoryMirror::ClearTitle(std::uint16_t memoryNo, bool includeProtected)
{
    if (memoryNo >= MemoryNo::FirstClip)
        return false;
    TitleList &list = m_services.list;
    const std::optional<int> index = list.FindByMemoryNo(memoryNo);
    if (!index)
        return false;
    TitleAttributes &a = list.at(*index).Attributes;
    if (!includeProtected && a.protect())
        return false;
    if (memoryNo == list.OnAirMemoryNo()) {
        ShowMessageById(m_services.boxes, kCaptionError, kMsgKeyerBusy, MsgError);
        return false;
    }
    if (!sendClear(memoryNo))
        return false;
    a.setMemoryNo(MemoryNo::NotStored);
    a.setDeviceWord(0);
    list.notifyRowChanged(*index);
    return true;
}

bool DeviceMemoryMirror::ClearAll(std::uint16_t code, bool confirm)
{
    if (!connected())
        return false;
    if (m_services.keyer.IsDskBusy()) {
        ShowMessageById(m_services.boxes, kCaptionError, kMsgKeyerBusy, MsgError);
        return false;
    }
    const int question = code == MemoryNo::AllMemory       ? kMsgClearAllMemory
                         : code == MemoryNo::AllListTitles ? kMsgClearAllTitles
                                                           : 0;
    if (confirm && question != 0 &&
        ShowMessageById(m_services.boxes, kCaptionClearConfirm, question, MsgExclamationYesNo) !=
            IdYes)
        return false;

    TitleList &list = m_services.list;
    if (code == MemoryNo::AllListTitles) {
        std::vector<std::uint16_t> numbers;
        for (int i = 1; i <= list.count(); ++i)
            numbers.push_back(list.at(i).Attributes.memoryNo());
        for (const std::uint16_t memoryNo : numbers)
            ClearTitle(memoryNo, false);
        return true;
    }
    if (code != MemoryNo::AllIntVideo && code != MemoryNo::AllMemory)
        return false;
    if (!sendClear(code))
        return false;
    if (code == MemoryNo::AllMemory)
        markAllNotStored();
    dropIntVideoIcons();
    return true;
}

bool DeviceMemoryMirror::ClearArea(std::uint16_t memoryNo)
{
    const std::optional<BlockUsage> usage = usageOf(memoryNo);
    if (!usage)
        return false;
    const bool clip = *usage == BlockUsage::UsedIntVideo;
    const bool listTitle = !clip && IsInList(memoryNo);
    const int question = listTitle ? kMsgClearTitleArea
                         : clip    ? kMsgClearClipArea
                                   : kMsgClearUnknownArea;
    if (ShowMessageById(m_services.boxes, kCaptionClearConfirm, question, MsgExclamationYesNo) !=
        IdYes)
        return false;
    if (listTitle)
        return ClearTitle(memoryNo, true);
    if (clip) {
        for (auto it = m_intVideoIcons.begin(); it != m_intVideoIcons.end();)
            it = it.key().first == memoryNo ? m_intVideoIcons.erase(it) : std::next(it);
    }
    return sendClear(memoryNo);
}

bool DeviceMemoryMirror::ClearSelectedTitles()
{
    if (!connected() || m_services.list.SelectionCount() == 0)
        return false;
    if (ShowMessageById(m_services.boxes, kCaptionClearConfirm, kMsgClearSelected,
                        MsgExclamationYesNo) != IdYes)
        return false;
    TitleList &list = m_services.list;
    std::vector<std::uint16_t> numbers;
    for (const int i : list.selectedIndexes())
        numbers.push_back(list.at(i).Attributes.memoryNo());
    bool cleared = false;
    for (const std::uint16_t memoryNo : numbers)
        cleared = ClearTitle(memoryNo, false) || cleared;
    return cleared;
}

void DeviceMemoryMirror::markAllNotStored()
{
    TitleList &list = m_services.list;
    for (int i = 1; i <= list.count(); ++i) {
        TitleAttributes &a = list.at(i).Attributes;
        if (a.memoryNo() == MemoryNo::NotStored && a.deviceWord() == 0)
            continue;
        a.setMemoryNo(MemoryNo::NotStored);
        a.setDeviceWord(0);
        list.notifyRowChanged(i);
    }
}

void DeviceMemoryMirror::deviceConnected(const EnvironmentSettings &environment)
{
    ResetMemoryMirror();
    if (!environment.ClearMemory)
        return;
    if (environment.ClearKeepData) {
        ClearAll(MemoryNo::AllMemory, false);
    } else {
        ClearAll(MemoryNo::AllListTitles, false);
        ClearAll(MemoryNo::AllIntVideo, false);
    }
}

void DeviceMemoryMirror::deviceDisconnected()
{
    ResetMemoryMirror();
}

void DeviceMemoryMirror::ApplyVideoFormat(int signal)
{
    m_format = &VideoFormatParams::forSignal(signal);
    const int lastFrame = m_format->framesPerSecond - 1;
    DefaultTitleSettings &d = m_services.defaults;
    for (std::uint8_t *frame :
         {&d.StillDurFrame, &d.MovieDurFrame, &d.InEffTimeFrame, &d.OutEffTimeFrame})
        if (*frame > lastFrame)
            *frame = 0;
}

void DeviceMemoryMirror::renderThumbnails()
{
    // Every title is drawn again from its icon frame for the new screen shape;
    // the pictures are read on worker threads while the window stays alive.
    TitleList &list = m_services.list;
    const int n = list.count();
    if (n == 0)
        return;
    const std::size_t count = std::size_t(n);
    std::vector<std::optional<Bitmap>> drawn(count);
    std::vector<QString> files(count);
    std::vector<std::pair<int, int>> positions(count);
    for (int i = 1; i <= n; ++i) {
        const TitleEntry &e = list.at(i);
        const int icon = std::clamp(e.IconFrame, 1, std::max(1, int(e.FileList.size())));
        files[std::size_t(i - 1)] = e.FileList.value(icon - 1);
        positions[std::size_t(i - 1)] = {e.Attributes.positionX(), e.Attributes.positionY()};
    }
    const VideoFormatParams &format = videoFormat();
    const bool wide = aspect16x9();
    ImageLibrary &images = m_services.images;
    ParallelWork::run(m_services.waits, n, [&](int k) {
        const std::size_t i = std::size_t(k);
        if (files[i].isEmpty())
            return;
        const std::optional<Bitmap> picture = images.load(files[i]);
        if (!picture || picture->isNull())
            return;
        drawn[i] =
            Thumbnail::rendered(picture->bitsPerPixel() == 32 ? *picture : picture->converted(32),
                                positions[i].first, positions[i].second, format, wide);
    });
    // The list may have changed while the pictures were read: only titles
    // still there, with the same file, take their new picture.
    for (int i = 1; i <= std::min(n, list.count()); ++i) {
        const std::size_t k = std::size_t(i - 1);
        TitleEntry &e = list.at(i);
        if (!e.FileList.contains(files[k]))
            continue;
        if (drawn[k]) {
            e.Thumbnail = *drawn[k];
            list.notifyRowChanged(i);
        } else if (!files[k].isEmpty()) {
            ShowMessageById(m_services.boxes, kCaptionError, kMsgThumbnailFailed, MsgError,
                            {QFileInfo(files[k]).fileName()});
        }
    }
}
