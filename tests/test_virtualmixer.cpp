#include "core/Waits.h"
#include "mixer/MixerEventQueue.h"
#include "mixer/MixerRequests.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "mixer/VirtualMixerIds.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <chrono>
#include <future>

using namespace std::chrono_literals;

namespace {

constexpr int Piece = 4096;
const QByteArray Marker("\x00\x00\xFD\xFC", 4);

struct HeaderFields
{
    int width = 100;
    int height = 100;
    int blocks = 2;
    int frames = 1;
    int inSeconds = 0;
    int durationSeconds = 0;
    int outSeconds = 0;
    bool autoOut = true;
    std::uint32_t deviceWord = 0;
    bool protect = false;
};

QByteArray makeHeader(const HeaderFields &s)
{
    QByteArray h(40, '\0');
    auto *p = reinterpret_cast<uchar *>(h.data());
    p[2] = s.protect ? 0x80 : 0;
    p[4] = uchar(s.blocks);
    qToLittleEndian<quint16>(quint16(s.frames), p + 6);
    p[13] = uchar(s.durationSeconds);
    p[21] = uchar(s.inSeconds);
    p[24] = s.autoOut ? 1 : 0;
    p[29] = uchar(s.outSeconds);
    qToLittleEndian<quint16>(quint16(s.width), p + 32);
    qToLittleEndian<quint16>(quint16(s.height), p + 34);
    qToLittleEndian<quint32>(s.deviceWord, p + 36);
    return h;
}

QByteArray in(VirtualMixer &m, MixerInRequest r, int value = 0, int index = 0, int len = 2)
{
    return m.controlIn(std::uint8_t(r), std::uint16_t(value), std::uint16_t(index), len)
        .value_or(QByteArray("FAILED"));
}

bool out(VirtualMixer &m, MixerOutRequest r, int value, int index = 0,
         const QByteArray &payload = QByteArray())
{
    return m.controlOut(std::uint8_t(r), std::uint16_t(value), std::uint16_t(index),
                        reinterpret_cast<const std::uint8_t *>(payload.constData()),
                        std::uint16_t(payload.size()));
}

std::uint8_t status(const QByteArray &reply)
{
    return reply.size() == 6 && reply == "FAILED" ? 0xEE : std::uint8_t(reply.at(0));
}

std::pair<std::uint16_t, std::uint32_t> alloc(VirtualMixer &m, int blocks, int frames,
                                              bool protect = false)
{
    const QByteArray r =
        in(m, MixerInRequest::AllocTitleMemory, blocks | (protect ? 0x8000 : 0), frames, 6);
    return {qFromLittleEndian<quint16>(r.constData()),
            qFromLittleEndian<quint32>(r.constData() + 2)};
}

std::uint16_t allocClip(VirtualMixer &m, int frames)
{
    return qFromLittleEndian<quint16>(
        in(m, MixerInRequest::AllocIntVideoMemory, frames, 0, 6).constData());
}

// Reads `size` bytes in pieces as the bulk worker does; stops at the first short piece.
QByteArray readBulk(VirtualMixer &m, int size, TransferResult *last = nullptr)
{
    QByteArray data(size, '\0');
    int done = 0;
    TransferResult r{TransferStatus::Completed, 0};
    while (done < size) {
        const int piece = std::min(Piece, size - done);
        r = m.bulkIn(reinterpret_cast<std::uint8_t *>(data.data()) + done, piece, 200);
        done += r.transferred;
        if (!r.ok() || r.transferred != piece)
            break;
    }
    if (last)
        *last = r;
    data.truncate(done);
    return data;
}

int writeBulk(VirtualMixer &m, const QByteArray &data, TransferResult *last = nullptr)
{
    int done = 0;
    TransferResult r{TransferStatus::Completed, 0};
    while (done < data.size()) {
        const int piece = std::min<int>(Piece, int(data.size()) - done);
        r = m.bulkOut(reinterpret_cast<const std::uint8_t *>(data.constData()) + done, piece, 200);
        done += r.transferred;
        if (!r.ok() || r.transferred != piece)
            break;
    }
    if (last)
        *last = r;
    return done;
}

// Collects event lines from the interrupt pipe the way the host's event reader joins them.
class EventReader
{
public:
    explicit EventReader(VirtualMixer &m) : m_mixer(m) {}
    // The next complete line (without its carriage return), or empty on time-out.
    QByteArray next(int timeoutMs = 2000)
    {
        QElapsedTimer t;
        t.start();
        while (!m_lines.isEmpty() || t.elapsed() < timeoutMs) {
            if (!m_lines.isEmpty())
                return m_lines.takeFirst();
            std::uint8_t report[64];
            const TransferResult r = m_mixer.interruptIn(report, 64, 20);
            if (!r.ok())
                continue;
            for (int i = 0; i < r.transferred; ++i) {
                if (report[i] == 0)
                    break;
                if (report[i] == '\r')
                    m_lines << std::exchange(m_pending, QByteArray());
                else
                    m_pending.append(char(report[i]));
            }
        }
        return QByteArray();
    }

private:
    VirtualMixer &m_mixer;
    QByteArray m_pending;
    QList<QByteArray> m_lines;
};

} // namespace

class TestVirtualMixer : public QObject
{
    Q_OBJECT

private slots:
    void descriptors();
    void titleAllocationRunsAndExhaustion();
    void numbersWordsAndClips();
    void protectionAndClears();
    void memoryMapBlock();
    void frameWriteAndReadBack();
    void frameWriteRefusals();
    void palGeometry();
    void keyerAutomaticOut();
    void keyerTimeline();
    void keyerManualOutAndStop();
    void keyerPauseAndRefusals();
    void settingChangeBusyAndClears();
    void setupDataMode();
    void diagnosticsAndPanel();
    void statusAndRequestFaults();
    void bulkFaults();
    void readBackAndEventFaults();
    void eventReports();
    void unplugEndsBlockedTransfers();
    void workerAndRequestsTogether();
    void backendAdapter();

private:
    Waits m_waits{0.01};
};

void TestVirtualMixer::descriptors()
{
    VirtualMixer m(m_waits, 1);
    const QByteArray d = m.deviceDescriptor();
    QCOMPARE(d.size(), 18);
    QCOMPARE(qFromLittleEndian<quint16>(d.constData() + 8), VirtualMixerIds::VendorId);
    QCOMPARE(qFromLittleEndian<quint16>(d.constData() + 10), VirtualMixerIds::ProductId);
    const QByteArray c = m.configurationDescriptor();
    QCOMPARE(int(qFromLittleEndian<quint16>(c.constData() + 2)), c.size());
    QCOMPARE(c.size(), 39);
    QCOMPARE(uchar(c[9 + 4]), uchar(3));    // endpoints
    QCOMPARE(uchar(c[9 + 5]), uchar(0xFF)); // vendor class
    // Interrupt in, bulk in, bulk out, in that order.
    const int e = 18;
    QCOMPARE(uchar(c[e + 2]), VirtualMixerIds::EventEndpoint);
    QCOMPARE(uchar(c[e + 3]) & 3, 3);
    QCOMPARE(uchar(c[e + 7 + 2]), VirtualMixerIds::ReadEndpoint);
    QCOMPARE(uchar(c[e + 7 + 3]) & 3, 2);
    QCOMPARE(uchar(c[e + 14 + 2]), VirtualMixerIds::WriteEndpoint);
    QCOMPARE(uchar(c[e + 14 + 3]) & 3, 2);
    QCOMPARE(m.stringDescriptor(0), QByteArray("\x04\x03\x09\x04", 4));
    QVERIFY(m.stringDescriptor(VirtualMixerIds::ProductString).size() > 2);
    QVERIFY(m.stringDescriptor(9).isEmpty());
}

void TestVirtualMixer::titleAllocationRunsAndExhaustion()
{
    VirtualMixer m(m_waits, 1);
    // One block used at row 0 position 0: runs of four start at 1, then the next row.
    const auto a = alloc(m, 1, 1);
    QCOMPARE(a.first, 0);
    const auto b = alloc(m, 4, 2);
    QCOMPARE(b.first, 1);
    const MixerItemInfo info = *m.item(b.first);
    QCOMPARE(info.places.size(), 2);
    QCOMPARE(info.places[0].row, 0);
    QCOMPARE(info.places[0].block, 1);
    QCOMPARE(info.places[1].row, 1);
    QCOMPARE(info.places[1].block, 0);
    QCOMPARE(m.block(0, 4).memoryNo, b.first);
    QCOMPARE(m.block(0, 5).usage, MixerBlockUsage::Empty);
    QCOMPARE(m.block(1, 3).usage, MixerBlockUsage::UsedTitle);

    // Runs of two fill the gaps: row 0 positions 5-6, row 1 positions 4-5 and 6-7.
    const auto c = alloc(m, 2, 3);
    const MixerItemInfo ci = *m.item(c.first);
    QCOMPARE(ci.places[0].row, 0);
    QCOMPARE(ci.places[0].block, 5);
    QCOMPARE(ci.places[1].block, 4);
    QCOMPARE(ci.places[2].block, 6);

    // Full rows for the rest of the title area (13 rows left), then no room.
    const auto big = alloc(m, 8, 14);
    QCOMPARE(big.first, MixerMemoryNo::NoRoom);
    QCOMPARE(big.second, 0u);
    QCOMPARE(m.block(2, 0).usage, MixerBlockUsage::Empty); // nothing half-allocated
    QVERIFY(alloc(m, 8, 13).first < 0x4000);
    QCOMPARE(alloc(m, 1, 2).first, MixerMemoryNo::NoRoom); // only row 0 block 7 is left
    QVERIFY(alloc(m, 1, 1).first < 0x4000);
    QCOMPARE(alloc(m, 1, 1).first, MixerMemoryNo::NoRoom);
    // Titles never spill into the IntVideo rows.
    QCOMPARE(m.block(15, 0).usage, MixerBlockUsage::Empty);
    // A bad run length is no allocation.
    QCOMPARE(alloc(m, 3, 1).first, MixerMemoryNo::NoRoom);
}

void TestVirtualMixer::numbersWordsAndClips()
{
    VirtualMixer m(m_waits, 7);
    const auto t0 = alloc(m, 1, 1);
    const auto t1 = alloc(m, 1, 1);
    QCOMPARE(t0.first, 0);
    QCOMPARE(t1.first, 1);
    QVERIFY(t0.second != 0 && t1.second != 0 && t0.second != t1.second);
    // A cleared number is handed out again, with a fresh device word.
    QVERIFY(out(m, MixerOutRequest::MemoryOperation, t0.first, 0));
    const auto again = alloc(m, 1, 1);
    QCOMPARE(again.first, 0);
    QVERIFY(again.second != t0.second && again.second != 0);

    const std::uint16_t clip = allocClip(m, 2);
    QCOMPARE(clip, MixerMemoryNo::FirstClip);
    const MixerItemInfo ci = *m.item(clip);
    QCOMPARE(ci.places[0].row, 15);
    QCOMPARE(ci.places[1].row, 16);
    for (int k = 0; k < 8; ++k)
        QCOMPARE(m.block(16, k).usage, MixerBlockUsage::UsedIntVideo);
    QCOMPARE(allocClip(m, 1), 0x4001);
    QCOMPARE(allocClip(m, 13), MixerMemoryNo::NoRoom); // 12 IntVideo rows are left
    QCOMPARE(allocClip(m, 12), 0x4002);
    QCOMPARE(allocClip(m, 0), MixerMemoryNo::NoRoom);
}

void TestVirtualMixer::protectionAndClears()
{
    VirtualMixer m(m_waits, 3);
    const auto kept = alloc(m, 1, 2, true);
    const auto plain = alloc(m, 1, 1);
    const std::uint16_t clip = allocClip(m, 1);
    QCOMPARE(m.block(0, 0).usage, MixerBlockUsage::KeptTitle);
    QCOMPARE(m.block(0, 2).usage, MixerBlockUsage::UsedTitle);
    QCOMPARE(uchar(m.titleHeader(kept.first)->at(2)) & 0x80, 0x80);

    // The device keeps its own number, word and protect bit whatever the header says.
    HeaderFields fields;
    fields.deviceWord = 0x12345678;
    fields.protect = false;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, kept.first, 0, makeHeader(fields)));
    const QByteArray h = in(m, MixerInRequest::ReadTitleHeader, kept.first, 0, 40);
    QCOMPARE(qFromLittleEndian<quint32>(h.constData() + 36), kept.second);
    QCOMPARE(uchar(h[2]) & 0x80, 0x80);
    QCOMPARE(int(qFromLittleEndian<quint16>(h.constData() + 32)), 100);

    QVERIFY(out(m, MixerOutRequest::MemoryOperation, kept.first, 1));
    QCOMPARE(m.block(0, 1).usage, MixerBlockUsage::UsedTitle);
    QVERIFY(out(m, MixerOutRequest::MemoryOperation, kept.first, 4));
    QCOMPARE(m.block(0, 1).usage, MixerBlockUsage::KeptTitle);
    QVERIFY(!out(m, MixerOutRequest::MemoryOperation, 0x0999, 4));     // nothing there
    QVERIFY(!out(m, MixerOutRequest::MemoryOperation, kept.first, 2)); // no such operation

    // All IntVideo data: titles stay.
    QVERIFY(out(m, MixerOutRequest::MemoryOperation, MixerMemoryNo::AllIntVideo, 0));
    QVERIFY(!m.item(clip));
    QVERIFY(m.item(kept.first) && m.item(plain.first));
    // Clearing a number that holds nothing is no error.
    QVERIFY(out(m, MixerOutRequest::MemoryOperation, 0x0777, 0));
    // The whole memory: protected data goes too.
    QVERIFY(out(m, MixerOutRequest::MemoryOperation, MixerMemoryNo::AllMemory, 0));
    QVERIFY(!m.item(kept.first));
    QCOMPARE(m.block(0, 0).usage, MixerBlockUsage::Empty);
    QCOMPARE(m.block(0, 0).memoryNo, MixerMemoryNo::None);
    QVERIFY(!out(m, MixerOutRequest::MemoryOperation, 0xFFFA, 0)); // the host's own code
}

void TestVirtualMixer::memoryMapBlock()
{
    VirtualMixer m(m_waits, 3);
    const auto t = alloc(m, 2, 1, true);
    allocClip(m, 1);
    QCOMPARE(status(in(m, MixerInRequest::BeginMemoryMapRead, 0)), 1);
    TransferResult last;
    const QByteArray map = readBulk(m, 1024, &last);
    QCOMPARE(map.size(), 1024);
    QCOMPARE(map.left(4), QByteArray("\xFE\xFF\xFC\xFD", 4));
    QCOMPARE(int(map[4]), 0);  // NTSC
    QCOMPARE(int(map[5]), 0);  // 4:3
    QCOMPARE(int(map[6]), 15); // title rows
    QCOMPARE(int(map[8]), int(MixerBlockUsage::KeptTitle));
    QCOMPARE(qFromLittleEndian<quint16>(map.constData() + 10), t.first);
    QCOMPARE(int(map[8 + 2 * 4]), 0);
    QCOMPARE(qFromLittleEndian<quint16>(map.constData() + 8 + 2 * 4 + 2), 0xFFFF);
    QCOMPARE(int(map[8 + 15 * 8 * 4]), int(MixerBlockUsage::UsedIntVideo));
    QCOMPARE(map, m.memoryMapBlock());
    // Nothing more follows the block.
    std::uint8_t extra[16];
    QCOMPARE(m.bulkIn(extra, 16, 5).status, TransferStatus::TimedOut);

    m.injectBadMapMagic(1);
    QCOMPARE(status(in(m, MixerInRequest::BeginMemoryMapRead, 0)), 1);
    QVERIFY(readBulk(m, 1024).left(4) != map.left(4));
    QCOMPARE(status(in(m, MixerInRequest::BeginMemoryMapRead, 1)), 1);
    QCOMPARE(readBulk(m, 1024).left(4), map.left(4));
}

void TestVirtualMixer::frameWriteAndReadBack()
{
    VirtualMixer m(m_waits, 5);
    // Two frames of 100 x 100 (two blocks each, NTSC lines of 112 pixels).
    const auto t = alloc(m, 2, 2);
    HeaderFields fields;
    fields.frames = 2;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(fields)));
    const int w = 112, lines = 100;
    const int size = (w * 4 * lines + 511) / 512 * 512;
    QList<QByteArray> frames;
    for (int f = 0; f < 2; ++f) {
        QByteArray frame(size, '\0');
        for (int y = 0; y < lines; ++y) {
            for (int x = 0; x < w; ++x) {
                char *p = frame.data() + (y * w + x) * 4;
                p[0] = char(16 + (x + y + f * 7) % 200);
                p[1] = char(255);
                p[2] = char(x & 0xFF);
                p[3] = char(y & 0xFF);
            }
        }
        frame.replace(0, 4, QByteArray("\xFF\x00\xFD\xFC", 4)); // the upload marker
        QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, t.first, f)), 2);
        QCOMPARE(writeBulk(m, frame), size);
        frames << frame;
    }
    // Stored as 720-pixel lines, padded with transparent black.
    const QByteArray stored = *m.frameLines(t.first, 1);
    QCOMPARE(stored.size(), lines * 2880);
    QCOMPARE(stored.mid(5 * 2880 + 3 * 4, 4), frames[1].mid((5 * w + 3) * 4, 4));
    QCOMPARE(stored.mid(5 * 2880 + w * 4, 4), QByteArray("\x10\x00\x80\x80", 4));
    QCOMPARE(stored.mid(2880 - 4, 4), QByteArray("\x10\x00\x80\x80", 4));

    // Frame info: both frames start in row 0, at blocks 0 and 2.
    const QByteArray info = in(m, MixerInRequest::GetFrameInfo, t.first, 1, 10);
    QCOMPARE(info, QByteArray("\x02\x01\x00\x01\x00\x00\x00\x00\x00\x00", 10));
    const QByteArray layout = in(m, MixerInRequest::GetFrameLayout, t.first, 0, 10);
    QCOMPARE(layout, QByteArray("\x01\x00\x01\x00\x00\x00\x00\x00\x00\x00", 10));
    QCOMPARE(status(in(m, MixerInRequest::GetFrameInfo, t.first, 2, 10)), 0);

    // The read-back covers the row up to the end of the last frame: 4 blocks of 60 lines.
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameRead, t.first, 0)), 2);
    const int readSize = (240 * 2880 + 511) / 512 * 512;
    const QByteArray stream = readBulk(m, readSize);
    QCOMPARE(stream.size(), readSize);
    QCOMPARE(stream.left(4), Marker);
    QCOMPARE(stream.indexOf(Marker), 0);
    QCOMPARE(stream.mid(4, 4), QByteArray("\x10\x00\x80\x80", 4));
    // The host rebuilds line r from stream pixels r*720+2 .. r*720+720; that must be
    // the stored line from its first pixel. Frame 1 starts 120 lines down.
    for (int f = 0; f < 2; ++f) {
        for (int y : {0, 1, 57, 99}) {
            const int line = f * 120 + y;
            const QByteArray rebuilt = stream.mid((line * 720 + 2) * 4, w * 4);
            QCOMPARE(rebuilt, frames[f].mid(y * w * 4, w * 4));
        }
    }
    // The uploaded marker comes back as data: FF 00 FD FC, not a read-back marker.
    QCOMPARE(stream.mid(8, 4), QByteArray("\xFF\x00\xFD\xFC", 4));
}

void TestVirtualMixer::frameWriteRefusals()
{
    VirtualMixer m(m_waits, 5);
    const auto t = alloc(m, 1, 1);
    // Without a header the device cannot tell the frame's size.
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, t.first, 0)), 0);
    HeaderFields fields;
    fields.width = 64;
    fields.height = 60;
    fields.blocks = 1;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(fields)));
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, t.first, 1)), 0); // no frame 1
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, 0x123, 0)), 0);
    QVERIFY(!out(m, MixerOutRequest::WriteTitleHeader, 0x123, 0, makeHeader(fields)));
    QVERIFY(!out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, QByteArray(39, '\0')));
    QCOMPARE(in(m, MixerInRequest::ReadTitleHeader, 0x123, 0, 40), QByteArray("FAILED"));
    QCOMPARE(in(m, MixerInRequest::GetFrameLayout, 0x123, 0, 10), QByteArray("FAILED"));

    // A frame cancelled half-way leaves the memory as it was.
    const QByteArray before = *m.frameLines(t.first, 0);
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, t.first, 0)), 2);
    const QByteArray frame(72 * 4 * 60, '\x55');
    QCOMPARE(writeBulk(m, frame.left(4096)), 4096);
    QVERIFY(out(m, MixerOutRequest::CancelTransfer, 3));
    QCOMPARE(*m.frameLines(t.first, 0), before);
    std::uint8_t byte = 0;
    QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::TimedOut); // nothing announced
    QVERIFY(!out(m, MixerOutRequest::CancelTransfer, 4));
}

void TestVirtualMixer::palGeometry()
{
    VirtualMixer m(m_waits, 5);
    QCOMPARE(status(in(m, MixerInRequest::SetMemorySetting, 0x0101, 20)), 2);
    QCOMPARE(m.signal(), 1);
    QCOMPARE(m.aspect(), 1);
    QCOMPARE(m.rowCount(), 26);
    QCOMPARE(m.titleRows(), 20);
    QTRY_VERIFY_WITH_TIMEOUT(!m.settingBusy(), 2000);
    QCOMPARE(allocClip(m, 7), MixerMemoryNo::NoRoom); // six IntVideo rows
    const std::uint16_t clip = allocClip(m, 1);
    QCOMPARE(m.item(clip)->places[0].row, 20);
    // A 768-wide PAL clip line is 720 device pixels; its frame is a whole 576-line row.
    HeaderFields fields;
    fields.width = 768;
    fields.height = 576;
    fields.blocks = 8;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, clip, 0, makeHeader(fields)));
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, clip, 0)), 2);
    QCOMPARE(writeBulk(m, QByteArray(720 * 4 * 576, '\x20')), 720 * 4 * 576);
    QCOMPARE(m.frameLines(clip, 0)->size(), 576 * 2880);
    QCOMPARE(in(m, MixerInRequest::GetFrameInfo, clip, 0, 10).at(9), char(1));
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameRead, clip, 0)), 2);
    QCOMPARE(readBulk(m, 576 * 2880).size(), 576 * 2880);
    // 100 PAL pixels are 93 device pixels.
    const auto t = alloc(m, 2, 1);
    HeaderFields small;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(small)));
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, t.first, 0)), 2);
    const int size = (93 * 4 * 100 + 511) / 512 * 512;
    QCOMPARE(writeBulk(m, QByteArray(size, '\x30')), size);
    std::uint8_t byte = 0;
    QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::TimedOut);
    // More rows than the format has are refused.
    QCOMPARE(status(in(m, MixerInRequest::SetMemorySetting, 0x0100, 27)), 0);
}

void TestVirtualMixer::keyerAutomaticOut()
{
    VirtualMixer m(m_waits, 5);
    const auto t = alloc(m, 1, 1);
    HeaderFields fields;
    fields.inSeconds = 10;
    fields.durationSeconds = 12;
    fields.outSeconds = 1;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(fields)));
    EventReader events(m);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 2);
    QCOMPARE(events.next(), QByteArray("in start       0"));
    QCOMPARE(m.keyerState(), MixerKeyerState::InRunning);
    QCOMPARE(m.onAirMemoryNo(), t.first);
    QCOMPARE(events.next(), QByteArray("in end"));
    QVERIFY(clock.elapsed() >= m_waits.scaled(10000));
    QCOMPARE(events.next(), QByteArray("out start       0"));
    QVERIFY(clock.elapsed() >= m_waits.scaled(10000) + m_waits.scaled(1000));
    QCOMPARE(events.next(), QByteArray("out end"));
    QVERIFY(clock.elapsed() >= m_waits.scaled(10000) + m_waits.scaled(1000) + m_waits.scaled(1000));
    QCOMPARE(m.keyerState(), MixerKeyerState::Idle);
    QCOMPARE(m.onAirMemoryNo(), MixerMemoryNo::None);
    QVERIFY(events.next(30).isEmpty());

    // Numbers are decimal and the fields keep their width.
    QCOMPARE(MixerKeyer::inStartLine(0x4000), QByteArray("in start       16384\r"));
    QCOMPARE(MixerKeyer::outStartLine(12), QByteArray("out start       12\r"));
}

void TestVirtualMixer::keyerTimeline()
{
    // Nominal milliseconds on a clock of the test's own.
    Waits real(1.0);
    MixerKeyer k(real);
    using Clock = MixerKeyer::Clock;
    const Clock::time_point t0 = Clock::time_point(std::chrono::hours(1));
    QList<QByteArray> lines;
    const auto at = [&](int ms) {
        lines.clear();
        k.advance(t0 + std::chrono::milliseconds(ms), lines);
        return lines;
    };
    const MixerKeyerTiming timing{1000, 5000, 1000, true};
    QVERIFY(k.play(7, timing, t0, lines));
    QCOMPARE(lines, QList<QByteArray>{MixerKeyer::inStartLine(7)});
    QVERIFY(at(999).isEmpty());
    QCOMPARE(at(1000), QList<QByteArray>{MixerKeyer::inEndLine()});
    QCOMPARE(k.state(), MixerKeyerState::Showing);
    QVERIFY(at(3999).isEmpty());
    QCOMPARE(at(4000), QList<QByteArray>{MixerKeyer::outStartLine(7)});
    // "out end" falls on the duration, before the host's own end timer.
    QVERIFY(at(4999).isEmpty());
    QCOMPARE(at(5000), QList<QByteArray>{MixerKeyer::outEndLine()});
    QCOMPARE(k.state(), MixerKeyerState::Idle);
    QCOMPARE(k.memoryNo(), MixerMemoryNo::None);

    // Effects longer than the duration run in full, without a hold.
    QVERIFY(k.play(8, {2000, 1000, 2000, true}, t0 + 10s, lines));
    QCOMPARE(at(12000), (QList<QByteArray>{MixerKeyer::inEndLine(), MixerKeyer::outStartLine(8)}));
    QVERIFY(at(13999).isEmpty());
    QCOMPARE(at(14000), QList<QByteArray>{MixerKeyer::outEndLine()});
    // A pause freezes the keyer's clock.
    QVERIFY(k.play(10, timing, t0 + 50s, lines));
    QVERIFY(k.togglePause(t0 + 50500ms));
    QVERIFY(at(60000).isEmpty());
    QVERIFY(k.togglePause(t0 + 60000ms));
    QVERIFY(at(60499).isEmpty());
    QCOMPARE(at(60500), QList<QByteArray>{MixerKeyer::inEndLine()});
    k.cut(lines);
    // A late look still gets every line, in order.
    QVERIFY(k.play(9, timing, t0 + 20s, lines));
    QCOMPARE(at(40000).size(), 3);
    QCOMPARE(lines.last(), MixerKeyer::outEndLine());

    // Effect and duration times from a header: frames count in the format's frame time.
    QByteArray h = makeHeader(HeaderFields{});
    h[12] = 15; // DurFrame
    h[13] = 2;  // DurSecond
    h[14] = 1;  // DurMinute
    h[20] = 10; // InEffTimeFrame
    h[28] = 3;  // OutEffTimeFrame
    h[24] = 0;  // manual out
    const MixerKeyerTiming ntsc = MixerKeyerTiming::fromHeader(h, 33.3);
    QCOMPARE(ntsc.durationMs, 62499);
    QCOMPARE(ntsc.inEffectMs, 333);
    QCOMPARE(ntsc.outEffectMs, 99);
    QVERIFY(!ntsc.autoOut);
    QCOMPARE(MixerKeyerTiming::fromHeader(h, 40.0).durationMs, 62600);
}

void TestVirtualMixer::keyerManualOutAndStop()
{
    VirtualMixer m(m_waits, 5);
    const auto t = alloc(m, 1, 1);
    HeaderFields fields;
    fields.autoOut = false;
    fields.durationSeconds = 1;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(fields)));
    EventReader events(m);
    const auto manualOut = [&](auto trigger) {
        QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 2);
        QCOMPARE(events.next(), QByteArray("in start       0"));
        QCOMPARE(events.next(), QByteArray("in end"));
        // A manual out waits, well past the duration.
        QVERIFY(events.next(m_waits.scaled(1000) * 3).isEmpty());
        QCOMPARE(m.keyerState(), MixerKeyerState::Showing);
        trigger();
        QCOMPARE(events.next(), QByteArray("out start       0"));
        QCOMPARE(events.next(), QByteArray("out end"));
    };
    manualOut([&] { QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 2); });
    manualOut([&] { QCOMPARE(status(in(m, MixerInRequest::DskStop)), 2); });
    manualOut([&] { QCOMPARE(status(in(m, MixerInRequest::Autotake)), 2); });
    QCOMPARE(m.autotakeCount(), 1);
    manualOut([&] { QVERIFY(m.pressDskButton()); });

    // The panel's take button plays the title previewed from the keyer cursor.
    QVERIFY(!m.pressDskButton()); // nothing previewed
    QCOMPARE(status(in(m, MixerInRequest::PreviewStart, t.first, 1)), 2);
    QVERIFY(m.pressDskButton());
    QCOMPARE(events.next(), QByteArray("in start       0"));
    QCOMPARE(events.next(), QByteArray("in end"));
    QVERIFY(m.pressDskButton());
    QCOMPARE(events.next(), QByteArray("out start       0"));
    QCOMPARE(events.next(), QByteArray("out end"));

    // A stop during the in effect runs the out right after it.
    HeaderFields slow = fields;
    slow.inSeconds = 5;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(slow)));
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 2);
    QCOMPARE(events.next(), QByteArray("in start       0"));
    QCOMPARE(status(in(m, MixerInRequest::DskStop)), 2);
    QCOMPARE(events.next(), QByteArray("in end"));
    QCOMPARE(events.next(), QByteArray("out start       0"));
    QCOMPARE(events.next(), QByteArray("out end"));
}

void TestVirtualMixer::keyerPauseAndRefusals()
{
    VirtualMixer m(m_waits, 5);
    const auto t = alloc(m, 1, 1);
    const std::uint16_t clip = allocClip(m, 1);
    HeaderFields fields;
    fields.inSeconds = 59; // long enough for every check below to fall inside it
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(fields)));
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, clip)), 0);   // clips are not keyed
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, 0x0055)), 0); // nothing stored there
    QCOMPARE(status(in(m, MixerInRequest::DskPause)), 0);        // nothing keyed
    EventReader events(m);
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 2);
    QCOMPARE(events.next(), QByteArray("in start       0"));
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 0); // the in effect runs
    // The keyed title cannot be cleared from under the keyer, nor the whole memory.
    QVERIFY(!out(m, MixerOutRequest::MemoryOperation, t.first, 0));
    QVERIFY(!out(m, MixerOutRequest::MemoryOperation, MixerMemoryNo::AllMemory, 0));
    // The cursor preview waits while the keyer is busy; the memory window's does not.
    QCOMPARE(status(in(m, MixerInRequest::PreviewStart, t.first, 1)), 0);
    QCOMPARE(status(in(m, MixerInRequest::PreviewStart, clip, 0)), 2);
    QCOMPARE(m.previewMemoryNo(), clip);
    QCOMPARE(status(in(m, MixerInRequest::PreviewStop)), 2);
    QCOMPARE(m.previewMemoryNo(), MixerMemoryNo::None);

    QCOMPARE(status(in(m, MixerInRequest::DskPause)), 2);
    QVERIFY(m.keyerPaused());
    QCOMPARE(m.millisecondsToNextKeyerStep(), -1);
    QCOMPARE(status(in(m, MixerInRequest::DskPause)), 2);
    QVERIFY(!m.keyerPaused());
    QVERIFY(m.millisecondsToNextKeyerStep() > 0);
}

void TestVirtualMixer::settingChangeBusyAndClears()
{
    VirtualMixer m(m_waits, 5);
    m.setSettingBusyTime(30000);
    const auto kept = alloc(m, 1, 1, true);
    QVERIFY(kept.first < 0x4000);
    // The aspect alone keeps the memory.
    QCOMPARE(status(in(m, MixerInRequest::SetMemorySetting, 0x0001, 15)), 2);
    QVERIFY(m.item(kept.first));
    QVERIFY(m.settingBusy());
    // "Loading...": busy answers everywhere a status is given.
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, kept.first)), 1);
    QCOMPARE(status(in(m, MixerInRequest::SetMemorySetting, 0x0000, 10)), 1);
    QCOMPARE(status(in(m, MixerInRequest::Autotake)), 1);
    QCOMPARE(status(in(m, MixerInRequest::PreviewStart, kept.first, 0)), 1);
    QCOMPARE(status(in(m, MixerInRequest::BeginMemoryMapRead)), 0);
    QCOMPARE(alloc(m, 1, 1).first, MixerMemoryNo::None);
    QCOMPARE(in(m, MixerInRequest::GetFirmwareVersion, 0, 0, 4).left(2), QByteArray("\x00\x20", 2));
    QTRY_VERIFY_WITH_TIMEOUT(!m.settingBusy(), 5000);
    m.setSettingBusyTime(0);

    // A title-row change empties the memory, protected titles included.
    QCOMPARE(status(in(m, MixerInRequest::SetMemorySetting, 0x0001, 10)), 2);
    QVERIFY(!m.item(kept.first));
    QCOMPARE(m.titleRows(), 10);
    QVERIFY(!m.settingBusy());

    // A signal change ends the keyed title at once.
    const auto t = alloc(m, 1, 1);
    HeaderFields fields;
    fields.autoOut = false;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(fields)));
    EventReader events(m);
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 2);
    QCOMPARE(events.next(), QByteArray("in start       0"));
    QCOMPARE(events.next(), QByteArray("in end"));
    QCOMPARE(status(in(m, MixerInRequest::SetMemorySetting, 0x0100, 10)), 2);
    QCOMPARE(events.next(), QByteArray("out end"));
    QCOMPARE(m.keyerState(), MixerKeyerState::Idle);
    QVERIFY(!m.item(t.first));
    QCOMPARE(m.signal(), 1);
}

void TestVirtualMixer::setupDataMode()
{
    VirtualMixer m(m_waits, 5);
    QCOMPARE(status(in(m, MixerInRequest::BeginSetupDataRead)), 0); // only in setup-data mode
    m.setSetupDataMode(true);
    QCOMPARE(status(in(m, MixerInRequest::GetSetupDataMode)), 1);
    QCOMPARE(in(m, MixerInRequest::DskStop), QByteArray("FAILED"));
    QCOMPARE(in(m, MixerInRequest::AllocTitleMemory, 1, 1, 6), QByteArray("FAILED"));
    QVERIFY(!out(m, MixerOutRequest::MemoryOperation, 0, 0));
    QCOMPARE(in(m, MixerInRequest::GetFirmwareVersion, 0, 0, 4).size(), 4);

    QCOMPARE(status(in(m, MixerInRequest::BeginSetupDataRead)), 2);
    const QByteArray block = readBulk(m, 32768);
    QCOMPARE(block, m.setupData());
    QCOMPARE(block.size(), 32768);

    QByteArray fresh(32768, '\0');
    for (int i = 0; i < fresh.size(); ++i)
        fresh[i] = char(i % 251);
    QCOMPARE(status(in(m, MixerInRequest::BeginSetupDataWrite)), 2);
    QCOMPARE(writeBulk(m, fresh.left(10000)), 10000);
    QCOMPARE(m.setupData(), block); // not taken until complete
    QCOMPARE(writeBulk(m, fresh.mid(10000)), 32768 - 10000);
    QCOMPARE(m.setupData(), fresh);

    m.setSetupDataMode(false);
    QCOMPARE(status(in(m, MixerInRequest::GetSetupDataMode)), 0);
    QCOMPARE(status(in(m, MixerInRequest::DskStop)), 2);
}

void TestVirtualMixer::diagnosticsAndPanel()
{
    VirtualMixer m(m_waits, 5);
    QCOMPARE(in(m, MixerInRequest::GetFirmwareVersion, 0, 0, 4).left(2), QByteArray("\x00\x20", 2));
    m.setFirmwareVersion(1, 2, 3);
    QCOMPARE(in(m, MixerInRequest::GetFirmwareVersion, 0, 0, 4).left(3),
             QByteArray("\x01\x02\x03"));

    QCOMPARE(in(m, MixerInRequest::GetKeyCodes, 0, 0, 10), QByteArray(9, '\xFF') + '\0');
    m.pressPanelKey(0, 1);
    m.pressPanelKey(1, 2);
    m.pressPanelKey(9, 5); // no such slot
    QCOMPARE(in(m, MixerInRequest::GetKeyCodes, 0, 0, 10).left(3), QByteArray("\x01\x02\xFF"));
    m.releasePanelKey(0);
    QCOMPARE(uchar(in(m, MixerInRequest::GetKeyCodes, 0, 0, 10)[0]), uchar(0xFF));

    // Pipe tests: 4 units of 512 bytes each way.
    QCOMPARE(status(in(m, MixerInRequest::BeginTestRead, 4)), 2);
    const QByteArray pattern = readBulk(m, 2048);
    QCOMPARE(pattern.size(), 2048);
    QCOMPARE(uchar(pattern[300]), uchar(300 & 0xFF));
    // A longer read counts 0..255 over and over to its last byte.
    QCOMPARE(status(in(m, MixerInRequest::BeginTestRead, 20)), 2);
    const QByteArray longer = readBulk(m, 20 * 512);
    QByteArray counting(20 * 512, '\0');
    for (int i = 0; i < counting.size(); ++i)
        counting[i] = char(i & 0xFF);
    QCOMPARE(longer, counting);
    QCOMPARE(status(in(m, MixerInRequest::BeginTestWrite, 4)), 2);
    QCOMPARE(writeBulk(m, pattern), 2048);
    QCOMPARE(m.lastTestWrite(), pattern);

    QByteArray command(34, '\0');
    command.replace(0, 8, "AFD:1234");
    QVERIFY(out(m, MixerOutRequest::SendSerialCommand, 0, 0, command));
    QVERIFY(!out(m, MixerOutRequest::SendSerialCommand, 0, 0, command.left(10)));
    QCOMPARE(m.serialCommands(), QList<QByteArray>{command});

    m.setEffectPatternCount(100);
    const QByteArray p = in(m, MixerInRequest::CheckEffectPatterns, 0xC000 | 42, 0x4000 | 500, 4);
    QCOMPARE(qFromLittleEndian<quint16>(p.constData()), 42);
    QCOMPARE(qFromLittleEndian<quint16>(p.constData() + 2), 0);

    QCOMPARE(status(in(m, MixerInRequest::RecallEvent, 7)), 2);
    QCOMPARE(m.lastRecalledEvent(), 7);
    QCOMPARE(status(in(m, MixerInRequest::PreviewMemoryPage, 3)), 2);
    QCOMPARE(m.lastPreviewPage(), 3);
    QCOMPARE(in(m, MixerInRequest(0x0E)), QByteArray("FAILED")); // never defined
    QVERIFY(!out(m, MixerOutRequest(0x02), 0));
}

void TestVirtualMixer::statusAndRequestFaults()
{
    VirtualMixer m(m_waits, 5);
    const auto t = alloc(m, 1, 1);
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(HeaderFields{})));

    m.injectStatus(MixerStatus::Busy, 2);
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, t.first, 0)), 1);
    QCOMPARE(alloc(m, 1, 1).first, MixerMemoryNo::None);
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, t.first, 0)), 2);
    QVERIFY(out(m, MixerOutRequest::CancelTransfer, 3));

    m.injectStatus(MixerStatus::Refused, 3);
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 0);
    QCOMPARE(status(in(m, MixerInRequest::BeginMemoryMapRead)), 0);
    QCOMPARE(in(m, MixerInRequest::GetFrameInfo, t.first, 0, 10).at(0), char(0));
    QCOMPARE(in(m, MixerInRequest::GetFrameInfo, t.first, 0, 10).at(0), char(2));

    m.injectFailedRequests(2);
    QCOMPARE(in(m, MixerInRequest::GetFirmwareVersion, 0, 0, 4), QByteArray("FAILED"));
    QVERIFY(!out(m, MixerOutRequest::MemoryOperation, 0x0777, 0));
    QCOMPARE(in(m, MixerInRequest::GetFirmwareVersion, 0, 0, 4).size(), 4);

    m.injectStatus(MixerStatus::Busy, 5);
    m.clearFaults();
    QCOMPARE(status(in(m, MixerInRequest::DskStop)), 2);
}

void TestVirtualMixer::bulkFaults()
{
    VirtualMixer m(m_waits, 5);
    // A stalled read: the data stops after 5000 bytes; the piece times out short.
    m.injectBulkStall(5000);
    QCOMPARE(status(in(m, MixerInRequest::BeginTestRead, 20)), 2);
    TransferResult last;
    QCOMPARE(readBulk(m, 10240, &last).size(), 5000);
    QCOMPARE(last.status, TransferStatus::TimedOut);
    QCOMPARE(last.transferred, 5000 - 4096);
    // An abort ends a stalled transfer at once, whatever its time-out.
    auto pending = std::async(std::launch::async, [&] {
        std::uint8_t buf[4096];
        return m.bulkIn(buf, 4096, -1);
    });
    while (pending.wait_for(1ms) != std::future_status::ready)
        m.abortEndpoint(VirtualMixerIds::ReadEndpoint);
    QCOMPARE(pending.get().status, TransferStatus::Cancelled);
    QVERIFY(out(m, MixerOutRequest::CancelTransfer, 2));

    // A short read: a short piece completes the transfer early.
    m.injectShortBulk(6000);
    QCOMPARE(status(in(m, MixerInRequest::BeginTestRead, 20)), 2);
    QCOMPARE(readBulk(m, 10240, &last).size(), 6000);
    QCOMPARE(last.status, TransferStatus::Completed);

    // A short write halts the write endpoint until its halt is cleared.
    m.injectShortBulk(4096);
    QCOMPARE(status(in(m, MixerInRequest::BeginTestWrite, 20)), 2);
    QCOMPARE(writeBulk(m, QByteArray(10240, 'x'), &last), 4096);
    QCOMPARE(last.status, TransferStatus::Stalled);
    std::uint8_t byte = 0;
    QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::Stalled);
    m.clearHalt(VirtualMixerIds::WriteEndpoint);
    QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::TimedOut);

    // The device leaves the bus in the middle of a frame.
    m.injectUnplugDuringBulk(8192);
    QCOMPARE(status(in(m, MixerInRequest::BeginTestWrite, 40)), 2);
    QCOMPARE(writeBulk(m, QByteArray(20480, 'y'), &last), 8192);
    QCOMPARE(last.status, TransferStatus::NoDevice);
    QVERIFY(!m.isPlugged());
    QCOMPARE(in(m, MixerInRequest::GetFirmwareVersion, 0, 0, 4), QByteArray("FAILED"));
    m.plug();
    QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::TimedOut); // the job is gone

    // A port reset ends a blocked transfer and drops the announced one.
    QCOMPARE(status(in(m, MixerInRequest::BeginTestRead, 1)), 2);
    m.resetPort();
    QCOMPARE(m.bulkIn(&byte, 1, 5).status, TransferStatus::TimedOut);
    QCOMPARE(m.portResetCount(), 1);
}

void TestVirtualMixer::readBackAndEventFaults()
{
    VirtualMixer m(m_waits, 5);
    const auto t = alloc(m, 1, 1);
    HeaderFields fields;
    fields.width = 640;
    fields.height = 60;
    fields.blocks = 1;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(fields)));
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, t.first, 0)), 2);
    QByteArray frame(720 * 4 * 60, '\0');
    for (int i = 0; i < frame.size(); ++i)
        frame[i] = char(i % 253);
    QCOMPARE(writeBulk(m, frame), frame.size());
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameRead, t.first, 0)), 2);
    const QByteArray good = readBulk(m, 60 * 2880);
    m.injectShiftedReadBack(3);
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameRead, t.first, 0)), 2);
    const QByteArray shifted = readBulk(m, 60 * 2880);
    QCOMPARE(shifted.size(), good.size());
    QCOMPARE(shifted.left(3 * 2880), good.left(3 * 2880));
    QCOMPARE(shifted.mid(3 * 2880, 2), QByteArray(2, '\0'));
    QCOMPARE(shifted.mid(3 * 2880 + 2, 5000), good.mid(3 * 2880, 5000));
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameRead, t.first, 0)), 2);
    QCOMPARE(readBulk(m, 60 * 2880), good); // used up

    HeaderFields keyed;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(keyed)));
    m.injectMalformedEventLines(2);
    EventReader events(m);
    QCOMPARE(status(in(m, MixerInRequest::DskPlay, t.first)), 2);
    QCOMPARE(events.next(), QByteArray("in start       #0"));
    QCOMPARE(events.next(), QByteArray("in_end"));
    QCOMPARE(events.next(), QByteArray("out start       0"));
    QCOMPARE(events.next(), QByteArray("out end"));
}

void TestVirtualMixer::eventReports()
{
    MixerEventQueue q;
    std::uint8_t r[64];
    q.append("in start       1\r");
    q.append(QByteArray(60, 'a') + '\r');
    QCOMPARE(q.takeReport(r, 64), 64);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(r), 18), QByteArray("in start       1\r") + '\0');
    // A line that fits alone goes alone, whole.
    QCOMPARE(q.takeReport(r, 64), 64);
    QCOMPARE(r[60], uchar('\r'));
    QVERIFY(q.isEmpty());
    // A line longer than a report comes in parts, each followed by a zero byte.
    q.append(QByteArray(100, 'b') + '\r');
    q.takeReport(r, 64);
    QCOMPARE(r[62], uchar('b'));
    QCOMPARE(r[63], uchar(0));
    q.takeReport(r, 64);
    QCOMPARE(r[100 - 63], uchar('\r'));
    // An unfinished tail must leave room for its zero.
    q.append(QByteArray(64, 'c'));
    q.takeReport(r, 64);
    QCOMPARE(r[63], uchar(0));
    QCOMPARE(q.pendingBytes(), 1);
    QCOMPARE(q.takeReport(r, 8), 8);
    QCOMPARE(r[0], uchar('c'));
    QVERIFY(q.isEmpty());

    // A host that never reads does not make the mixer grow without end.
    MixerEventQueue full;
    QVERIFY(full.append(QByteArray(MixerEventQueue::Capacity - 4, 'x')));
    QVERIFY(!full.append("in end\r"));
    QVERIFY(full.append("end\r"));

    VirtualMixer m(m_waits, 5);
    m.queueRawEventText("hello\rworld");
    EventReader events(m);
    QCOMPARE(events.next(), QByteArray("hello"));
    m.queueRawEventText("!\r");
    QCOMPARE(events.next(), QByteArray("world!"));
    // An empty pipe times out.
    QCOMPARE(m.interruptIn(r, 64, 0).status, TransferStatus::TimedOut);
}

void TestVirtualMixer::unplugEndsBlockedTransfers()
{
    VirtualMixer m(m_waits, 5);
    std::uint8_t buf[64];
    auto readEvents = std::async(std::launch::async, [&] { return m.interruptIn(buf, 64, -1); });
    auto readBulkData = std::async(std::launch::async, [&] {
        std::uint8_t data[4096];
        return m.bulkIn(data, 4096, -1);
    });
    QElapsedTimer t;
    t.start();
    m.unplug();
    QCOMPARE(readEvents.get().status, TransferStatus::NoDevice);
    QCOMPARE(readBulkData.get().status, TransferStatus::NoDevice);
    QVERIFY(t.elapsed() < 5000);
    // Lines fall on the floor while the cable is out; the memory stays.
    const auto stays = m.item(0);
    m.queueRawEventText("lost\r");
    m.plug();
    QCOMPARE(m.interruptIn(buf, 64, 0).status, TransferStatus::TimedOut);
    QCOMPARE(bool(stays), bool(m.item(0)));
}

void TestVirtualMixer::workerAndRequestsTogether()
{
    // A frame moves on a worker thread while this thread keeps asking and keying.
    VirtualMixer m(m_waits, 5);
    const auto clip = allocClip(m, 1);
    HeaderFields fields;
    fields.width = 640;
    fields.height = 480;
    fields.blocks = 8;
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, clip, 0, makeHeader(fields)));
    const auto t = alloc(m, 1, 1);
    QVERIFY(out(m, MixerOutRequest::WriteTitleHeader, t.first, 0, makeHeader(HeaderFields{})));
    QByteArray frame(720 * 4 * 480, '\0');
    for (int i = 0; i < frame.size(); ++i)
        frame[i] = char((i / 7) & 0xFF);
    QCOMPARE(status(in(m, MixerInRequest::BeginFrameWrite, clip, 0)), 2);
    auto worker = std::async(std::launch::async, [&] { return writeBulk(m, frame); });
    EventReader events(m);
    int plays = 0;
    do {
        QCOMPARE(in(m, MixerInRequest::GetFrameInfo, clip, 0, 10).at(0), char(2));
        QCOMPARE(in(m, MixerInRequest::GetFirmwareVersion, 0, 0, 4).size(), 4);
        if (status(in(m, MixerInRequest::DskPlay, t.first)) == 2) {
            QCOMPARE(events.next(), QByteArray("in start       0"));
            QCOMPARE(events.next(), QByteArray("in end"));
            QCOMPARE(events.next(), QByteArray("out start       0"));
            QCOMPARE(events.next(), QByteArray("out end"));
            ++plays;
        }
    } while (worker.wait_for(0ms) != std::future_status::ready);
    QCOMPARE(worker.get(), int(frame.size()));
    QVERIFY(plays > 0);
    QCOMPARE(*m.frameLines(clip, 0), frame);
}

void TestVirtualMixer::backendAdapter()
{
    VirtualMixer m(m_waits, 5);
    VirtualMixerBackend b(m);
    QSignalSpy arrived(&b, &UsbBackend::deviceArrived);
    QSignalSpy removed(&b, &UsbBackend::deviceRemoved);
    QVERIFY(b.devicePresent());
    QVERIFY(!b.vendorIn(0x06, 0, 0, nullptr, 0)); // not open yet
    QVERIFY(b.open());
    QVERIFY(b.isOpen());
    std::uint8_t desc[64];
    QCOMPARE(b.getDescriptor(1, desc, 64), 18);
    QCOMPARE(b.getDescriptor(2, desc, 9), 9);
    QCOMPARE(int(qFromLittleEndian<quint16>(desc + 2)), 39);
    QCOMPARE(b.getDescriptor(3, desc, 64), -1);

    std::uint8_t reply[8];
    std::memset(reply, 0xAA, sizeof reply);
    QVERIFY(b.vendorIn(0x06, 0, 0, reply, 8));
    QCOMPARE(reply[1], uchar(0x20));
    QCOMPARE(reply[5], uchar(0)); // the rest is zeroed
    QVERIFY(b.vendorOut(0x81, 0x0777, 0, nullptr, 0));

    // Transfers need an open pipe and honour their time-out.
    QCOMPARE(b.transfer(VirtualMixerIds::ReadEndpoint, reply, 8, 5).status, TransferStatus::Error);
    QVERIFY(b.openPipe(0, VirtualMixerIds::ReadEndpoint));
    QVERIFY(b.openPipe(0, VirtualMixerIds::EventEndpoint));
    QVERIFY(!b.openPipe(0, 0x05));
    QVERIFY(!b.openPipe(1, VirtualMixerIds::WriteEndpoint));
    QCOMPARE(b.transfer(VirtualMixerIds::ReadEndpoint, reply, 8, 5).status,
             TransferStatus::TimedOut);
    auto blocked = std::async(std::launch::async, [&] {
        std::uint8_t data[64];
        return b.transfer(VirtualMixerIds::EventEndpoint, data, 64, 0); // no limit
    });
    while (blocked.wait_for(1ms) != std::future_status::ready)
        QVERIFY(b.abortPipe(VirtualMixerIds::EventEndpoint));
    QCOMPARE(blocked.get().status, TransferStatus::Cancelled);
    QVERIFY(b.resetDevice());
    QCOMPARE(m.portResetCount(), 1);

    // Unplugging tells the owner; the old handle stays dead after a re-plug.
    m.unplug();
    QVERIFY(removed.wait(2000));
    QVERIFY(!b.devicePresent());
    QVERIFY(!b.vendorIn(0x06, 0, 0, reply, 4));
    m.plug();
    QVERIFY(arrived.wait(2000));
    QVERIFY(!b.vendorIn(0x06, 0, 0, reply, 4));
    QCOMPARE(b.transfer(VirtualMixerIds::ReadEndpoint, reply, 8, 5).status,
             TransferStatus::NoDevice);
    b.close();
    QVERIFY(!b.isOpen());
    QVERIFY(b.open());
    QVERIFY(b.vendorIn(0x06, 0, 0, reply, 4));

    // close() ends a transfer blocked without limit.
    QVERIFY(b.openPipe(0, VirtualMixerIds::ReadEndpoint));
    auto pending = std::async(std::launch::async, [&] {
        std::uint8_t data[64];
        return b.transfer(VirtualMixerIds::ReadEndpoint, data, 64, 0);
    });
    while (pending.wait_for(1ms) != std::future_status::ready)
        b.close();
    // Cancelled when it was already waiting, refused when close() came first.
    const TransferStatus ended = pending.get().status;
    QVERIFY(ended == TransferStatus::Cancelled || ended == TransferStatus::Error);

    // An owning backend keeps its mixer alive and reaches its control surface.
    VirtualMixerBackend owning(std::make_unique<VirtualMixer>(m_waits, 9));
    QVERIFY(owning.open());
    owning.mixer().setFirmwareVersion(0, 0x1F, 0);
    QVERIFY(owning.vendorIn(0x06, 0, 0, reply, 4));
    QCOMPARE(reply[1], uchar(0x1F));
}

QTEST_GUILESS_MAIN(TestVirtualMixer)
#include "test_virtualmixer.moc"
