#include "DeviceListFile.h"

#include "DeviceCli.h"
#include "core/MemorySetting.h"
#include "device/BulkInTransfer.h"
#include "device/DeviceLink.h"
#include "device/ListDeviceClient.h"
#include "list/ListFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {
// Where the device word lies in the 40-byte title record.
constexpr int kDeviceWordOffset = 36;
} // namespace

DeviceListFile::DeviceListFile() = default;
DeviceListFile::~DeviceListFile() = default;

bool DeviceListFile::readMixer(DeviceCli &cli)
{
    const MemorySetting lastSeen = ReadMemorySetting(cli.settings());
    m_mirror = std::make_unique<DeviceMemoryMirror>(
        DeviceMemoryMirror::Services{m_list, m_keyer, cli.boxes(), m_images, cli.waits(),
                                     m_defaults},
        lastSeen);
    m_mirror->setLink(&cli.link());
    BulkInTransfer bulkIn(cli.link(), m_images);
    // A rejected map resets the mixer and asks it to resynchronise, as the
    // window's next refresh would: one more read then.
    const auto sink = [this](const QByteArray &map) { return m_mirror->ApplyMemoryMap(map); };
    m_mapRead = bulkIn.ReadMemoryMap(sink) ||
                (cli.link().readSide().MapResync && bulkIn.ReadMemoryMap(sink));
    // The next start, of the window or of a command, compares with what was seen now.
    if (m_mapRead && !(m_mirror->memorySetting() == lastSeen)) {
        WriteMemorySetting(cli.settings(), m_mirror->memorySetting());
        cli.settings().sync();
    }
    return m_mapRead;
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
    readMixer(cli);
    for (int i = 0; i < m_recordCount; ++i) {
        const ListRecord &record = (*records)[std::size_t(i)];
        TitleEntry entry = TitleEntry::create();
        const ListFile::LoadResult result =
            ListFile::prepareTitleRecord(entry, record, true, format(), m_images);
        if (result != ListFile::LoadResult::Loaded) {
            ListFile::reportLoadResult(result, record.FirstFile, cli.boxes());
            continue;
        }
        m_list.insert(m_list.count() + 1, std::move(entry));
        m_records.push_back(i + 1);
    }
    // A memory number the device holds nothing under (it was cleared since)
    // is not asked for its header: the map tells it is free.
    if (m_mapRead) {
        for (int i = 1; i <= m_list.count(); ++i) {
            TitleAttributes &a = m_list.at(i).Attributes;
            if (a.memoryNo() != MemoryNo::NotStored && !m_mirror->usageOf(a.memoryNo())) {
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

std::optional<int> DeviceListFile::openForKeyer(DeviceCli &cli, const QString &path, int order)
{
    if (!cli.connect())
        return std::nullopt;
    if (cli.link().SetupDataMode()) {
        DeviceCli::fail(QStringLiteral("the mixer is in setup-data mode"));
        return std::nullopt;
    }
    if (!open(cli, QFileInfo(path).absoluteFilePath()))
        return std::nullopt;
    const std::optional<int> index = indexOfRecord(order);
    if (!index)
        DeviceCli::fail(QStringLiteral("the list has no title %1").arg(order));
    return index;
}
