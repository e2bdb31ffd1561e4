// fuzz_seeds DIR: writes valid inputs for every fuzz target, made with the
// program's own writers (and the picture library for pictures), into DIR/TARGET/.
// Seeds are made when the targets run and are never kept in the repository.

#include "core/SetupDataFile.h"
#include "core/Waits.h"
#include "imaging/Bitmap.h"
#include "imaging/DeviceConvertReference.h"
#include "imaging/MagickImageLibrary.h"
#include "list/Cp932.h"
#include "list/ListFile.h"
#include "list/ListRecord.h"
#include "mixer/MixerKeyer.h"
#include "mixer/MixerStateFile.h"
#include "mixer/VirtualMixer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// Builds an input the way FuzzedDataProvider takes it apart: byte strings from
// the front, numbers from the back (most significant byte taken first).
class ProviderInput
{
public:
    void bytes(const QByteArray &b) { m_front += b; }
    // A number read with ConsumeIntegralInRange(low, high).
    void number(std::uint64_t value, std::uint64_t low, std::uint64_t high)
    {
        const std::uint64_t range = high - low;
        const std::uint64_t v = value - low;
        int n = 0;
        while (n < 8 && (range >> (8 * n)) > 0)
            ++n;
        for (int k = n - 1; k >= 0; --k)
            m_taken.append(char((v >> (8 * k)) & 0xFF));
    }
    void signedNumber(std::int64_t value, std::int64_t low, std::int64_t high)
    {
        number(std::uint64_t(value - low), 0, std::uint64_t(high - low));
    }
    void byte(std::uint8_t value) { number(value, 0, 0xFF); }
    void boolean(bool value) { byte(value ? 1 : 0); }
    QByteArray data() const
    {
        QByteArray back = m_taken;
        std::reverse(back.begin(), back.end());
        return m_front + back;
    }

private:
    QByteArray m_front;
    QByteArray m_taken;
};

QString g_root;
int g_failures = 0;

void write(const QString &target, const QString &name, const QByteArray &bytes)
{
    const QString folder = g_root + QLatin1Char('/') + target;
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", qPrintable(file.fileName()));
        ++g_failures;
    }
}

ListRecord sampleRecord(int n)
{
    ListRecord r;
    r.FirstFile = QStringLiteral("C:\\TITLES\\テロップ%1.tga").arg(n);
    r.Name = QStringLiteral("タイトル %1").arg(n);
    r.Comment = QStringLiteral("comment %1").arg(n);
    r.Attributes.setMemoryNo(std::uint16_t(n));
    r.Attributes.setKind(TitleKind(n % 4));
    r.Attributes.setBlocksPerFrame(1 << (n % 4));
    r.Attributes.setFrameCount(1 + n);
    r.Attributes.setRollCrawlSpeed(2 * n);
    r.Attributes.setPositionX(10 * n);
    r.Mark = n % 10;
    r.IconFrame = 1;
    return r;
}

void lists()
{
    std::vector<ListRecord> records;
    for (int n = 1; n <= 3; ++n)
        records.push_back(sampleRecord(n));
    write(QStringLiteral("listfile"), QStringLiteral("three"), ListFile::encodeRecords(records));
    write(QStringLiteral("listfile"), QStringLiteral("one"), ListFile::encodeRecords({records[0]}));

    QByteArray history;
    for (const ListRecord &r : records)
        history += *r.toHistory();
    for (const int pick : {0, 2}) {
        ProviderInput in;
        const QByteArray path = records[std::size_t(pick)].FirstFile.toUtf8();
        in.byte(std::uint8_t(path.size()));
        in.bytes(path);
        for (const std::uint8_t b : records[1].Attributes.bytes())
            in.byte(b);
        in.signedNumber(2, std::numeric_limits<std::int32_t>::min(),
                        std::numeric_limits<std::int32_t>::max());
        in.bytes(history + history.left(100));
        write(QStringLiteral("history"), QStringLiteral("record%1").arg(pick), in.data());
    }

    // A title of two frames whose pictures are 640 x 240.
    for (const bool pal : {false, true}) {
        ProviderInput in;
        in.bytes(*records[0].toList());
        in.boolean(false);
        in.boolean(pal);
        in.number(3, 0, 12);
        in.number(1, 0, 15);
        for (int frame = 0; frame < 2; ++frame) {
            in.boolean(false);
            in.number(640, 1, 2000);
            in.number(240, 1, 2000);
            in.boolean(true);
        }
        write(QStringLiteral("listload"), pal ? QStringLiteral("pal") : QStringLiteral("ntsc"),
              in.data());
    }
}

void setupFiles(QByteArray &setupData)
{
    setupData = QByteArray(SetupDataFile::DataSize, '\0');
    for (int k = 0; k < setupData.size(); ++k)
        setupData[k] = char((k * 7) & 0xFF);
    write(QStringLiteral("setupfile"), QStringLiteral("block"), SetupDataFile::encode(setupData));
}

void mixerStates(const QByteArray &setupData)
{
    Waits waits(0.0);
    VirtualMixer mixer(waits);
    MixerDevice::Snapshot s = mixer.snapshot();
    write(QStringLiteral("mixerstate"), QStringLiteral("empty"), MixerStateFile::encode(s));

    s.setupData = setupData;
    s.memory.titleRows = 15;
    const auto item = [](std::uint16_t memoryNo, bool clip, int blocks, int row, int frames) {
        MixerStoredItem stored;
        stored.info.memoryNo = memoryNo;
        stored.info.clip = clip;
        stored.info.blocksPerFrame = blocks;
        stored.info.frameCount = frames;
        stored.info.deviceWord = 0x01020304u + memoryNo;
        stored.info.headerWritten = true;
        for (int f = 0; f < frames; ++f)
            stored.info.places.append({row, clip ? 0 : f * blocks});
        stored.header = QByteArray(MixerMemory::HeaderSize, '\0');
        qToLittleEndian<quint16>(memoryNo, stored.header.data());
        qToLittleEndian<quint32>(stored.info.deviceWord, stored.header.data() + 36);
        return stored;
    };
    s.memory.items = {item(1, false, 2, 0, 3), item(2, false, 1, 1, 1),
                      item(MemoryNo::FirstClip, true, 8, 20, 1)};
    s.faults.statusAnswers = 1;
    s.linkRate = MixerStateFile::NewFileLinkRate;
    write(QStringLiteral("mixerstate"), QStringLiteral("titles"), MixerStateFile::encode(s));
    if (mixer.restore(s))
        write(QStringLiteral("memorymap"), QStringLiteral("titles"), [&] {
            ProviderInput in;
            in.number(2, 0, 4);
            for (const std::uint16_t memoryNo : {1, 7}) {
                in.number(memoryNo, 0, 0xFFFF);
                in.number(2, 0, 9);
                in.number(3, 0, 300);
                in.boolean(false);
            }
            in.bytes(s.memory.items.last().header);
            in.number(968, 0, 2 * 968);
            in.bytes(mixer.memoryMapBlock());
            return in.data();
        }());
    else
        ++g_failures;
}

void eventLines()
{
    const QByteArray text = MixerKeyer::inStartLine(1) + MixerKeyer::inEndLine() +
                            MixerKeyer::outStartLine(1) + MixerKeyer::outEndLine() +
                            MixerKeyer::inStartLine(0x4001);
    for (const int cut : {64, 7}) {
        ProviderInput in;
        for (qsizetype at = 0; at < text.size(); at += cut) {
            in.number(std::uint64_t(cut), 1, 64);
            in.bytes(text.mid(at, cut));
        }
        write(QStringLiteral("eventlines"), QStringLiteral("cut%1").arg(cut), in.data());
    }
}

void descriptors()
{
    Waits waits(0.0);
    VirtualMixer mixer(waits);
    ProviderInput in;
    const QByteArray device = mixer.deviceDescriptor();
    in.number(std::uint64_t(device.size()), 0, 24);
    in.bytes(device);
    in.bytes(mixer.configurationDescriptor());
    write(QStringLiteral("descriptors"), QStringLiteral("mixer"), in.data());
}

Bitmap samplePicture(int width, int height)
{
    Bitmap picture(width, height, 32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t *p = picture.row(y) + x * 4;
            p[0] = std::uint8_t(x * 3), p[1] = std::uint8_t(y * 5), p[2] = std::uint8_t(x ^ y);
            p[3] = std::uint8_t(x < width / 2 ? 255 : 0);
        }
    return picture;
}

void pictures()
{
    MagickImageLibrary images;
    const QString scratch = g_root + QStringLiteral("/.pictures");
    QDir().mkpath(scratch);
    const Bitmap picture = samplePicture(16, 8);
    for (const int bits : {24, 32}) {
        for (const auto &[target, format, suffix] :
             {std::tuple{QStringLiteral("targa"), ImageFileFormat::Targa, QStringLiteral("tga")},
              std::tuple{QStringLiteral("tiff"), ImageFileFormat::Tiff, QStringLiteral("tif")}}) {
            const QString path = scratch + QStringLiteral("/p%1.%2").arg(bits).arg(suffix);
            QFile file(path);
            if (!images.save(picture, path, format, bits) || !file.open(QIODevice::ReadOnly)) {
                ++g_failures;
                continue;
            }
            write(target, QStringLiteral("bits%1").arg(bits), file.readAll());
        }
    }
    QDir(scratch).removeRecursively();

    // A frame as the mixer reads it back: the marker a few pixels late and one
    // line two bytes late.
    const Bitmap wide = samplePicture(640, 2);
    for (const bool isPal : {false, true}) {
        std::vector<std::uint8_t> frame = DeviceConvertReference::imageToDevice(
            wide, 640, 2, true, isPal, true, DevicePicture::LevelLimits{});
        frame.resize(2 * DevicePicture::LineBytes, 0);
        std::memcpy(frame.data(), DevicePicture::ReadBackMarker, 4);
        QByteArray late(12, '\0');
        late += QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
        late.truncate(2 * DevicePicture::LineBytes);
        ProviderInput in;
        in.boolean(true);
        in.boolean(isPal);
        in.boolean(true);
        in.number(0, 0, 1);
        in.number(1, 0, 1);
        for (int k = 0; k < 8; ++k)
            in.byte(k % 3 == 0 ? 1 : 0);
        in.signedNumber(2, -1, 9);
        in.bytes(late);
        write(QStringLiteral("devicepicture"),
              isPal ? QStringLiteral("pal") : QStringLiteral("ntsc"), in.data());
    }
}

void commandLineWords()
{
    ProviderInput in;
    in.boolean(false);
    in.number(240, 0, 400);
    in.signedNumber(10, -1, 999);
    in.bytes(
        QByteArrayLiteral("--name\0タイトル\0--in-time\x00"
                          "0215\0--duration\0"
                          "001000\0--in-auto\0on\0--x\0"
                          "12\0"
                          "0x4001\0"
                          "64\0"
                          "9999")
            .replace(QByteArrayLiteral("タイトル"), *Cp932::encode(QStringLiteral("タイトル"))));
    write(QStringLiteral("clinumbers"), QStringLiteral("options"), in.data());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    QByteArray setupData;
    lists();
    setupFiles(setupData);
    mixerStates(setupData);
    eventLines();
    descriptors();
    pictures();
    commandLineWords();
    return g_failures == 0 ? 0 : 1;
}
