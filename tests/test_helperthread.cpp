// The helper thread the picture conversions share their lines with: every part
// runs once, the helper really takes some, a caller that finds it busy does all
// its parts itself, and nothing is left waiting.
#include "imaging/HelperThread.h"

#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Work that takes a little while without sleeping.
unsigned busyWork(int seed)
{
    volatile unsigned x = unsigned(seed);
    for (int i = 0; i < 20000; ++i)
        x = x * 1103515245u + 12345u;
    return x;
}

} // namespace

class TestHelperThread : public QObject
{
    Q_OBJECT

private slots:
    void everyPartOnce_data();
    void everyPartOnce();
    void helperTakesParts();
    void busyHelperLeavesPartsToTheCaller();
};

void TestHelperThread::everyPartOnce_data()
{
    QTest::addColumn<int>("parts");
    QTest::newRow("none") << 0;
    QTest::newRow("one") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("odd") << 37;
    QTest::newRow("many") << 500;
}

void TestHelperThread::everyPartOnce()
{
    QFETCH(int, parts);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::atomic<int>> runs(std::size_t(parts > 0 ? parts : 1));
        std::atomic<int> outside{0};
        HelperThread::shareOut(parts, [&](int part) {
            if (part >= 0 && part < parts)
                ++runs[std::size_t(part)];
            else
                ++outside;
        });
        QCOMPARE(outside.load(), 0);
        for (int part = 0; part < parts; ++part)
            QCOMPARE(runs[std::size_t(part)].load(), 1);
    }
}

void TestHelperThread::helperTakesParts()
{
    if (!HelperThread::available())
        QSKIP("one processor core: everything runs on the calling thread");
    // Parts that take long enough for the helper to wake and join in: over a few rounds
    // some part runs on a thread other than the caller's, and each part only once.
    const std::thread::id caller = std::this_thread::get_id();
    bool helped = false;
    for (int round = 0; round < 500 && !helped; ++round) {
        std::atomic<int> elsewhere{0};
        std::atomic<int> total{0};
        HelperThread::shareOut(16, [&](int part) {
            busyWork(part);
            ++total;
            if (std::this_thread::get_id() != caller)
                ++elsewhere;
        });
        QCOMPARE(total.load(), 16);
        helped = elsewhere.load() > 0;
    }
    QVERIFY(helped);
}

void TestHelperThread::busyHelperLeavesPartsToTheCaller()
{
    // Two threads share out at the same time: whichever finds the helper busy runs its
    // own parts; both return with every part done once.
    constexpr int Parts = 24;
    for (int round = 0; round < 20; ++round) {
        std::vector<std::atomic<int>> first(Parts), second(Parts);
        std::thread other([&] {
            HelperThread::shareOut(Parts, [&](int part) {
                busyWork(part);
                ++second[std::size_t(part)];
            });
        });
        HelperThread::shareOut(Parts, [&](int part) {
            busyWork(part);
            ++first[std::size_t(part)];
        });
        other.join();
        for (int part = 0; part < Parts; ++part) {
            QCOMPARE(first[std::size_t(part)].load(), 1);
            QCOMPARE(second[std::size_t(part)].load(), 1);
        }
    }
}

QTEST_GUILESS_MAIN(TestHelperThread)
#include "test_helperthread.moc"
