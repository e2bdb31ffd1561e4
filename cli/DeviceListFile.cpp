#include "DeviceListFile.h"

#include "DeviceCli.h"
#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "device/ListDeviceClient.h"
#include "device/TThreadReadWrite.h"
#include "list/ListFile.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr int kMapBytes = 1024;
constexpr int kMapPauseMs = 200;
// Where the device word lies in the 40-byte title record.
constexpr int kDeviceWordOffset = 36;

} // namespace

const VideoFormatParams &DeviceListFile::mixerFormat(DeviceCli &cli)
{
    DeviceLink &link = cli.link();
    DeviceCommands commands(link);
    const std::optional<QByteArray> go = commands.BeginMemoryMapRead(false);
    if (go && !go->isEmpty() && go->at(0) != 0) {
        link.waits().pause(kMapPauseMs);
        std::vector<std::uint8_t> map(kMapBytes);
        const std::uint32_t got =
            TThreadReadWrite::Run(link, link.ReadPipe(), link.readSide(), map.data(), kMapBytes,
                                  TThreadReadWrite::ModeRead);
        if (got == std::uint32_t(kMapBytes) && map[0] == 0xFE && map[1] == 0xFF && map[2] == 0xFC &&
            map[3] == 0xFD)
            return VideoFormatParams::forSignal(map[4]);
        if (got != std::uint32_t(kMapBytes)) {
            commands.CancelTransfer(false);
            link.waits().pause(kMapPauseMs);
            link.ResetDevice();
            link.waits().pause(kMapPauseMs);
        }
    }
    SettingsStore &store = cli.settings();
    store.beginGroup(QStringLiteral("MemorySetting"));
    const int signal = store.ReadIntegerDefault(QStringLiteral("Signal"), 0);
    store.endGroup();
    return VideoFormatParams::forSignal(signal);
}

bool DeviceListFile::open(DeviceCli &cli, const QString &path)
{
    m_path = path;
    const std::optional<std::vector<ListRecord>> records =
        ListFile::readRecords(path, true, cli.boxes());
    if (!records)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowMessageById(cli.boxes(), 1, 91, MsgError);
        return false;
    }
    m_bytes = file.readAll();
    m_recordCount = int(records->size());
    if (m_bytes.size() < qsizetype(m_recordCount) * ListRecord::ListSize) {
        ShowMessageById(cli.boxes(), 1, 89, MsgError);
        return false;
    }
    m_format = &mixerFormat(cli);
    for (int i = 0; i < m_recordCount; ++i) {
        const ListRecord &record = (*records)[std::size_t(i)];
        TitleEntry entry = TitleEntry::create();
        const ListFile::LoadResult result =
            ListFile::prepareTitleRecord(entry, record, true, *m_format, m_images);
        if (result != ListFile::LoadResult::Loaded) {
            ListFile::reportLoadResult(result, record.FirstFile, cli.boxes());
            continue;
        }
        m_list.insert(m_list.count() + 1, std::move(entry));
        m_records.push_back(i + 1);
    }
    ListDeviceClient::ResyncDeviceTitles(m_list, cli.link());
    return true;
}

std::optional<int> DeviceListFile::indexOfRecord(int record) const
{
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i] == record)
            return int(i) + 1;
    }
    return std::nullopt;
}

bool DeviceListFile::writeDeviceFields(MessageBoxes &boxes)
{
    QByteArray bytes = m_bytes;
    for (int index = 1; index <= m_list.count(); ++index) {
        const TitleAttributes &a = m_list.at(index).Attributes;
        char *record = bytes.data() + qsizetype(recordOfIndex(index) - 1) * ListRecord::ListSize +
                       ListRecord::AttributesOffset;
        qToLittleEndian<quint16>(a.memoryNo(), record);
        qToLittleEndian<quint32>(a.deviceWord(), record + kDeviceWordOffset);
    }
    if (bytes == m_bytes)
        return true;
    if (!ListFile::replaceFileContents(m_path, bytes)) {
        ShowMessageById(boxes, 1, 91, MsgError);
        return false;
    }
    m_bytes = bytes;
    return true;
}
