#pragma once

#include "core/Settings.h"
#include "core/VideoFormatParams.h"
#include "imaging/MagickImageLibrary.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/KeyerState.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class DeviceCli;
class MessageBoxes;

// The connected mixer's memory as the device sub-commands see it, and the
// list file they work on, if any. The memory mirror starts from the memory
// setting the program last saw and takes one map read from the mixer, as the
// window's mirror does on connecting. A list's titles are loaded keeping
// their device fields (MemoryNo, DeviceWord) and brought into line with the
// mixer, so that a title whose slot now holds something else counts as not
// stored. Afterwards the device fields can be written back into the file,
// every other byte of it unchanged.
class DeviceListFile
{
public:
    DeviceListFile();
    ~DeviceListFile();

    // Reads the mixer's memory map once into the mirror and keeps the setting
    // it shows as the one last seen. False when no map came (the mirror keeps
    // the last setting's format).
    bool readMixer(DeviceCli &cli);
    bool mapRead() const { return m_mapRead; }

    // Reads the map, then the list (messages 87, 91, 89 and, per title, 86
    // and 88 on standard error) for that mixer, and resynchronises its titles
    // with it. False when the file cannot be read at all.
    bool open(DeviceCli &cli, const QString &path);
    // For the keyer's commands: connects to the mixer (refused in its
    // setup-data mode), opens the list and finds the title of record `order`:
    // its list index, or nothing with the reason on standard error.
    std::optional<int> openForKeyer(DeviceCli &cli, const QString &path, int order);

    TitleList &list() { return m_list; }
    ImageLibrary &images() { return m_images; }
    DeviceMemoryMirror &mirror() { return *m_mirror; }
    KeyerState &keyer() { return m_keyer; }
    const VideoFormatParams &format() const { return m_mirror->videoFormat(); }
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
    KeyerState m_keyer{m_list};
    DefaultTitleSettings m_defaults;
    std::unique_ptr<DeviceMemoryMirror> m_mirror;
    bool m_mapRead = false;
};
