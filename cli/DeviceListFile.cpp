#include "DeviceListFile.h"

#include "DeviceCli.h"
#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "device/ListDeviceClient.h"
#include "device/TThreadReadWrite.h"
#include "list/ListFile.h"

#include <QFile>
#include <QSet>
#include <QtEndian>

namespace {

constexpr int kMapBytes = 1024;
constexpr int kMapPauseMs = 200;
constexpr int kSignalOffset = 4;
constexpr int kRecordsOffset = 8;
constexpr int kMapRecords = 240;
// Where the device word lies in the 40-byte title record.
constexpr int kDeviceWordOffset = 36;

} // namespace

std::optional<QByteArray> DeviceListFile::readMemoryMap(DeviceCli &cli)
{
    DeviceLink &link = cli.link();
    DeviceCommands commands(link);
    const std::optional<QByteArray> go = commands.BeginMemoryMapRead(false);
    if (!go || go->isEmpty() || go->at(0) == 0)
        return std::nullopt;
    link.waits().pause(kMapPauseMs);
    QByteArray map(kMapBytes, '\0');
    const std::uint32_t got = TThreadReadWrite::Run(link, link.ReadPipe(), link.readSide(),
                                                    reinterpret_cast<std::uint8_t *>(map.data()),
                                                    kMapBytes, TThreadReadWrite::ModeRead);
    if (got != std::uint32_t(kMapBytes)) {
        commands.CancelTransfer(false);
        link.waits().pause(kMapPauseMs);
        link.ResetDevice();
        link.waits().pause(kMapPauseMs);
        return std::nullopt;
    }
    if (!map.startsWith(QByteArray("\xFE\xFF\xFC\xFD", 4)))
        return std::nullopt;
    return map;
}

const VideoFormatParams &DeviceListFile::formatOf(const std::optional<QByteArray> &map,
                                                  DeviceCli &cli)
{
    if (map)
        return VideoFormatParams::forSignal(map->at(kSignalOffset));
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
    const std::optional<QByteArray> map = readMemoryMap(cli);
    m_format = &formatOf(map, cli);
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
    // A memory number the device holds nothing under (it was cleared since)
    // is not asked for its header: the map tells it is free.
    if (map) {
        QSet<std::uint16_t> held;
        for (int k = 0; k < kMapRecords; ++k) {
            const char *record = map->constData() + kRecordsOffset + k * 4;
            if (record[0] != 0)
                held.insert(qFromLittleEndian<quint16>(record + 2));
        }
        for (int i = 1; i <= m_list.count(); ++i) {
            TitleAttributes &a = m_list.at(i).Attributes;
            if (a.memoryNo() != MemoryNo::NotStored && !held.contains(a.memoryNo())) {
                a.setMemoryNo(MemoryNo::NotStored);
                a.setDeviceWord(0);
            }
        }
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
