#pragma once

#include "core/VideoFormatParams.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

class DeviceCli;
class MessageBoxes;

// A list file as the device sub-commands use it: its titles are loaded
// keeping their device fields (MemoryNo, DeviceWord) and brought into line
// with the connected mixer's memory, so that a title whose slot now holds
// something else counts as not stored. Afterwards the device fields can be
// written back into the file, every other byte of it unchanged.
class DeviceListFile
{
public:
    // Reads the list (messages 87, 91, 89 and, per title, 86 and 88 on standard
    // error) for the mixer cli is connected to, and resynchronises its titles
    // with it. False when the file cannot be read at all.
    bool open(DeviceCli &cli, const QString &path);

    // The connected mixer's memory map (1024 bytes with a good magic), when it can be read.
    static std::optional<QByteArray> readMemoryMap(DeviceCli &cli);
    // The video format of the map; the last one the program saw (the memory
    // setting) without one.
    static const VideoFormatParams &formatOf(const std::optional<QByteArray> &map, DeviceCli &cli);

    TitleList &list() { return m_list; }
    ImageLibrary &images() { return m_images; }
    const VideoFormatParams &format() const { return *m_format; }
    // Records of the file (1-based) and how many of them did not load.
    int recordCount() const { return m_recordCount; }
    int failedCount() const { return m_recordCount - m_list.count(); }
    // The list index of a record, when that record loaded.
    std::optional<int> indexOfRecord(int record) const;
    int recordOfIndex(int index) const { return m_records.at(std::size_t(index - 1)); }

    // Writes the MemoryNo and DeviceWord of every loaded title into its record
    // and replaces the file through a temporary file (nothing when nothing changed).
    // Message 91 when the file cannot be replaced.
    bool writeDeviceFields(MessageBoxes &boxes);

private:
    QString m_path;
    QByteArray m_bytes;
    int m_recordCount = 0;
    std::vector<int> m_records; // record number of list index 1..N
    TitleList m_list;
    MagickImageLibrary m_images;
    const VideoFormatParams *m_format = &VideoFormatParams::ntsc();
};
