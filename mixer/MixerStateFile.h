#pragma once

#include "mixer/MixerDevice.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLockFile>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

class VirtualMixer;

// The file that keeps a virtual mixer's memory from one run to the next, as a
// powered mixer keeps it: the memory setting, the stored titles and clips
// (headers, device words, protection, pixels), the setup-data mode and block,
// the faults still armed and the link rate. While open, the file is locked (FILE.lock) so
// that a second program cannot use the same mixer, and it is written back
// after every completed transfer into the mixer, every clear or protect, and
// on closing, each time replaced whole through SafeFileWriter.
//
// The layout (version 4), little-endian throughout:
//   "TDVMIXER", u32 version,
//   u8 signal, u8 aspect, u8 title rows, u8 setup-data mode, u32 device word state,
//   nine i32 faults (status answers, status, failed requests, bulk stall, short
//   and unplug byte counts, bad map magics, shifted read-back line, malformed lines),
//   u32 link rate in bytes per second and i32 the request the status fault is
//   for (-1: any); neither is in version 1, whose files are read with an
//   unlimited link (they were written by a mixer without one) and -1,
//   9 u8 panel key codes (0xFF: no key; not in versions 1 and 2, read as none),
//   four i32 keyer faults (lines before the mixer leaves the bus, -1 none; the
//   delay after them in ms; "out end" lines dropped; lines with a foreign
//   memory number), not in versions 1 to 3, read as none,
//   u32 setup-data size, the setup data,
//   u32 item count, per item: u16 memory number, u8 flags (1 clip, 2 protected,
//     4 header written), u8 blocks per frame, u32 device word, u16 frame count,
//     frame count x (u8 row, u8 block), the 40-byte header,
//   u32 row count, per row: u8 row index, the row's pixels,
//   u32 size (0 or 34) and the last serial command block taken (not in
//     versions 1 and 2),
//   u32 CRC-32 of everything before it.
class MixerStateFile
{
public:
    // A new file's link rate: a real USB 2.0 mixer's, so that rehearsals take a show's time.
    static constexpr std::uint32_t NewFileLinkRate = 35'000'000;

    // Locks path and loads the mixer from it when it exists (creating it, at
    // NewFileLinkRate, when not). Nothing, with why set, when the file is in use, damaged, foreign
    // or cannot be written; the file is then left as it is.
    static std::unique_ptr<MixerStateFile> open(const QString &path, VirtualMixer &mixer,
                                                QString *why);
    // Writes the mixer back, then unlocks.
    ~MixerStateFile();

    MixerStateFile(const MixerStateFile &) = delete;
    MixerStateFile &operator=(const MixerStateFile &) = delete;

    QString path() const { return m_path; }
    bool save(QString *why = nullptr);

    static QByteArray encode(const MixerDevice::Snapshot &snapshot);
    // Nothing, with why set, for bytes that are not a whole state file of a
    // version this program reads.
    static std::optional<MixerDevice::Snapshot> decode(QByteArrayView bytes, QString *why);
    static quint32 checksum(QByteArrayView bytes);

private:
    MixerStateFile(const QString &path, VirtualMixer &mixer);

    QString m_path;
    VirtualMixer &m_mixer;
    QLockFile m_lock;
    int m_listenerId = 0;
    std::mutex m_saveMutex;
};
