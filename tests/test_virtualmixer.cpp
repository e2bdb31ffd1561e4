// The virtual mixer's own rules and the faults it injects. What the program
// reaches through its link (firmware, descriptors, setup-data reads, test
// transfers, write-side bulk faults, split event lines) is left to the
// request suite.

#include "core/SettingsStore.h"
#include "core/Waits.h"
#include "device/DeviceRequests.h"
#include "list/TitleAttributes.h"
#include "mixer/MixerEventQueue.h"
#include "mixer/MixerStateFile.h"
#include "mixer/UsbBackendChoice.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"
#include "mixer/VirtualMixerIds.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <future>

using namespace std::chrono_literals;
using DeviceRequest::In;
using DeviceRequest::Out;
using namespace TestFiles;

namespace {

constexpr int Stalled = -1, Refused = 0, Busy = 1, Accepted = 2, Done = 1;
constexpr int None = MemoryNo::None, NotStored = MemoryNo::NotStored;
const QByteArray Blank("\x10\x00\x80\x80", 4);

// A title record as the program sends it, with an automatic out.
TitleAttributes title(int width = 100, int height = 100, int blocks = 2, int frames = 1)
{
    TitleAttributes a;
    a.setWidth(width);
    a.setHeight(height);
    a.setBlocksPerFrame(blocks);
    a.setFrameCount(frames);
    a.setAutoTrigger(Effect::Out, true);
    return a;
}

// The keyer's times of a title, in seconds.
TitleAttributes timed(TitleAttributes a, int in, int duration, int out, bool autoOut = true)
{
    a.setEffTimeSecond(Effect::In, in);
    a.setDurSecond(duration);
    a.setEffTimeSecond(Effect::Out, out);
    a.setAutoTrigger(Effect::Out, autoOut);
    return a;
}

QByteArray bytes(const TitleAttributes &a)
{
    return QByteArray(reinterpret_cast<const char *>(a.bytes().data()), TitleAttributes::Size);
}

// Bytes that differ from their neighbours, so that a shifted or cut copy shows.
QByteArray pattern(int size, int period = 251)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(i % period);
    return b;
}

// The reply, empty when the mixer stalls the request.
QByteArray in(VirtualMixer &m, In r, int value = 0, int index = 0)
{
    return m.controlIn(std::uint8_t(r), std::uint16_t(value), std::uint16_t(index), 64)
        .value_or(QByteArray());
}

int status(VirtualMixer &m, In r, int value = 0, int index = 0)
{
    const QByteArray reply = in(m, r, value, index);
    return reply.isEmpty() ? Stalled : std::uint8_t(reply[0]);
}

bool out(VirtualMixer &m, Out r, int value, int index = 0, const QByteArray &payload = {})
{
    return m.controlOut(std::uint8_t(r), std::uint16_t(value), std::uint16_t(index),
                        reinterpret_cast<const std::uint8_t *>(payload.constData()),
                        std::uint16_t(payload.size()));
}

bool header(VirtualMixer &m, std::uint16_t memoryNo, const TitleAttributes &a = title())
{
    return out(m, Out::WriteTitleHeader, memoryNo, 0, bytes(a));
}

int word(const QByteArray &bytes, int at)
{
    return bytes.size() < at + 2 ? Stalled : qFromLittleEndian<quint16>(bytes.constData() + at);
}

int alloc(VirtualMixer &m, int blocks, int frames, bool protect = false)
{
    return word(in(m, In::AllocTitleMemory, blocks | (protect ? 0x8000 : 0), frames), 0);
}

int allocClip(VirtualMixer &m, int frames)
{
    return word(in(m, In::AllocIntVideoMemory, frames), 0);
}

// Row and block of each frame of an item.
QList<int> places(VirtualMixer &m, std::uint16_t memoryNo)
{
    QList<int> list;
    const std::optional<MixerItemInfo> item = m.item(memoryNo);
    for (const MixerFramePlace &p : item->places)
        list << p.row << p.block;
    return list;
}

// Moves `data` in pieces as the bulk worker does; stops at the first short piece.
int bulk(VirtualMixer &m, QByteArray &data, bool write, TransferResult *last = nullptr)
{
    int done = 0;
    TransferResult r{TransferStatus::Completed, 0};
    while (done < data.size()) {
        const int piece = std::min<int>(4096, int(data.size()) - done);
        auto *p = reinterpret_cast<std::uint8_t *>(data.data()) + done;
        r = write ? m.bulkOut(p, piece, 200) : m.bulkIn(p, piece, 200);
        done += r.transferred;
        if (!r.ok() || r.transferred != piece)
            break;
    }
    if (last)
        *last = r;
    return done;
}

QByteArray readBulk(VirtualMixer &m, int size, TransferResult *last = nullptr)
{
    QByteArray data(size, '\0');
    data.truncate(bulk(m, data, false, last));
    return data;
}

int writeBulk(VirtualMixer &m, QByteArray data, TransferResult *last = nullptr)
{
    return bulk(m, data, true, last);
}

// Announces and writes one frame: the bytes taken, or Stalled when refused.
int writeFrame(VirtualMixer &m, int memoryNo, int frame, const QByteArray &data)
{
    return status(m, In::BeginFrameWrite, memoryNo, frame) == Accepted ? writeBulk(m, data)
                                                                       : Stalled;
}

// Joins the interrupt pipe's reports into lines, as the host's event reader does.
struct EventReader
{
    VirtualMixer &mixer;
    QByteArray pending = {};
    QByteArrayList done = {};
    // The next `count` lines, without their carriage returns, joined by '|'.
    QByteArray lines(int count = 1, int timeoutMs = 2000)
    {
        QElapsedTimer t;
        t.start();
        while (done.size() < count && t.elapsed() < timeoutMs) {
            std::uint8_t report[64];
            const TransferResult r = mixer.interruptIn(report, 64, 20);
            for (int i = 0; r.ok() && i < r.transferred && report[i] != 0; ++i) {
                if (report[i] == '\r')
                    done << std::exchange(pending, QByteArray());
                else
                    pending.append(char(report[i]));
            }
        }
        const QByteArrayList taken = done.mid(0, count);
        done.remove(0, taken.size());
        return taken.join('|');
    }
};

// What a state file brings back, as the host and the tests see it.
QByteArrayList held(VirtualMixer &m)
{
    QByteArrayList list{m.memoryMapBlock(), m.setupData(), QByteArray::number(m.titleRows())};
    for (int n : {0, 1, 2, 0x4000}) {
        if (const auto item = m.item(std::uint16_t(n))) {
            list << QByteArray::number(item->deviceWord) << *m.titleHeader(std::uint16_t(n));
            for (int f = 0; f < item->frameCount; ++f)
                list << *m.frameLines(std::uint16_t(n), f);
        }
    }
    return list;
}

const QByteArray Played("in start       0|in end|out start       0|out end");

// The states the request table starts from. All but Fresh and SetupData hold
// title 0 (64 x 60, its header written, a 59 s in effect), clip 0x4000 and
// title 1 without a header.
enum Scene { Fresh, SetupData, Stored, Keyed, Loading, InjectedBusy, InjectedRefusal, Failing };

void setUp(VirtualMixer &m, Scene scene)
{
    m.setSetupDataMode(scene == SetupData);
    if (scene == Fresh || scene == SetupData)
        return;
    alloc(m, 1, 1);
    header(m, 0, timed(title(64, 60, 1), 59, 0, 0));
    allocClip(m, 1);
    alloc(m, 1, 1);
    if (scene == Keyed)
        status(m, In::DskPlay, 0);
    m.setSettingBusyTime(30000);
    if (scene == Loading)
        status(m, In::SetMemorySetting, 0x0001, 15); // the aspect alone: "Loading..."
    if (scene == InjectedBusy || scene == InjectedRefusal)
        m.injectStatus(scene == InjectedBusy ? Busy : Refused, 1);
    if (scene == Failing)
        m.injectFailedRequests(1);
}

void row(const char *name, Scene scene, In r, int value, int index, int answer)
{
    QTest::newRow(name) << int(scene) << false << int(r) << value << index << 0 << answer;
}

void row(const char *name, Scene scene, Out r, int value, int index, int answer, int payload = 0)
{
    QTest::newRow(name) << int(scene) << true << int(r) << value << index << payload << answer;
}

} // namespace

class TestVirtualMixer : public QObject
{
    Q_OBJECT

    Waits m_waits{0.01};

private slots:
    void answers_data()
    {
        QTest::addColumn<int>("scene");
        QTest::addColumn<bool>("isOut");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("payload");
        QTest::addColumn<int>("answer"); // status byte, memory number, Done or Stalled
        row("nothing keyed: no pause", Fresh, In::DskPause, 0, 0, Refused);
        row("nothing stored: no play", Fresh, In::DskPlay, 0x55, 0, Refused);
        row("no header of nothing", Fresh, In::ReadTitleHeader, 0x123, 0, Stalled);
        row("no layout of nothing", Fresh, In::GetFrameLayout, 0x123, 0, Stalled);
        row("no frame read of nothing", Fresh, In::BeginFrameRead, 0x123, 0, Refused);
        row("no frame write of nothing", Fresh, In::BeginFrameWrite, 0x123, 0, Refused);
        row("no setup data out of its mode", Fresh, In::BeginSetupDataRead, 0, 0, Refused);
        row("in code never defined", Fresh, In(0x0E), 0, 0, Stalled);
        row("out code never defined", Fresh, Out(0x02), 0, 0, Stalled);
        row("cancel of no side", Fresh, Out::CancelTransfer, 4, 0, Stalled);
        row("clearing nothing is no error", Fresh, Out::MemoryOperation, 0x0777, 0, Done);
        row("the host's own clear code", Fresh, Out::MemoryOperation, MemoryNo::AllListTitles, 0,
            Stalled);
        row("protecting nothing", Fresh, Out::MemoryOperation, 0x0999, 4, Stalled);
        row("header of nothing", Fresh, Out::WriteTitleHeader, 0x123, 0, Stalled, 40);
        row("more PAL rows than there are", Fresh, In::SetMemorySetting, 0x0100, 27, Refused);
        row("serial command cut short", Fresh, Out::SendSerialCommand, 0, 0, Stalled, 10);
        row("header cut short", Stored, Out::WriteTitleHeader, 0, 0, Stalled, 39);
        row("no header: no frame size", Stored, In::BeginFrameWrite, 1, 0, Refused);
        row("no frame 1", Stored, In::BeginFrameWrite, 0, 1, Refused);
        row("clips are not keyed", Stored, In::DskPlay, 0x4000, 0, Refused);
        row("no frame info past the last frame", Stored, In::GetFrameInfo, 0, 2, Refused);
        row("no such memory operation", Stored, Out::MemoryOperation, 0, 2, Stalled);
        row("keyed: no play during the in effect", Keyed, In::DskPlay, 0, 0, Refused);
        row("keyed: the title stays", Keyed, Out::MemoryOperation, 0, 0, Stalled);
        row("keyed: so does the whole memory", Keyed, Out::MemoryOperation, MemoryNo::AllMemory, 0,
            Stalled);
        row("keyed: IntVideo goes", Keyed, Out::MemoryOperation, MemoryNo::AllIntVideo, 0, Done);
        row("keyed: the cursor preview waits", Keyed, In::PreviewStart, 0, 1, Refused);
        row("keyed: the memory window's does not", Keyed, In::PreviewStart, 0x4000, 0, Accepted);
        row("loading: play", Loading, In::DskPlay, 0, 0, Busy);
        row("loading: setting", Loading, In::SetMemorySetting, 0, 10, Busy);
        row("loading: autotake", Loading, In::Autotake, 0, 0, Busy);
        row("loading: preview", Loading, In::PreviewStart, 0, 0, Busy);
        row("loading: frame write", Loading, In::BeginFrameWrite, 0, 0, Busy);
        row("loading: frame info", Loading, In::GetFrameInfo, 0, 0, Busy);
        row("loading: map read stops", Loading, In::BeginMemoryMapRead, 0, 0, 0);
        row("loading: no allocation", Loading, In::AllocTitleMemory, 1, 1, MemoryNo::None);
        row("loading: firmware answers", Loading, In::GetFirmwareVersion, 0, 0, 0);
        row("setup mode: keyer", SetupData, In::DskStop, 0, 0, Stalled);
        row("setup mode: allocation", SetupData, In::AllocTitleMemory, 1, 1, Stalled);
        row("setup mode: memory operation", SetupData, Out::MemoryOperation, 0, 0, Stalled);
        row("setup mode: firmware answers", SetupData, In::GetFirmwareVersion, 0, 0, 0);
        row("setup mode: cancel", SetupData, Out::CancelTransfer, 2, 0, Done);
        // Injected faults apply to what comes next only.
        row("injected busy: frame write", InjectedBusy, In::BeginFrameWrite, 0, 0, Busy);
        row("injected busy: allocation", InjectedBusy, In::AllocTitleMemory, 1, 1, MemoryNo::None);
        row("injected refusal: play", InjectedRefusal, In::DskPlay, 0, 0, Refused);
        row("injected refusal: map read stops", InjectedRefusal, In::BeginMemoryMapRead, 0, 0, 0);
        row("injected refusal: frame info", InjectedRefusal, In::GetFrameInfo, 0, 0, Refused);
        row("injected failure", Failing, In::GetFirmwareVersion, 0, 0, Stalled);
        row("injected failure out", Failing, Out::MemoryOperation, 0x0777, 0, Stalled);
    }

    void answers()
    {
        QFETCH(int, scene);
        QFETCH(bool, isOut);
        QFETCH(int, request);
        QFETCH(int, value);
        QFETCH(int, index);
        QFETCH(int, payload);
        QFETCH(int, answer);
        VirtualMixer m(m_waits, 5);
        setUp(m, Scene(scene));
        const auto ask = [&] {
            if (isOut)
                return out(m, Out(request), value, index, QByteArray(payload, '\0')) ? Done
                                                                                     : Stalled;
            const QByteArray reply = in(m, In(request), value, index);
            const bool allocation = request == int(In::AllocTitleMemory);
            return reply.isEmpty() ? Stalled : allocation ? word(reply, 0) : std::uint8_t(reply[0]);
        };
        QCOMPARE(ask(), answer);
        if (scene >= InjectedBusy)
            QVERIFY(ask() != answer);
    }

    void allocation()
    {
        VirtualMixer m(m_waits, 7);
        // Runs of four start after the block in use, then the next row; runs of
        // two fill the gaps; never across rows.
        QCOMPARE(alloc(m, 1, 1), 0);
        QCOMPARE(alloc(m, 4, 2), 1);
        QCOMPARE(alloc(m, 2, 3), 2);
        QCOMPARE(places(m, 1), QList<int>({0, 1, 1, 0}));
        QCOMPARE(places(m, 2), QList<int>({0, 5, 1, 4, 1, 6}));
        QCOMPARE(int(m.block(0, 4).memoryNo), 1);
        // Full rows for the rest of the title area (13 rows left), then no room.
        QCOMPARE(alloc(m, 8, 14), NotStored);
        QCOMPARE(m.block(2, 0).usage, BlockUsage::Empty); // nothing half-allocated
        QCOMPARE(alloc(m, 8, 13), 3);
        QCOMPARE(alloc(m, 1, 2), NotStored); // only row 0 block 7 is left
        QCOMPARE(alloc(m, 1, 1), 4);
        QCOMPARE(alloc(m, 1, 1), NotStored);
        QCOMPARE(alloc(m, 3, 1), NotStored);               // a bad run length
        QCOMPARE(m.block(15, 0).usage, BlockUsage::Empty); // titles stay out of IntVideo
        // Clips: whole rows from row 15, numbered from 0x4000.
        QCOMPARE(allocClip(m, 2), int(MemoryNo::FirstClip));
        QCOMPARE(places(m, MemoryNo::FirstClip), QList<int>({15, 0, 16, 0}));
        QCOMPARE(m.block(16, 7).usage, BlockUsage::UsedIntVideo);
        QCOMPARE(allocClip(m, 14), NotStored); // 13 rows are left
        QCOMPARE(allocClip(m, 13), 0x4001);
        QCOMPARE(allocClip(m, 0), NotStored);
        // Device words: in the reply, never 0, never twice; a cleared number comes
        // back with a fresh word.
        const std::uint32_t word0 = m.item(0)->deviceWord;
        QVERIFY(word0 != 0 && word0 != m.item(1)->deviceWord);
        QVERIFY(out(m, Out::MemoryOperation, 0, 0));
        const QByteArray reply = in(m, In::AllocTitleMemory, 1, 1);
        QCOMPARE(word(reply, 0), 0);
        QCOMPARE(qFromLittleEndian<quint32>(reply.constData() + 2), m.item(0)->deviceWord);
        QVERIFY(m.item(0)->deviceWord != word0 && m.item(0)->deviceWord != 0);
    }

    void protectAndClear()
    {
        VirtualMixer m(m_waits, 3);
        const int kept = alloc(m, 1, 2, true), plain = alloc(m, 1, 1), clip = allocClip(m, 1);
        QCOMPARE(m.block(0, 0).usage, BlockUsage::KeptTitle);
        QCOMPARE(m.block(0, 2).usage, BlockUsage::UsedTitle);
        QCOMPARE(uchar(m.titleHeader(kept)->at(2)), uchar(0x80));
        // The device keeps its own number, word and protect bit whatever the header says.
        TitleAttributes a = title();
        a.setDeviceWord(0x12345678);
        QVERIFY(header(m, kept, a));
        const QByteArray h = in(m, In::ReadTitleHeader, kept);
        QCOMPARE(word(h, 0), kept);
        QCOMPARE(qFromLittleEndian<quint32>(h.constData() + 36), m.item(kept)->deviceWord);
        QCOMPARE(uchar(h[2]), uchar(0x80));
        QCOMPARE(word(h, 32), 100);
        QVERIFY(out(m, Out::MemoryOperation, kept, 1));
        QCOMPARE(m.block(0, 1).usage, BlockUsage::UsedTitle);
        QVERIFY(out(m, Out::MemoryOperation, kept, 4));
        QCOMPARE(m.block(0, 1).usage, BlockUsage::KeptTitle);
        // All IntVideo data: titles stay. The whole memory: protected data goes too.
        QVERIFY(out(m, Out::MemoryOperation, MemoryNo::AllIntVideo, 0));
        QVERIFY(!m.item(clip) && m.item(kept) && m.item(plain));
        QVERIFY(out(m, Out::MemoryOperation, MemoryNo::AllMemory, 0));
        QVERIFY(!m.item(kept));
        QCOMPARE(m.block(0, 0).usage, BlockUsage::Empty);
        QCOMPARE(int(m.block(0, 0).memoryNo), None);
    }

    void memoryMapBlock()
    {
        VirtualMixer m(m_waits, 3);
        const int t = alloc(m, 2, 1, true);
        allocClip(m, 1);
        QCOMPARE(status(m, In::BeginMemoryMapRead), 1);
        const QByteArray map = readBulk(m, 1024);
        QCOMPARE(map.size(), 1024);
        QCOMPARE(map, m.memoryMapBlock());
        QCOMPARE(map.left(8), QByteArray("\xFE\xFF\xFC\xFD\x00\x00\x0F\x00", 8)); // NTSC, 4:3, 15
        QCOMPARE(int(map[8]), int(BlockUsage::KeptTitle));
        QCOMPARE(word(map, 10), t);
        QCOMPARE(word(map, 8 + 2 * 4 + 2), None);
        QCOMPARE(int(map[8 + 15 * 8 * 4]), int(BlockUsage::UsedIntVideo));
        std::uint8_t extra[16]; // nothing more follows the block
        QCOMPARE(m.bulkIn(extra, 16, 5).status, TransferStatus::TimedOut);
        // A bad magic once, then the good one again.
        m.injectBadMapMagic(1);
        for (bool bad : {true, false}) {
            QCOMPARE(status(m, In::BeginMemoryMapRead), 1);
            QCOMPARE(readBulk(m, 1024).left(4) != map.left(4), bad);
        }
    }

    void frameWriteAndReadBack()
    {
        VirtualMixer m(m_waits, 5);
        // Two frames of 100 x 100 (two blocks each, NTSC lines of 112 pixels).
        const int t = alloc(m, 2, 2);
        QVERIFY(header(m, t, title(100, 100, 2, 2)));
        const int w = 112, lines = 100, size = (w * 4 * lines + 511) / 512 * 512;
        QList<QByteArray> frames;
        for (int f = 0; f < 2; ++f) {
            QByteArray frame = pattern(size, 241 - f * 4);
            frame.replace(0, 4, QByteArray("\xFF\x00\xFD\xFC", 4)); // the upload marker
            QCOMPARE(writeFrame(m, t, f, frame), size);
            frames << frame;
        }
        // Stored as 720-pixel lines, padded with transparent black.
        const QByteArray stored = *m.frameLines(t, 1);
        QCOMPARE(stored.size(), lines * 2880);
        QCOMPARE(stored.mid(5 * 2880 + 3 * 4, 4), frames[1].mid((5 * w + 3) * 4, 4));
        QCOMPARE(stored.mid(5 * 2880 + w * 4, 4), Blank);
        QCOMPARE(stored.mid(2880 - 4, 4), Blank);
        // Both frames start in row 0, at blocks 0 and 2.
        QCOMPARE(in(m, In::GetFrameInfo, t, 1), QByteArray("\x02\x01\x00\x01\0\0\0\0\0\0", 10));
        QCOMPARE(in(m, In::GetFrameLayout, t, 0), QByteArray("\x01\x00\x01\0\0\0\0\0\0\0", 10));
        // The read-back covers the row up to the end of the last frame: 4 blocks of 60 lines.
        QCOMPARE(status(m, In::BeginFrameRead, t, 0), Accepted);
        const int readSize = (240 * 2880 + 511) / 512 * 512;
        const QByteArray stream = readBulk(m, readSize);
        QCOMPARE(stream.size(), readSize);
        QCOMPARE(stream.left(8), QByteArray("\x00\x00\xFD\xFC", 4) + Blank);
        // The host rebuilds line r from stream pixels r*720+2 .. r*720+720; that must be
        // the stored line from its first pixel. Frame 1 starts 120 lines down.
        for (int f = 0; f < 2; ++f) {
            for (int y : {0, 1, 57, 99})
                QCOMPARE(stream.mid(((f * 120 + y) * 720 + 2) * 4, w * 4),
                         frames[f].mid(y * w * 4, w * 4));
        }
        // A frame cancelled half-way leaves the memory as it was.
        const QByteArray before = *m.frameLines(t, 0);
        QCOMPARE(writeFrame(m, t, 0, QByteArray(4096, '\x55')), 4096);
        QVERIFY(out(m, Out::CancelTransfer, 3));
        QCOMPARE(*m.frameLines(t, 0), before);
        std::uint8_t byte = 0;
        QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::TimedOut); // nothing announced
    }

    void palGeometry()
    {
        VirtualMixer m(m_waits, 5);
        QCOMPARE(status(m, In::SetMemorySetting, 0x0101, 20), Accepted);
        QCOMPARE(QList<int>({m.signal(), m.aspect(), m.rowCount(), m.titleRows()}),
                 QList<int>({1, 1, 26, 20}));
        QTRY_VERIFY_WITH_TIMEOUT(!m.settingBusy(), 2000);
        QCOMPARE(allocClip(m, 7), NotStored); // six IntVideo rows
        const int clip = allocClip(m, 1);
        QCOMPARE(places(m, clip), QList<int>({20, 0}));
        // A 768-wide PAL clip line is 720 device pixels; its frame is a whole 576-line row.
        QVERIFY(header(m, clip, title(768, 576, 8)));
        QCOMPARE(writeFrame(m, clip, 0, QByteArray(720 * 4 * 576, '\x20')), 720 * 4 * 576);
        QCOMPARE(m.frameLines(clip, 0)->size(), 576 * 2880);
        QCOMPARE(in(m, In::GetFrameInfo, clip, 0).at(9), char(1));
        QCOMPARE(status(m, In::BeginFrameRead, clip, 0), Accepted);
        QCOMPARE(readBulk(m, 576 * 2880).size(), 576 * 2880);
        // 100 PAL pixels are 93 device pixels.
        const int t = alloc(m, 2, 1);
        QVERIFY(header(m, t));
        QCOMPARE(status(m, In::BeginFrameWrite, t, 0), Accepted);
        const int size = (93 * 4 * 100 + 511) / 512 * 512;
        QCOMPARE(writeBulk(m, QByteArray(size, '\x30')), size);
        std::uint8_t byte = 0;
        QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::TimedOut);
    }

    void keyerTimeline()
    {
        // Nominal milliseconds on a clock of the test's own.
        Waits real(1.0);
        MixerKeyer k(real);
        const MixerKeyer::Clock::time_point t0{std::chrono::hours(1)};
        QList<QByteArray> lines;
        const auto at = [&](int ms) {
            lines.clear();
            k.advance(t0 + std::chrono::milliseconds(ms), lines);
            return lines.join().replace('\r', '|');
        };
        const MixerKeyerTiming timing{1000, 5000, 1000, true};
        QVERIFY(k.play(7, timing, t0, lines));
        QCOMPARE(lines, QList<QByteArray>{"in start       7\r"});
        // "out end" falls on the duration, before the host's own end timer.
        for (const auto &[ms, step] :
             QList<std::pair<int, QByteArray>>{{999, ""},
                                               {1000, "in end|"},
                                               {3999, ""},
                                               {4000, "out start       7|"},
                                               {4999, ""},
                                               {5000, "out end|"}})
            QCOMPARE(at(ms), step);
        QCOMPARE(k.state(), MixerKeyerState::Idle);
        QCOMPARE(k.memoryNo(), MemoryNo::None);
        // Effects longer than the duration run in full, without a hold.
        QVERIFY(k.play(8, {2000, 1000, 2000, true}, t0 + 10s, lines));
        QCOMPARE(at(12000), QByteArray("in end|out start       8|"));
        QVERIFY(at(13999).isEmpty());
        QCOMPARE(at(14000), QByteArray("out end|"));
        // A pause freezes the keyer's clock.
        QVERIFY(k.play(10, timing, t0 + 50s, lines));
        QVERIFY(k.togglePause(t0 + 50500ms));
        QVERIFY(at(60000).isEmpty());
        QVERIFY(k.togglePause(t0 + 60000ms));
        QVERIFY(at(60499).isEmpty());
        QCOMPARE(at(60500), QByteArray("in end|"));
        k.cut(lines);
        // A late look still gets every line, in order; numbers are decimal.
        QVERIFY(k.play(0x4000, timing, t0 + 20s, lines));
        QCOMPARE(at(40000), QByteArray("in end|out start       16384|out end|"));

        // Times from a header (DurFrame 15, DurSecond 2, DurMinute 1, in effect 10
        // frames, out effect 3 frames, manual out), in the format's frame time.
        TitleAttributes a;
        a.setDurFrame(15);
        a.setDurSecond(2);
        a.setDurMinute(1);
        a.setEffTimeFrame(Effect::In, 10);
        a.setEffTimeFrame(Effect::Out, 3);
        const MixerKeyerTiming ntsc = MixerKeyerTiming::fromHeader(bytes(a), 33.3);
        QCOMPARE(QList<int>({ntsc.durationMs, ntsc.inEffectMs, ntsc.outEffectMs}),
                 QList<int>({62499, 333, 99}));
        QVERIFY(!ntsc.autoOut);
        QCOMPARE(MixerKeyerTiming::fromHeader(bytes(a), 40.0).durationMs, 62600);
    }

    void keyerOuts()
    {
        VirtualMixer m(m_waits, 5);
        const int t = alloc(m, 1, 1);
        const int clip = allocClip(m, 1);
        EventReader events{m};
        // An automatic out follows the header's times on the mixer's clock.
        QVERIFY(header(m, t, timed(title(), 10, 12, 1)));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(status(m, In::DskPlay, t), Accepted);
        QCOMPARE(events.lines(), QByteArray("in start       0"));
        QCOMPARE(m.keyerState(), MixerKeyerState::InRunning);
        QCOMPARE(int(m.onAirMemoryNo()), t);
        QCOMPARE(events.lines(3), QByteArray("in end|out start       0|out end"));
        QVERIFY(clock.elapsed() >= m_waits.scaled(12000));
        QCOMPARE(int(m.onAirMemoryNo()), None);
        QVERIFY(events.lines(1, 30).isEmpty());
        // A manual out waits, well past the duration, for a play, a stop, an
        // autotake or the panel's take button.
        QVERIFY(header(m, t, timed(title(), 0, 1, 0, false)));
        const QList<std::function<bool()>> triggers = {
            [&] { return status(m, In::DskPlay, t) == Accepted; },
            [&] { return status(m, In::DskStop) == Accepted; },
            [&] { return status(m, In::Autotake) == Accepted; },
            [&] { return m.pressDskButton(); },
        };
        for (const auto &trigger : triggers) {
            QCOMPARE(status(m, In::DskPlay, t), Accepted);
            QCOMPARE(events.lines(2), QByteArray("in start       0|in end"));
            QVERIFY(events.lines(1, m_waits.scaled(1000) * 3).isEmpty());
            QCOMPARE(m.keyerState(), MixerKeyerState::Showing);
            QVERIFY(trigger());
            QCOMPARE(events.lines(2), QByteArray("out start       0|out end"));
        }
        QCOMPARE(m.autotakeCount(), 1);
        // The panel's take button plays the title previewed from the keyer cursor.
        QVERIFY(!m.pressDskButton()); // nothing previewed
        QCOMPARE(status(m, In::PreviewStart, t, 1), Accepted);
        QVERIFY(m.pressDskButton());
        QCOMPARE(events.lines(2), QByteArray("in start       0|in end"));
        QVERIFY(m.pressDskButton());
        QCOMPARE(events.lines(2), QByteArray("out start       0|out end"));
        // A pause freezes the in effect; a stop during it runs the out right after it.
        QVERIFY(header(m, t, timed(title(), 59, 1, 0, false)));
        QCOMPARE(status(m, In::DskPlay, t), Accepted);
        QCOMPARE(status(m, In::DskPause), Accepted);
        QVERIFY(m.keyerPaused());
        QCOMPARE(m.millisecondsToNextKeyerStep(), -1);
        QCOMPARE(status(m, In::DskPause), Accepted);
        QVERIFY(!m.keyerPaused() && m.millisecondsToNextKeyerStep() > 0);
        QCOMPARE(status(m, In::DskStop), Accepted);
        QCOMPARE(events.lines(4), Played);
        // The memory window's preview, and its end.
        QCOMPARE(status(m, In::PreviewStart, clip, 0), Accepted);
        QCOMPARE(int(m.previewMemoryNo()), clip);
        QCOMPARE(status(m, In::PreviewStop), Accepted);
        QCOMPARE(int(m.previewMemoryNo()), None);
    }

    void settingChanges()
    {
        VirtualMixer m(m_waits, 5);
        m.setSettingBusyTime(30000);
        const int kept = alloc(m, 1, 1, true);
        // The aspect alone keeps the memory; "Loading..." ends by itself.
        QCOMPARE(status(m, In::SetMemorySetting, 0x0001, 15), Accepted);
        QVERIFY(m.item(kept));
        QVERIFY(m.settingBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!m.settingBusy(), 5000);
        m.setSettingBusyTime(0);
        // A title-row change empties the memory, protected titles included.
        QCOMPARE(status(m, In::SetMemorySetting, 0x0001, 10), Accepted);
        QVERIFY(!m.item(kept));
        QCOMPARE(m.titleRows(), 10);
        // A signal change ends the keyed title at once.
        const int t = alloc(m, 1, 1);
        QVERIFY(header(m, t, timed(title(), 0, 0, 0, false)));
        EventReader events{m};
        QCOMPARE(status(m, In::DskPlay, t), Accepted);
        QCOMPARE(events.lines(2), QByteArray("in start       0|in end"));
        QCOMPARE(status(m, In::SetMemorySetting, 0x0100, 10), Accepted);
        QCOMPARE(events.lines(), QByteArray("out end"));
        QCOMPARE(m.keyerState(), MixerKeyerState::Idle);
        QVERIFY(!m.item(t));
        QCOMPARE(m.signal(), 1);
    }

    void setupDataWrite()
    {
        VirtualMixer m(m_waits, 5);
        m.setSetupDataMode(true);
        const QByteArray before = m.setupData(), fresh = pattern(32768);
        QCOMPARE(before.size(), fresh.size());
        QCOMPARE(status(m, In::BeginSetupDataWrite), Accepted);
        QCOMPARE(writeBulk(m, fresh.left(10000)), 10000);
        QCOMPARE(m.setupData(), before); // not taken until complete
        QCOMPARE(writeBulk(m, fresh.mid(10000)), 32768 - 10000);
        QCOMPARE(m.setupData(), fresh);
    }

    void panelKeysAndRecordedRequests()
    {
        VirtualMixer m(m_waits, 5);
        QCOMPARE(in(m, In::GetKeyCodes), QByteArray(9, '\xFF') + '\0');
        m.pressPanelKey(0, 1);
        m.pressPanelKey(1, 2);
        m.pressPanelKey(9, 5); // no such slot
        QCOMPARE(in(m, In::GetKeyCodes).left(3), QByteArray("\x01\x02\xFF"));
        m.releasePanelKey(0);
        QCOMPARE(in(m, In::GetKeyCodes).left(1), QByteArray("\xFF"));
        // Pipe tests: the read counts 0..255 over and over to its last byte.
        QCOMPARE(status(m, In::BeginTestRead, 20), Accepted);
        QCOMPARE(readBulk(m, 20 * 512), pattern(20 * 512, 256));
        QCOMPARE(status(m, In::RecallEvent, 7), Accepted);
        QCOMPARE(m.lastRecalledEvent(), 7);
        QCOMPARE(status(m, In::PreviewMemoryPage, 3), Accepted);
        QCOMPARE(m.lastPreviewPage(), 3);
        // String descriptors are UTF-16, low byte first.
        QCOMPARE(m.stringDescriptor(VirtualMixerIds::ProductString).mid(1, 5),
                 QByteArray("\x03K\0L\0", 5));
    }

    void bulkFaults()
    {
        VirtualMixer m(m_waits, 5);
        // A stalled read: the data stops after 5000 bytes; the piece times out short.
        m.injectBulkStall(5000);
        QCOMPARE(status(m, In::BeginTestRead, 20), Accepted);
        TransferResult last;
        QCOMPARE(readBulk(m, 10240, &last).size(), 5000);
        QCOMPARE(last.status, TransferStatus::TimedOut);
        QCOMPARE(last.transferred, 5000 - 4096);
        QVERIFY(out(m, Out::CancelTransfer, 2));
        // A short read completes the transfer early.
        m.injectShortBulk(6000);
        QCOMPARE(status(m, In::BeginTestRead, 20), Accepted);
        QCOMPARE(readBulk(m, 10240, &last).size(), 6000);
        QCOMPARE(last.status, TransferStatus::Completed);
        // A short write halts the write endpoint until its halt is cleared.
        m.injectShortBulk(4096);
        QCOMPARE(status(m, In::BeginTestWrite, 20), Accepted);
        QCOMPARE(writeBulk(m, QByteArray(10240, 'x'), &last), 4096);
        QCOMPARE(last.status, TransferStatus::Stalled);
        std::uint8_t byte = 0;
        QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::Stalled);
        m.clearHalt(VirtualMixerIds::WriteEndpoint);
        QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::TimedOut);
        // Leaving the bus in the middle of a frame drops the job for good; a
        // transfer too short to reach the fault's bytes passes and leaves it armed.
        m.injectUnplugDuringBulk(8192);
        QCOMPARE(status(m, In::BeginTestRead, 2), Accepted);
        QCOMPARE(readBulk(m, 1024).size(), 1024);
        QCOMPARE(status(m, In::BeginTestWrite, 40), Accepted);
        QCOMPARE(writeBulk(m, QByteArray(20480, 'y'), &last), 8192);
        QCOMPARE(last.status, TransferStatus::NoDevice);
        m.plug();
        QCOMPARE(m.bulkOut(&byte, 1, 5).status, TransferStatus::TimedOut);
        // A port reset drops the announced transfer.
        QCOMPARE(status(m, In::BeginTestRead, 1), Accepted);
        m.resetPort();
        QCOMPARE(m.bulkIn(&byte, 1, 5).status, TransferStatus::TimedOut);
        // Faults not yet used up can be taken back.
        m.injectStatus(Busy, 5);
        m.clearFaults();
        QCOMPARE(status(m, In::DskStop), Accepted);
        // A status fault for a named request leaves the others alone.
        m.injectStatus(Busy, 1, int(In::AllocTitleMemory));
        QCOMPARE(status(m, In::DskStop), Accepted);
        QCOMPARE(alloc(m, 1, 1), int(MemoryNo::None));
        QVERIFY(alloc(m, 1, 1) != int(MemoryNo::None));
    }

    void readBackAndEventFaults()
    {
        VirtualMixer m(m_waits, 5);
        const int t = alloc(m, 1, 1);
        QVERIFY(header(m, t, title(640, 60, 1)));
        QCOMPARE(writeFrame(m, t, 0, pattern(720 * 4 * 60, 253)), 720 * 4 * 60);
        QList<QByteArray> reads;
        for (int shift : {0, 3, 0}) { // the shift is used up by one read
            if (shift)
                m.injectShiftedReadBack(shift);
            QCOMPARE(status(m, In::BeginFrameRead, t, 0), Accepted);
            reads << readBulk(m, 60 * 2880);
        }
        const QByteArray &good = reads[0], &shifted = reads[1];
        QCOMPARE(reads[2], good);
        QCOMPARE(shifted.size(), good.size());
        QCOMPARE(shifted.left(3 * 2880), good.left(3 * 2880));
        QCOMPARE(shifted.mid(3 * 2880, 2), QByteArray(2, '\0'));
        QCOMPARE(shifted.mid(3 * 2880 + 2, 5000), good.mid(3 * 2880, 5000));

        QVERIFY(header(m, t));
        m.injectMalformedEventLines(2);
        EventReader events{m};
        QCOMPARE(status(m, In::DskPlay, t), Accepted);
        QCOMPARE(events.lines(4), QByteArray("in start       #0|in_end|out start       0|out end"));
        // Numbers nothing stored has, a lost "out end", and a mixer that
        // leaves the bus a while after its third line: a blocked read sees it go.
        m.injectForeignNumbers(1);
        m.injectDroppedOutEnds(1);
        m.injectLeave(3, 1000);
        QCOMPARE(status(m, In::DskPlay, t), Accepted);
        QCOMPARE(events.lines(3), QByteArray("in start       16383|in end|out start       0"));
        std::uint8_t report[64];
        QCOMPARE(m.interruptIn(report, 64, -1).status, TransferStatus::NoDevice);
        QVERIFY(!m.isPlugged() && m.faults().leaveAfterLines == -1);
    }

    void eventReports()
    {
        MixerEventQueue q;
        std::uint8_t r[64];
        q.append("in start       1\r");
        q.append(QByteArray(60, 'a') + '\r');
        QCOMPARE(q.takeReport(r, 64), 64);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(r), 18),
                 QByteArray("in start       1\r") + '\0');
        // A line that fits alone goes alone, whole.
        QCOMPARE(q.takeReport(r, 64), 64);
        QCOMPARE(r[60], uchar('\r'));
        QVERIFY(q.isEmpty());
        // A line longer than a report comes in parts, each followed by a zero byte.
        q.append(QByteArray(100, 'b') + '\r');
        q.takeReport(r, 64);
        QCOMPARE(QList<int>({r[62], r[63]}), QList<int>({'b', 0}));
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
    }

    void unplugEndsBlockedTransfers()
    {
        VirtualMixer m(m_waits, 5);
        const int t = alloc(m, 1, 1);
        std::uint8_t buf[64];
        auto readEvents =
            std::async(std::launch::async, [&] { return m.interruptIn(buf, 64, -1); });
        auto readBulkData = std::async(std::launch::async, [&] {
            std::uint8_t data[4096];
            return m.bulkIn(data, 4096, -1);
        });
        m.unplug();
        QCOMPARE(readEvents.get().status, TransferStatus::NoDevice);
        QCOMPARE(readBulkData.get().status, TransferStatus::NoDevice);
        // Lines fall on the floor while the cable is out; the memory stays.
        m.queueRawEventText("lost\r");
        m.plug();
        QCOMPARE(m.interruptIn(buf, 64, 0).status, TransferStatus::TimedOut);
        QVERIFY(m.item(t));
    }

    void workerAndRequestsTogether()
    {
        // A frame moves on a worker thread while this thread keeps asking and keying.
        VirtualMixer m(m_waits, 5);
        const int clip = allocClip(m, 1);
        QVERIFY(header(m, clip, title(640, 480, 8)));
        const int t = alloc(m, 1, 1);
        QVERIFY(header(m, t));
        const QByteArray frame = pattern(720 * 4 * 480);
        QCOMPARE(status(m, In::BeginFrameWrite, clip, 0), Accepted);
        auto worker = std::async(std::launch::async, [&] { return writeBulk(m, frame); });
        EventReader events{m};
        int plays = 0;
        do {
            QCOMPARE(status(m, In::GetFrameInfo, clip, 0), Accepted);
            if (status(m, In::DskPlay, t) == Accepted) {
                QCOMPARE(events.lines(4), Played);
                ++plays;
            }
        } while (worker.wait_for(0ms) != std::future_status::ready);
        QCOMPARE(worker.get(), int(frame.size()));
        QVERIFY(plays > 0);
        QCOMPARE(*m.frameLines(clip, 0), frame);
    }

    void backendAdapter()
    {
        VirtualMixer m(m_waits, 5);
        VirtualMixerBackend b(m);
        QSignalSpy arrived(&b, &UsbBackend::deviceArrived);
        std::uint8_t reply[64];
        QVERIFY(!b.vendorIn(0x06, 0, 0, reply, 4)); // not open yet
        QVERIFY(b.open());
        QCOMPARE(b.getDescriptor(3, reply, 64), -1);
        std::memset(reply, 0xAA, sizeof reply);
        QVERIFY(b.vendorIn(0x06, 0, 0, reply, 8));
        QCOMPARE(reply[5], uchar(0)); // the rest is zeroed
        // Transfers need an open pipe of the interface.
        QCOMPARE(b.transfer(VirtualMixerIds::ReadEndpoint, reply, 8, 5).status,
                 TransferStatus::Error);
        QVERIFY(!b.openPipe(0, 0x05));
        QVERIFY(!b.openPipe(1, VirtualMixerIds::WriteEndpoint));
        QVERIFY(b.openPipe(0, VirtualMixerIds::ReadEndpoint));
        // The old handle stays dead after a re-plug.
        m.unplug();
        QVERIFY(!b.devicePresent());
        m.plug();
        QVERIFY(arrived.wait(2000));
        QVERIFY(!b.vendorIn(0x06, 0, 0, reply, 4));
        QCOMPARE(b.transfer(VirtualMixerIds::ReadEndpoint, reply, 8, 5).status,
                 TransferStatus::NoDevice);
        b.close();
        QVERIFY(b.open());
        // close() ends a transfer blocked without limit: cancelled when it was
        // already waiting, refused when close() came first.
        QVERIFY(b.openPipe(0, VirtualMixerIds::EventEndpoint));
        auto pending = std::async(std::launch::async, [&] {
            std::uint8_t data[64];
            return b.transfer(VirtualMixerIds::EventEndpoint, data, 64, 0);
        });
        while (pending.wait_for(1ms) != std::future_status::ready)
            b.close();
        const TransferStatus ended = pending.get().status;
        QVERIFY(ended == TransferStatus::Cancelled || ended == TransferStatus::Error);
    }

    // The state file: everything stored comes back in the next run, saved
    // after each completed transfer or clear, not in the middle of a title.
    void stateFileKeepsTheMemory()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("mixer.state");
        QByteArrayList before;
        {
            VirtualMixer m(m_waits, 5);
            QString why;
            auto file = MixerStateFile::open(path, m, &why);
            QVERIFY2(file, qPrintable(why));
            const QByteArray empty = readFile(path);
            QVERIFY(MixerStateFile::decode(empty, &why));
            m.setSettingBusyTime(0);
            QCOMPARE(status(m, In::SetMemorySetting, 0x0001, 12), Accepted);
            const int kept = alloc(m, 2, 2, true), plain = alloc(m, 1, 1), clip = allocClip(m, 1);
            QVERIFY(header(m, kept, title(100, 100, 2, 2)) && header(m, clip, title(200, 50, 8)));
            const int size = (112 * 4 * 100 + 511) / 512 * 512;
            QCOMPARE(writeFrame(m, kept, 0, pattern(size, 241)), size);
            const QByteArray halfway = readFile(path);
            QCOMPARE(writeFrame(m, kept, 1, pattern(size, 239)), size);
            QVERIFY(readFile(path) != halfway);
            const int clipSize = (225 * 4 * 50 + 511) / 512 * 512;
            QCOMPARE(writeFrame(m, clip, 0, pattern(clipSize)), clipSize);
            QVERIFY(out(m, Out::MemoryOperation, plain, 0)); // a clear is saved at once
            m.setSetupData(pattern(32768, 13));
            m.injectBadMapMagic(1);
            before = held(m);
            const auto saved = MixerStateFile::decode(readFile(path), &why);
            QVERIFY(saved && saved->memory.items.size() == 2 && saved->faults.badMapMagic == 0);
        } // closing writes the rest: the armed fault
        VirtualMixer again(m_waits, 9);
        QString why;
        auto file = MixerStateFile::open(path, again, &why);
        QVERIFY2(file, qPrintable(why));
        QCOMPARE(held(again), before);
        QCOMPARE(again.aspect(), 1);
        QVERIFY(again.item(0)->isProtected && !again.item(1));
        QCOMPARE(status(again, In::BeginMemoryMapRead), 1);
        QVERIFY(readBulk(again, 1024).left(4) != before[0].left(4)); // the fault came along
        // New allocations go on with device words the stored titles do not hold.
        const int next = alloc(again, 1, 1);
        QVERIFY(again.item(next)->deviceWord != again.item(0)->deviceWord);
    }

    // Bulk data takes bytes / rate on the link, scaled like every wait; the
    // rate is kept in the file with the panel keys; a version-1 file (written
    // before there was a rate) reads as unlimited, older files as no key held.
    void linkRatePacesBulkDataAndIsKept()
    {
        Waits waits(0.1);
        VirtualMixer m(waits, 5);
        m.setLinkRate(100'000); // 1 s per 100,000 bytes, 0.1 s scaled
        const int t = alloc(m, 2, 1);
        QVERIFY(header(m, t, title(100, 100, 2, 1)));
        const int size = (112 * 4 * 100 + 511) / 512 * 512;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(writeFrame(m, t, 0, pattern(size)), size);
        QVERIFY2(clock.nsecsElapsed() >= qint64(size) * 1000,
                 qPrintable(QString::number(clock.nsecsElapsed())));

        m.pressPanelKey(4, 7);
        m.injectDroppedOutEnds(2);
        const QByteArray v4 = MixerStateFile::encode(m.snapshot());
        // Older files: without the keyer faults (3), the panel keys and the serial
        // block (2), and without the link rate either (1).
        const auto older = [&v4](int version, int cut) {
            QByteArray b = v4;
            b.remove(8 + 4 + 8 + 36 + 8 + 9 + 16 - cut, cut);
            b[8] = char(version);
            if (version < 3)
                b.chop(4); // the size of the (absent) last serial command
            b.chop(4);
            const quint32 crc = qToLittleEndian(MixerStateFile::checksum(b));
            b.append(reinterpret_cast<const char *>(&crc), 4);
            return b;
        };
        QString why;
        for (const auto &[bytes, rate, key, dropped] :
             {std::tuple{v4, 100'000u, 7, 2}, std::tuple{older(3, 16), 100'000u, 7, 0},
              std::tuple{older(2, 25), 100'000u, 0xFF, 0}, std::tuple{older(1, 33), 0u, 0xFF, 0}}) {
            const auto s = MixerStateFile::decode(bytes, &why);
            QVERIFY2(s, qPrintable(why));
            QCOMPARE(s->linkRate, rate);
            QCOMPARE(int(s->keyCodes[4]), key);
            QCOMPARE(s->faults.droppedOutEnds, dropped);
            QCOMPARE(s->memory.items.size(), 1);
        }
    }

    void stateFileRefusesDamage_data()
    {
        QTest::addColumn<int>("at"); // where to patch (-1: nothing)
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<int>("keep");    // bytes kept (-1: all)
        QTest::addColumn<bool>("reseal"); // checksum made right again
        const int items = 8 + 4 + 8 + 36 + 8 + 9 + 16 + 4 + 32768, firstItem = items + 4;
        const QByteArray none;
        QTest::newRow("empty") << -1 << none << 0 << false;
        QTest::newRow("cut in magic") << -1 << none << 5 << false;
        QTest::newRow("cut after version") << -1 << none << 12 << false;
        QTest::newRow("cut in setup data") << -1 << none << 3000 << false;
        QTest::newRow("cut in item") << -1 << none << firstItem + 5 << false;
        QTest::newRow("cut in pixels") << -1 << none << 500000 << false;
        QTest::newRow("last byte gone") << -1 << none << -2 << false;
        QTest::newRow("foreign magic") << 0 << QByteArray("PK\x03\x04", 4) << -1 << false;
        QTest::newRow("later version") << 8 << QByteArray("\x05", 1) << -1 << false;
        QTest::newRow("flipped pixel") << 400000 << QByteArray("\x7F", 1) << -1 << false;
        QTest::newRow("item count lies") << items << QByteArray("\x03", 1) << -1 << true;
        QTest::newRow("huge item count") << items + 3 << QByteArray("\x7F", 1) << -1 << true;
        QTest::newRow("frame count lies") << firstItem + 8 << QByteArray("\x05", 1) << -1 << true;
        QTest::newRow("frame off the row") << firstItem + 11 << QByteArray("\x07", 1) << -1 << true;
        QTest::newRow("setup size lies")
            << items - 32768 - 3 << QByteArray("\x01", 1) << -1 << true;
        QTest::newRow("bytes past the end") << -1 << QByteArray(7, 'x') << -1 << true;
    }

    void stateFileRefusesDamage()
    {
        QFETCH(int, at);
        QFETCH(QByteArray, patch);
        QFETCH(int, keep);
        QFETCH(bool, reseal);
        VirtualMixer source(m_waits, 5);
        const int t = alloc(source, 2, 1);
        QVERIFY(header(source, t, title(100, 100, 2, 1)));
        const int size = (112 * 4 * 100 + 511) / 512 * 512;
        QCOMPARE(writeFrame(source, t, 0, pattern(size)), size);
        QByteArray bytes = MixerStateFile::encode(source.snapshot());
        QVERIFY(MixerStateFile::decode(bytes, nullptr));
        if (at >= 0)
            bytes.replace(at, patch.size(), patch);
        else if (!patch.isEmpty())
            bytes.insert(bytes.size() - 4, patch);
        if (keep != -1)
            bytes.truncate(keep < 0 ? bytes.size() + keep + 1 : keep);
        if (reseal) {
            bytes.chop(4);
            const quint32 crc = qToLittleEndian(MixerStateFile::checksum(bytes));
            bytes.append(reinterpret_cast<const char *>(&crc), 4);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath("mixer.state");
        QVERIFY(writeFile(path, bytes));
        {
            VirtualMixer m(m_waits, 7);
            QString why;
            QVERIFY(!MixerStateFile::open(path, m, &why));
            QVERIFY2(why.contains("cannot be used"), qPrintable(why));
            QVERIFY(!m.item(0));
        }
        QCOMPARE(readFile(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"mixer.state"});
    }

    // One program at a time; plain `--virtual-mixer` keeps nothing on disk.
    void stateFileChoiceAndLock()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        SettingsStore settings(dir.filePath("unused.ini"));
        Waits waits(0.01);
        using UsbBackendChoice::Choice;
        QCOMPARE(UsbBackendChoice::virtualMixerArgument("--virtual-mixer=a b")->stateFile, "a b");
        QVERIFY(UsbBackendChoice::virtualMixerArgument("--virtual-mixer")->stateFile.isEmpty());
        QVERIFY(!UsbBackendChoice::virtualMixerArgument("--virtual-mixer="));
        auto plain = UsbBackendChoice::make(Choice{true, {}}, settings, waits);
        QVERIFY(plain && plain->open());
        plain.reset();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

        QString why;
        auto first =
            UsbBackendChoice::make(Choice{true, "m.state"}, settings, waits, nullptr, &why);
        QVERIFY2(first, qPrintable(why));
        QVERIFY(!UsbBackendChoice::make(Choice{true, "m.state"}, settings, waits, nullptr, &why));
        QVERIFY2(why.contains("in use by another program"), qPrintable(why));
        auto &mixer = static_cast<VirtualMixerBackend &>(*first).mixer();
        mixer.setSettingBusyTime(0);
        QCOMPARE(status(mixer, In::SetMemorySetting, 0x0000, 9), Accepted);
        first.reset(); // written back and unlocked
        auto second =
            UsbBackendChoice::make(Choice{true, "m.state"}, settings, waits, nullptr, &why);
        QVERIFY2(second, qPrintable(why));
        QCOMPARE(static_cast<VirtualMixerBackend &>(*second).mixer().titleRows(), 9);
        QVERIFY(!MixerStateFile::open(dir.filePath("no/such/folder/m.state"), mixer, &why));
        QVERIFY2(why.contains("cannot"), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(TestVirtualMixer)
#include "test_virtualmixer.moc"
