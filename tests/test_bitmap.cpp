#include "imaging/Bitmap.h"
#include "imaging/PictureFixtures.h"

#include <QTest>

#include <algorithm>
#include <climits>
#include <cstring>

using namespace PictureFixtures;

class TestBitmap : public QObject
{
    Q_OBJECT

private slots:
    void constructionRowsAndDepths()
    {
        // Null for no pixels, other depths, or more pixels than a picture may have; every
        // null picture is the same.
        for (const Bitmap &b : {Bitmap(0, 10, 32), Bitmap(10, -1, 32), Bitmap(10, 10, 16),
                                Bitmap(20000, 20000, 32), Bitmap(INT_MAX, INT_MAX, 24)})
            QCOMPARE(b, Bitmap());
        Bitmap b(5, 3, 24);
        QCOMPARE(b.bytesPerLine(), 15);
        QCOMPARE(b.sizeInBytes(), std::size_t(45));
        QCOMPARE(std::count(b.bits(), b.bits() + 45, 0), 45);
        QCOMPARE(Bitmap(5, 3, 32).bytesPerLine(), 20);

        std::uint8_t line[15];
        for (int i = 0; i < 15; ++i)
            line[i] = std::uint8_t(i + 1);
        QVERIFY(b.putRow(2, line, 15));
        QCOMPARE(std::memcmp(b.row(2), line, 15), 0);
        QCOMPARE(b.row(1)[0], std::uint8_t(0));
        QVERIFY(!b.putRow(3, line, 15) && !b.putRow(-1, line, 15));
        QVERIFY(!b.putRow(0, line, 20)); // 32-bit sized buffer
        QVERIFY(!b.putRow(0, nullptr, 15) && b.row(-1) == nullptr);
        QVERIFY(std::as_const(b).row(3) == nullptr && Bitmap().row(0) == nullptr);

        const Bitmap ref = referencePicture(4, 2, true);
        const Bitmap narrow = ref.converted(24);
        QCOMPARE(narrow.bitsPerPixel(), 24);
        for (int x = 0; x < 4; ++x)
            QCOMPARE(std::memcmp(narrow.row(1) + x * 3, ref.row(1) + x * 4, 3), 0);
        const Bitmap wide = narrow.converted(32);
        QVERIFY(alphaAll(wide, 255));
        QCOMPARE(maxDifference(wide, ref, false), 0);
        QCOMPARE(ref.converted(32), ref);
        QVERIFY(ref.converted(16).isNull() && Bitmap().converted(32).isNull());
    }

    void resample()
    {
        // Hand-computed: centres of 4 target pixels over 2 source pixels fall at -1/4, 1/4, 3/4,
        // 5/4.
        Bitmap two(2, 1, 24);
        two.row(0)[3] = 100;
        two.row(0)[1] = two.row(0)[4] = 40;
        const Bitmap four = two.resampled(4, 1);
        const int expected[4] = {0, 25, 75, 100};
        for (int x = 0; x < 4; ++x) {
            QCOMPARE(int(four.row(0)[x * 3]), expected[x]);
            QCOMPARE(int(four.row(0)[x * 3 + 1]), 40);
        }
        // Halving averages each 2 x 2 block.
        Bitmap checker(4, 4, 32);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                std::memset(checker.row(y) + x * 4, (x + y) % 2 ? 200 : 0, 4);
        const Bitmap half = checker.resampled(2, 2);
        QCOMPARE(std::count(half.bits(), half.bits() + half.sizeInBytes(), 100), 16);

        const Bitmap ref = referencePicture(9, 7, true);
        QCOMPARE(ref.resampled(9, 7), ref);
        QCOMPARE(ref.resampled(1, 1).bitsPerPixel(), 32);
        // A flat picture stays flat at any size.
        Bitmap flat(5, 5, 24);
        flat.fill(0, 0, 5, 5, 0x804020);
        const Bitmap big = flat.resampled(17, 11);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 17; ++x)
                QCOMPARE(std::memcmp(big.row(y) + x * 3, flat.row(0), 3), 0);
        for (const Bitmap &b : {ref.resampled(0, 5), ref.resampled(5, -2),
                                ref.resampled(INT_MAX, INT_MAX), Bitmap().resampled(4, 4)})
            QVERIFY(b.isNull());
    }

    void fill()
    {
        Bitmap b(4, 3, 32);
        b.fill(-2, 1, 4, 10, 0x112233);
        const std::uint8_t filled[4] = {0x33, 0x22, 0x11, 0xFF};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                QCOMPARE(std::memcmp(b.row(y) + x * 4, filled, 4) == 0, y >= 1 && x < 2);
        // Empty, outside, or (from INT_MIN) ending just short of the picture: nothing drawn.
        const Bitmap before = b;
        b.fill(0, 0, 0, 3, 0xFFFFFF);
        b.fill(0, 0, 4, -1, 0xFFFFFF);
        b.fill(4, 0, 1, 1, 0xFFFFFF);
        b.fill(INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0xFFFFFF);
        b.fill(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0xFFFFFF);
        QCOMPARE(b, before);
        Bitmap rgb(2, 2, 24);
        rgb.fill(0, 0, 2, 2, 0xAAAAAA);
        QCOMPARE(rgb.row(1)[5], std::uint8_t(0xAA));
        Bitmap().fill(0, 0, 1, 1, 0); // no crash
    }

    void paint()
    {
        const Bitmap src = referencePicture(6, 4, true);
        // Same size: an exact copy at the offset.
        Bitmap canvas(10, 8, 32);
        canvas.paint(src, 3, 2, 9, 6);
        for (int y = 0; y < 4; ++y)
            QCOMPARE(std::memcmp(canvas.row(y + 2) + 12, src.row(y), 24), 0);
        QCOMPARE(canvas.row(1)[12], std::uint8_t(0));
        // Partly outside: the visible part of the same mapping.
        Bitmap clipped(4, 3, 32);
        clipped.paint(src, -2, -1, 4, 3);
        QCOMPARE(std::memcmp(clipped.row(0), src.row(1) + 8, 16), 0);
        QCOMPARE(std::memcmp(clipped.row(2), src.row(3) + 8, 16), 0);
        // Stretched twice: each source pixel becomes a 2 x 2 block; shrunk: every other pixel.
        Bitmap doubled(12, 8, 32);
        doubled.paint(src, 0, 0, 12, 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x)
                QCOMPARE(std::memcmp(doubled.row(y) + x * 4, src.row(y / 2) + (x / 2) * 4, 4), 0);
        Bitmap halved(3, 2, 32);
        halved.paint(src, 0, 0, 3, 2);
        QCOMPARE(std::memcmp(halved.row(1) + 4, src.row(3) + 12, 4), 0);
        // 32-bit into 24-bit drops alpha, 24-bit into 32-bit makes it opaque.
        Bitmap rgb(6, 4, 24);
        rgb.paint(src, 0, 0, 6, 4);
        QCOMPARE(rgb, src.converted(24));
        Bitmap rgba(6, 4, 32);
        rgba.paint(rgb, 0, 0, 6, 4);
        QVERIFY(alphaAll(rgba, 255));
        QCOMPARE(maxDifference(rgba, src, false), 0);
        // Nothing drawn for empty or inverted rectangles, a null source, or a rectangle outside.
        const Bitmap before = canvas;
        canvas.paint(src, 5, 5, 5, 9);
        canvas.paint(src, 8, 2, 3, 6);
        canvas.paint(Bitmap(), 0, 0, 10, 8);
        canvas.paint(src, 10, 0, 20, 8);
        canvas.paint(src, -20, -20, 0, 0);
        QCOMPARE(canvas, before);
        // Extreme rectangles neither overflow nor fail.
        Bitmap wide(3, 3, 32);
        wide.paint(src, INT_MIN, INT_MIN, INT_MAX, INT_MAX);
        QCOMPARE(std::memcmp(wide.row(0), src.row(2) + 12, 4), 0); // the middle of the source
        Bitmap().paint(src, 0, 0, 1, 1);
        // Painting a picture into itself reads the picture as it was before.
        Bitmap self = src;
        self.paint(self, 0, 0, 3, 2);
        QCOMPARE(std::memcmp(self.row(0) + 4, src.row(1) + 12, 4), 0);
        QCOMPARE(std::memcmp(self.row(1), src.row(3) + 4, 4), 0);
    }
};

QTEST_GUILESS_MAIN(TestBitmap)
#include "test_bitmap.moc"
