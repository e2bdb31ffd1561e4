#include "mixer/MixerStateFile.h"

#include "core/SafeFileWriter.h"
#include "mixer/VirtualMixer.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <array>
#include <cstring>

namespace {

constexpr char Magic[8] = {'T', 'D', 'V', 'M', 'I', 'X', 'E', 'R'};
constexpr quint32 Version = 4;
constexpr int FaultCount = 9;
// Room for every row's pixels and every block's bookkeeping; anything larger
// is not a state file.
constexpr qint64 MaxFileSize = MixerMemory::MaxRows * (MixerMemory::RowBytes + 1) + (1 << 20);

constexpr std::array<quint32, 256> crcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

class Writer
{
public:
    void u8(int v) { m_bytes.append(char(v)); }
    void u16(quint16 v) { put(qToLittleEndian(v)); }
    void u32(quint32 v) { put(qToLittleEndian(v)); }
    void i32(qint32 v) { put(qToLittleEndian(v)); }
    void bytes(const QByteArray &b) { m_bytes.append(b); }
    QByteArray &data() { return m_bytes; }

private:
    template<class T> void put(T v)
    {
        m_bytes.append(reinterpret_cast<const char *>(&v), sizeof v);
    }
    QByteArray m_bytes;
};

// Reads fields in order; once a read runs past the end every later read
// gives 0 and ok() stays false.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_pos == m_bytes.size(); }
    int u8() { return take(1) ? uchar(m_bytes[m_pos - 1]) : 0; }
    quint16 u16() { return take(2) ? qFromLittleEndian<quint16>(at(2).data()) : 0; }
    quint32 u32() { return take(4) ? qFromLittleEndian<quint32>(at(4).data()) : 0; }
    qint32 i32() { return take(4) ? qFromLittleEndian<qint32>(at(4).data()) : 0; }
    QByteArray bytes(qsizetype n) { return take(n) ? at(n).toByteArray() : QByteArray(); }

private:
    bool take(qsizetype n)
    {
        m_ok = m_ok && n >= 0 && n <= m_bytes.size() - m_pos;
        if (m_ok)
            m_pos += n;
        return m_ok;
    }
    QByteArrayView at(qsizetype n) const { return m_bytes.sliced(m_pos - n, n); }

    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

std::array<qint32, FaultCount> faultFields(const MixerDevice::Faults &f)
{
    return {f.statusAnswers,   f.status,           f.failedRequests, f.bulk.stallAfter,
            f.bulk.shortAfter, f.bulk.unplugAfter, f.badMapMagic,    f.shiftedReadBackLine,
            f.malformedLines};
}

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

quint32 MixerStateFile::checksum(QByteArrayView bytes)
{
    static constexpr std::array<quint32, 256> table = crcTable();
    quint32 c = 0xFFFFFFFFu;
    for (const char b : bytes)
        c = table[(c ^ uchar(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray MixerStateFile::encode(const MixerDevice::Snapshot &s)
{
    Writer w;
    w.bytes(QByteArray(Magic, sizeof Magic));
    w.u32(Version);
    w.u8(s.memory.signal);
    w.u8(s.aspect);
    w.u8(s.memory.titleRows);
    w.u8(s.setupDataMode ? 1 : 0);
    w.u32(s.memory.wordState);
    for (const qint32 field : faultFields(s.faults))
        w.i32(field);
    w.u32(s.linkRate);
    w.i32(s.faults.statusRequest);
    for (const std::uint8_t code : s.keyCodes)
        w.u8(code);
    for (const qint32 field : {s.faults.leaveAfterLines, s.faults.leaveDelayMs,
                               s.faults.droppedOutEnds, s.faults.foreignNumbers})
        w.i32(field);
    w.u32(quint32(s.setupData.size()));
    w.bytes(s.setupData);
    w.u32(quint32(s.memory.items.size()));
    for (const MixerStoredItem &item : s.memory.items) {
        const MixerItemInfo &i = item.info;
        w.u16(i.memoryNo);
        w.u8((i.clip ? 1 : 0) | (i.isProtected ? 2 : 0) | (i.headerWritten ? 4 : 0));
        w.u8(i.blocksPerFrame);
        w.u32(i.deviceWord);
        w.u16(quint16(i.places.size()));
        for (const MixerFramePlace &place : i.places) {
            w.u8(place.row);
            w.u8(place.block);
        }
        w.bytes(item.header);
    }
    w.u32(quint32(s.memory.rows.size()));
    for (auto it = s.memory.rows.cbegin(); it != s.memory.rows.cend(); ++it) {
        w.u8(it.key());
        w.bytes(*it);
    }
    w.u32(quint32(s.lastSerialCommand.size()));
    w.bytes(s.lastSerialCommand);
    w.u32(checksum(w.data()));
    return w.data();
}

std::optional<MixerDevice::Snapshot> MixerStateFile::decode(QByteArrayView bytes, QString *why)
{
    if (bytes.size() < qsizetype(sizeof Magic) + 4 ||
        std::memcmp(bytes.data(), Magic, sizeof Magic) != 0) {
        fail(why, QStringLiteral("not a virtual mixer state file"));
        return std::nullopt;
    }
    Reader r(bytes.first(bytes.size() - 4));
    r.bytes(sizeof Magic);
    const quint32 version = r.u32();
    if (version < 1 || version > Version) {
        fail(why, QStringLiteral("version %1, which this program does not read").arg(version));
        return std::nullopt;
    }
    if (checksum(bytes.first(bytes.size() - 4)) !=
        qFromLittleEndian<quint32>(bytes.data() + bytes.size() - 4)) {
        fail(why, QStringLiteral("damaged: its checksum does not match"));
        return std::nullopt;
    }

    MixerDevice::Snapshot s;
    s.memory.signal = std::uint8_t(r.u8());
    s.aspect = std::uint8_t(r.u8());
    s.memory.titleRows = r.u8();
    const int setupMode = r.u8();
    s.memory.wordState = r.u32();
    std::array<qint32, FaultCount> f{};
    for (qint32 &field : f)
        field = r.i32();
    s.faults.statusAnswers = f[0];
    s.faults.status = std::uint8_t(f[1]);
    s.faults.failedRequests = f[2];
    s.faults.bulk = {f[3], f[4], f[5]};
    s.faults.badMapMagic = f[6];
    s.faults.shiftedReadBackLine = f[7];
    s.faults.malformedLines = f[8];
    if (version >= 2) {
        s.linkRate = r.u32();
        s.faults.statusRequest = r.i32();
    }
    if (version >= 3)
        for (std::uint8_t &code : s.keyCodes)
            code = std::uint8_t(r.u8());
    if (version >= 4) {
        s.faults.leaveAfterLines = r.i32();
        s.faults.leaveDelayMs = r.i32();
        s.faults.droppedOutEnds = r.i32();
        s.faults.foreignNumbers = r.i32();
    }
    bool faultsOk = setupMode <= 1 && f[1] >= 0 && f[1] <= 1 && s.faults.statusRequest >= -1 &&
                    s.faults.statusRequest <= 0xFF;
    for (int k : {0, 2, 6, 8})
        faultsOk = faultsOk && f[size_t(k)] >= 0;
    for (int k : {3, 4, 5, 7})
        faultsOk = faultsOk && f[size_t(k)] >= -1;
    faultsOk = faultsOk && s.faults.leaveAfterLines >= -1 && s.faults.leaveDelayMs >= 0 &&
               s.faults.droppedOutEnds >= 0 && s.faults.foreignNumbers >= 0;
    s.setupDataMode = setupMode == 1;
    const quint32 setupSize = r.u32();
    if (!r.ok() || !faultsOk || setupSize != quint32(MixerDevice::SetupDataSize)) {
        fail(why, QStringLiteral("damaged settings"));
        return std::nullopt;
    }
    s.setupData = r.bytes(setupSize);

    // Every block holds at most one item, and every frame takes a block.
    const quint32 itemCount = r.u32();
    if (itemCount > quint32(MixerMemory::MaxRows * MixerMemory::BlocksPerRow)) {
        fail(why, QStringLiteral("a damaged item count"));
        return std::nullopt;
    }
    for (quint32 n = 0; n < itemCount && r.ok(); ++n) {
        MixerStoredItem item;
        MixerItemInfo &i = item.info;
        i.memoryNo = r.u16();
        const int flags = r.u8();
        i.clip = flags & 1;
        i.isProtected = flags & 2;
        i.headerWritten = flags & 4;
        i.blocksPerFrame = r.u8();
        i.deviceWord = r.u32();
        i.frameCount = r.u16();
        if (flags > 7 || i.frameCount > MixerMemory::MaxRows * MixerMemory::BlocksPerRow) {
            fail(why, QStringLiteral("a damaged item %1").arg(n));
            return std::nullopt;
        }
        for (int k = 0; k < i.frameCount; ++k) {
            const int row = r.u8();
            i.places.append({row, r.u8()});
        }
        item.header = r.bytes(MixerMemory::HeaderSize);
        s.memory.items.append(item);
    }
    const quint32 rowCount = r.u32();
    if (rowCount > quint32(MixerMemory::MaxRows)) {
        fail(why, QStringLiteral("a damaged row count"));
        return std::nullopt;
    }
    for (quint32 n = 0; n < rowCount && r.ok(); ++n) {
        const int row = r.u8();
        if (s.memory.rows.contains(row)) {
            fail(why, QStringLiteral("row %1 twice").arg(row));
            return std::nullopt;
        }
        s.memory.rows.insert(row, r.bytes(MixerMemory::RowBytes));
    }
    if (version >= 3) {
        const quint32 serialSize = r.u32();
        if (serialSize != 0 && serialSize != 34) {
            fail(why, QStringLiteral("a damaged serial command block"));
            return std::nullopt;
        }
        s.lastSerialCommand = r.bytes(serialSize);
    }
    if (!r.ok() || !r.atEnd()) {
        fail(why, QStringLiteral("truncated, or bytes past its end"));
        return std::nullopt;
    }
    return s;
}

MixerStateFile::MixerStateFile(const QString &path, VirtualMixer &mixer)
    : m_path(path), m_mixer(mixer), m_lock(path + QStringLiteral(".lock"))
{
    // A lock left by a program that died is taken over; a live holder's never.
    m_lock.setStaleLockTime(0);
}

std::unique_ptr<MixerStateFile> MixerStateFile::open(const QString &path, VirtualMixer &mixer,
                                                     QString *why)
{
    std::unique_ptr<MixerStateFile> file(new MixerStateFile(path, mixer));
    const QString name = QFileInfo(path).absoluteFilePath();
    if (!file->m_lock.tryLock(0)) {
        fail(why,
             file->m_lock.error() == QLockFile::LockFailedError
                 ? QStringLiteral("the virtual mixer's state file is in use by another "
                                  "program: %1")
                       .arg(name)
                 : QStringLiteral("the virtual mixer's state file cannot be locked: %1").arg(name));
        return nullptr;
    }
    QFile in(path);
    if (in.exists()) {
        QString reason;
        std::optional<MixerDevice::Snapshot> snapshot;
        if (!in.open(QIODevice::ReadOnly))
            reason = in.errorString();
        else if (in.size() > MaxFileSize)
            reason = QStringLiteral("too large for a state file");
        else if (!(snapshot = decode(in.readAll(), &reason)))
            ;
        else if (!mixer.restore(*snapshot))
            reason = QStringLiteral("its memory does not hold together");
        if (!reason.isEmpty()) {
            fail(why, QStringLiteral("the virtual mixer's state file %1 cannot be used (%2); it "
                                     "was left as it is")
                          .arg(name, reason));
            return nullptr;
        }
    } else {
        // Created now, so that a folder that cannot be written shows at once.
        mixer.setLinkRate(NewFileLinkRate);
        QString reason;
        if (!file->save(&reason)) {
            fail(why, QStringLiteral("the virtual mixer's state file %1 cannot be written: %2")
                          .arg(name, reason));
            return nullptr;
        }
    }
    MixerStateFile *self = file.get();
    file->m_listenerId = mixer.addListener([self](VirtualMixer::Change change) {
        QString reason;
        if (change == VirtualMixer::Change::Stored && !self->save(&reason))
            qWarning("the virtual mixer's state file %s could not be written: %s",
                     qPrintable(self->m_path), qPrintable(reason));
    });
    return file;
}

MixerStateFile::~MixerStateFile()
{
    if (m_listenerId == 0)
        return; // never opened: the file is not ours to write
    m_mixer.removeListener(m_listenerId);
    QString reason;
    if (!save(&reason))
        qWarning("the virtual mixer's state file %s could not be written: %s", qPrintable(m_path),
                 qPrintable(reason));
}

bool MixerStateFile::save(QString *why)
{
    std::lock_guard guard(m_saveMutex);
    return SafeFileWriter::replace(m_path, encode(m_mixer.snapshot()), why);
}
