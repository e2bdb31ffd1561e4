// titledeck-cli convert end to end: the files it writes are the buffers and
// pictures the program makes, and bad input gets an error, never a file.
#include "imaging/DeviceConvert.h"
#include "imaging/MagickImageLibrary.h"
#include "support/ScriptedMessageBoxes.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int status;
    QString out;
    QString err;
};

Run runCli(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(TITLEDECK_CLI),
                  QStringList{QStringLiteral("convert")} + arguments);
    if (!process.waitForFinished(60000))
        return {-1, {}, {}};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestConvertCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void toDeviceWritesTheUploadBuffer();
    void toDeviceOptions();
    void fromDeviceWritesThePicture();
    void badInput();

private:
    QTemporaryDir m_dir;
    QString m_picture;
    MagickImageLibrary m_library;
};

void TestConvertCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    Bitmap picture(100, 60, 24);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            std::uint8_t *p = picture.row(y) + x * 3;
            p[0] = std::uint8_t(x * 2);
            p[1] = std::uint8_t(y * 4);
            p[2] = std::uint8_t(200 - x);
        }
    m_picture = m_dir.filePath(QStringLiteral("title.bmp"));
    QVERIFY(m_library.save(picture, m_picture, ImageFileFormat::Bmp, 24));
}

void TestConvertCli::toDeviceWritesTheUploadBuffer()
{
    const QString out = m_dir.filePath(QStringLiteral("title.dev"));
    const Run run = runCli({QStringLiteral("to-device"), m_picture, QStringLiteral("-o"), out});
    QCOMPARE(run.status, 0);
    // 112 pixels a line x 60 lines x 4 bytes = 26880, rounded up to 27136.
    const QByteArray written = readAll(out);
    QCOMPARE(written.size(), 27136);
    QVERIFY(run.out.contains(QStringLiteral("27136 bytes")));
    ScriptedMessageBoxes boxes;
    const std::vector<std::uint8_t> expected =
        ConvertImageToDevice(m_library, boxes, m_picture, 100, 60, true, false, {0, 0});
    QCOMPARE(written, QByteArray(reinterpret_cast<const char *>(expected.data()),
                                 qsizetype(expected.size())));
    QCOMPARE(written.left(4), QByteArray("\xFF\x00\xFD\xFC", 4));
    QCOMPARE(int(std::uint8_t(written[5])), 255); // K of a 24-bit picture
}

void TestConvertCli::toDeviceOptions()
{
    const QString out = m_dir.filePath(QStringLiteral("clip.dev"));
    const Run run =
        runCli({QStringLiteral("to-device"), m_picture, QStringLiteral("-o"), out,
                QStringLiteral("--signal"), QStringLiteral("pal"), QStringLiteral("--clip"),
                QStringLiteral("--width"), QStringLiteral("50"), QStringLiteral("--height"),
                QStringLiteral("7"), QStringLiteral("--yuv-max"), QStringLiteral("1"),
                QStringLiteral("--yuv-min"), QStringLiteral("1")});
    QCOMPARE(run.status, 0);
    ScriptedMessageBoxes boxes;
    const std::vector<std::uint8_t> expected =
        ConvertImageToDevice(m_library, boxes, m_picture, 50, 7, false, true, {1, 1});
    QCOMPARE(readAll(out), QByteArray(reinterpret_cast<const char *>(expected.data()),
                                      qsizetype(expected.size())));
    QCOMPARE(readAll(out).size(), 1536); // 46 x 7 x 4 = 1288 -> 1536
}

void TestConvertCli::fromDeviceWritesThePicture()
{
    QByteArray frame(3 * 2880 + 100, '\0');
    for (int i = 0; i < 3 * 720; ++i) {
        frame[i * 4] = char(180);
        frame[i * 4 + 1] = char(255);
        frame[i * 4 + 2] = char(128);
        frame[i * 4 + 3] = char(128);
    }
    const QString in = m_dir.filePath(QStringLiteral("frame.raw"));
    QFile file(in);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(frame);
    file.close();

    const QString tga = m_dir.filePath(QStringLiteral("back.tga"));
    Run run = runCli({QStringLiteral("from-device"), in, QStringLiteral("-o"), tga,
                      QStringLiteral("--lines"), QStringLiteral("3"), QStringLiteral("--pal"),
                      QStringLiteral("--keep-key")});
    QCOMPARE(run.status, 0);
    const std::optional<Bitmap> back = m_library.load(tga);
    QVERIFY(back);
    QCOMPARE(back->width(), 768);
    QCOMPARE(back->height(), 3);
    const Bitmap expected =
        ConvertDeviceToPicture(reinterpret_cast<const std::uint8_t *>(frame.constData()),
                               std::size_t(frame.size()), 3, true, true, true, {0, 0});
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(back->row(1)), 768 * 4),
             QByteArray(reinterpret_cast<const char *>(expected.row(1)), 768 * 4));
    QCOMPARE(m_library.fileInfo(tga)->bitsPerPixel, 32);

    // BMP holds no key: 24 bits even when asked to keep it.
    const QString bmp = m_dir.filePath(QStringLiteral("back.bmp"));
    run = runCli({QStringLiteral("from-device"), in, QStringLiteral("-o"), bmp,
                  QStringLiteral("--lines"), QStringLiteral("2"), QStringLiteral("--keep-key")});
    QCOMPARE(run.status, 0);
    QCOMPARE(m_library.fileInfo(bmp)->width, 640);
    QCOMPARE(m_library.fileInfo(bmp)->height, 2);
    QVERIFY(run.out.contains(QStringLiteral("24 bits")));
}

void TestConvertCli::badInput()
{
    const QString out = m_dir.filePath(QStringLiteral("bad.out"));
    // A picture that cannot be read: the loader's message with the file's name, no file.
    Run run = runCli({QStringLiteral("to-device"), m_dir.filePath(QStringLiteral("gone.tga")),
                      QStringLiteral("-o"), out});
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.contains(QStringLiteral("gone.tga")));
    QVERIFY(!QFileInfo::exists(out));
    // A size of 0.
    run = runCli({QStringLiteral("to-device"), m_picture, QStringLiteral("-o"), out,
                  QStringLiteral("--width"), QStringLiteral("0"), QStringLiteral("--height"),
                  QStringLiteral("10")});
    QCOMPARE(run.status, 1);
    QVERIFY(!QFileInfo::exists(out));
    // A buffer shorter than its lines.
    QFile file(m_dir.filePath(QStringLiteral("short.raw")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(2880 * 2 - 1, '\x10'));
    file.close();
    run = runCli({QStringLiteral("from-device"), file.fileName(), QStringLiteral("-o"),
                  out + QStringLiteral(".tga"), QStringLiteral("--lines"), QStringLiteral("2")});
    QCOMPARE(run.status, 1);
    QVERIFY(!QFileInfo::exists(out + QStringLiteral(".tga")));
    // Usage errors.
    QCOMPARE(runCli({QStringLiteral("from-device"), file.fileName(), QStringLiteral("-o"),
                     out + QStringLiteral(".tga")})
                 .status,
             2);
    QCOMPARE(runCli({QStringLiteral("from-device"), file.fileName(), QStringLiteral("-o"),
                     out + QStringLiteral(".png"), QStringLiteral("--lines"), QStringLiteral("1")})
                 .status,
             2);
    QCOMPARE(runCli({QStringLiteral("to-device"), m_picture, QStringLiteral("-o"), out,
                     QStringLiteral("--yuv-max"), QStringLiteral("2")})
                 .status,
             2);
    QCOMPARE(runCli({QStringLiteral("sideways")}).status, 2);
}

QTEST_GUILESS_MAIN(TestConvertCli)
#include "test_convertcli.moc"
