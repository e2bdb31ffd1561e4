#include "imaging/MagickImageLibrary.h"
#include "imaging/PictureFixtures.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <atomic>
#include <thread>

using namespace PictureFixtures;

class TestImagingDamage : public QObject
{
    Q_OBJECT

private slots:
    void saveRefusals();
    void damagedFiles_data();
    void damagedFiles();
    void missingFiles();
    void concurrentUse();

private:
    QString path(const QString &name) const { return m_env.path(name); }

    TestEnvironment m_env;
    MagickImageLibrary m_lib;
};

void TestImagingDamage::saveRefusals()
{
    const Bitmap picture = referencePicture(4, 4, true);
    QVERIFY(!m_lib.save(Bitmap(), path(QStringLiteral("null.tga")), ImageFileFormat::Targa, 32));
    QVERIFY(!m_lib.save(picture, path(QStringLiteral("bits.tga")), ImageFileFormat::Targa, 16));
    QVERIFY(!m_lib.save(picture, path(QStringLiteral("code.xyz")), ImageFileFormat(99), 24));
    QVERIFY(!m_lib.save(picture, path(QStringLiteral("no/such/folder/a.bmp")), ImageFileFormat::Bmp,
                        24));
    QVERIFY(!QFile::exists(path(QStringLiteral("null.tga"))));
    QVERIFY(!QFile::exists(path(QStringLiteral("bits.tga"))));
    // A failed save leaves the earlier file as it was.
    QDir(m_env.root()).mkdir(QStringLiteral("folder.tga"));
    QVERIFY(!m_lib.save(picture, path(QStringLiteral("folder.tga")), ImageFileFormat::Targa, 32));
    const QString kept = path(QStringLiteral("kept.tga"));
    QVERIFY(m_lib.save(picture, kept, ImageFileFormat::Targa, 32));
    const QByteArray before = readBytes(kept);
    QVERIFY(!m_lib.save(Bitmap(), kept, ImageFileFormat::Targa, 32));
    QCOMPARE(readBytes(kept), before);
}

void TestImagingDamage::damagedFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("infoFails");

    const QByteArray raw = makeTarga(64, 48, 32, false, false);
    QTest::newRow("targa cut in the pixels") << "cut.tga" << raw.left(raw.size() / 2) << false;
    QTest::newRow("targa cut in the header") << "head.tga" << raw.left(10) << true;
    const QByteArray rle = makeTarga(64, 48, 24, true, true);
    QTest::newRow("rle targa cut") << "cutrle.tga" << rle.left(rle.size() - 40) << false;

    QByteArray giant = targaHeader(2, 60000, 60000, 32, 0x28);
    giant.append(QByteArray(4096, '\x11'));
    QTest::newRow("targa claiming 60000 x 60000") << "giant.tga" << giant << true;
    QByteArray giantRle = targaHeader(10, 60000, 60000, 24, 0x20);
    giantRle.append(QByteArray(4096, '\x7f'));
    QTest::newRow("rle targa claiming 60000 x 60000") << "giantrle.tga" << giantRle << true;
    QByteArray large = targaHeader(2, 16000, 16000, 32, 0x28);
    large.append(QByteArray(4096, '\x22'));
    QTest::newRow("targa claiming 16000 x 16000") << "large.tga" << large << false;

    QByteArray badType = targaHeader(77, 10, 10, 24, 0);
    badType.append(QByteArray(300, '\x01'));
    QTest::newRow("targa of unknown type") << "type.tga" << badType << true;

    QByteArray bmp = makeBmp(50, 40, false);
    QTest::newRow("bmp cut") << "cut.bmp" << bmp.left(bmp.size() / 3) << false;
    QByteArray bmpHuge = makeBmp(4, 4, false);
    bmpHuge[18] = '\x60';
    bmpHuge[19] = '\xEA'; // width 60000
    bmpHuge[22] = '\x60';
    bmpHuge[23] = '\xEA'; // height 60000
    QTest::newRow("bmp claiming 60000 x 60000") << "huge.bmp" << bmpHuge << true;

    // Files cut short after their headers, from the library's own writer and ImageMagick's.
    const Bitmap picture = gradientPicture(120, 90);
    const struct
    {
        const char *name;
        ImageFileFormat format;
    } written[] = {{"cut.jpg", ImageFileFormat::Jpeg},
                   {"cut.tif", ImageFileFormat::Tiff},
                   {"cut.pct", ImageFileFormat::Pict}};
    for (const auto &w : written) {
        const QString file = path(QStringLiteral("whole-") + QLatin1String(w.name));
        QVERIFY(m_lib.save(picture, file, w.format, 24));
        const QByteArray bytes = readBytes(file);
        QTest::addRow("%s", w.name)
            << QString::fromLatin1(w.name) << bytes.left(bytes.size() / 2) << false;
    }
    const QString psd = path(QStringLiteral("whole.psd"));
    QVERIFY(writeWithMagick(picture, psd, "PSD"));
    const QByteArray psdBytes = readBytes(psd);
    QTest::newRow("cut.psd") << "cut.psd" << psdBytes.left(psdBytes.size() / 2) << false;

    // Whole files whose headers claim 60000 x 60000.
    QByteArray jpeg = readBytes(path(QStringLiteral("whole-cut.jpg")));
    const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    QVERIFY(frame > 0);
    jpeg.replace(frame + 5, 4, QByteArray("\xEA\x60\xEA\x60", 4));
    QTest::newRow("jpeg claiming 60000 x 60000") << "huge.jpg" << jpeg << true;
    QByteArray photoshop = psdBytes;
    photoshop.replace(14, 8, QByteArray("\0\0\xEA\x60\0\0\xEA\x60", 8)); // height, width
    QTest::newRow("photoshop claiming 60000 x 60000") << "huge.psd" << photoshop << true;

    QRandomGenerator random(20240611);
    QByteArray noise(5000, '\0');
    for (char &c : noise)
        c = char(random.bounded(256));
    QTest::newRow("noise as targa") << "noise.tga" << noise << false;
    QTest::newRow("noise as jpeg") << "noise.jpg" << noise << false;
    QTest::newRow("noise as tiff") << "noise.tif" << noise << false;
    QTest::newRow("noise as pict") << "noise.pct" << noise << false;
    QTest::newRow("jpeg signature then noise")
        << "sig.jpg" << (QByteArray("\xFF\xD8\xFF\xE0", 4) + noise) << false;
    QTest::newRow("tiff signature then noise")
        << "sig.tif" << (QByteArray("II*\0\x08\0\0\0", 8) + noise) << false;
    QTest::newRow("empty targa") << "empty.tga" << QByteArray() << true;
    QTest::newRow("empty jpeg") << "empty.jpg" << QByteArray() << true;
}

void TestImagingDamage::damagedFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, infoFails);
    const QString file = path(name);
    QVERIFY(writeBytes(file, bytes));
    QVERIFY(!m_lib.load(file));
    const auto info = m_lib.fileInfo(file);
    const auto libraryInfo = m_lib.libraryFileInfo(file);
    if (infoFails) {
        QVERIFY(!info);
        QVERIFY(!libraryInfo);
    }
}

void TestImagingDamage::missingFiles()
{
    for (const QString &name :
         {QStringLiteral("absent.tga"), QStringLiteral("absent.jpg"), QString(), m_env.root()}) {
        const QString file = name.startsWith(QLatin1Char('/')) ? name : path(name);
        QVERIFY(!m_lib.load(file));
        QVERIFY(!m_lib.fileInfo(file));
        QVERIFY(!m_lib.libraryFileInfo(file));
    }
}

void TestImagingDamage::concurrentUse()
{
    // Headers read and pictures loaded from several threads at once, as list opening does.
    const Bitmap picture = referencePicture(24, 16, true);
    struct Case
    {
        QString file;
        ImageInfo info;
    };
    std::vector<Case> cases;
    const struct
    {
        ImageFileFormat format;
        const char *name;
        int bits;
    } made[] = {{ImageFileFormat::Targa, "c.tga", 32},
                {ImageFileFormat::Tiff, "c.tif", 32},
                {ImageFileFormat::Bmp, "c.bmp", 24},
                {ImageFileFormat::Jpeg, "c.jpg", 24},
                {ImageFileFormat::Pict, "c.pct", 24}};
    for (const auto &m : made) {
        const QString file = path(QString::fromLatin1(m.name));
        QVERIFY(m_lib.save(picture, file, m.format, m.bits));
        cases.push_back({file, {24, 16, m.bits}});
    }
    const QString bottomUp = path(QStringLiteral("c2.tga"));
    QVERIFY(writeBytes(bottomUp, makeTarga(24, 16, 24, false, true)));
    cases.push_back({bottomUp, {24, 16, 24}});
    cases.push_back({path(QStringLiteral("missing.tga")), {0, 0, 0}});

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 25; ++round)
                for (std::size_t i = 0; i < cases.size(); ++i) {
                    const Case &c = cases[(i + std::size_t(t)) % cases.size()];
                    const auto info =
                        round % 2 ? m_lib.libraryFileInfo(c.file) : m_lib.fileInfo(c.file);
                    const bool expected = c.info.width > 0;
                    if (bool(info) != expected ||
                        (info && (info->width != c.info.width || info->height != c.info.height ||
                                  info->bitsPerPixel != c.info.bitsPerPixel)))
                        ++failures;
                    if (round % 5 == 0) {
                        const auto loaded = m_lib.load(c.file);
                        if (bool(loaded) != expected || (loaded && loaded->width() != c.info.width))
                            ++failures;
                    }
                }
        });
    for (std::thread &t : threads)
        t.join();
    QCOMPARE(failures.load(), 0);
}

QTEST_GUILESS_MAIN(TestImagingDamage)
#include "test_imaging_damage.moc"
