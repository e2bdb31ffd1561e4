// titledeck-cli device test [--endless]: the transfer test of the USB
// diagnostics window. One pass reads and writes the 1,228,800-byte test block
// over the bulk pipes and prints "EP1  OK|NG", "EP2  OK|NG", "EP3  OK|NG"
// (EP1: whether the event pipe delivered a report while the link was open);
// it succeeds when both bulk pipes passed. --endless writes and reads in turn,
// one line per pass, until a test fails or Ctrl+C ends it after the pass
// under way.

#include "CliCommand.h"
#include "CliProgress.h"
#include "DeviceCli.h"
#include "device/BulkInTransfer.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/TransferTest.h"
#include "imaging/MagickImageLibrary.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int)
{
    interrupted = 1;
}

int test(DeviceCli &cli)
{
    bool endless = false;
    for (const QString &a : cli.arguments()) {
        if (a == QLatin1String("--endless"))
            endless = true;
        else
            return cli.usage(QStringLiteral("unknown argument: ") + a);
    }
    if (!cli.connect())
        return 1;
    DeviceLink &link = cli.link();
    if (!link.Connected())
        return DeviceCli::fail(QStringLiteral("the mixer is not ready for the test"));

    MagickImageLibrary images;
    BulkInTransfer bulkIn(link, images);
    BulkOutTransfer bulkOut(link, images);
    DeviceEventReader events(link);
    if (!events.polling())
        events.StartEventPolling();

    const auto readTest = [&bulkIn] {
        if (!bulkIn.setJob(BulkInTransfer::PipeTest, 0, QString()))
            return false;
        CliProgress progress(bulkIn);
        return bulkIn.Run();
    };
    const auto writeTest = [&bulkOut] {
        if (!bulkOut.setJob(BulkOutTransfer::PipeTest, 0, {}))
            return false;
        CliProgress progress(bulkOut);
        return bulkOut.Run();
    };
    TransferTest::Steps steps;
    steps.writeTest = writeTest;
    steps.readTest = readTest;
    steps.eventPipeAlive = [&events] { return events.EventPipeAlive(); };

    if (!endless) {
        const TransferTest::Result result = TransferTest(steps).RunOnce();
        cliOut() << result.text() << "\n";
        cliOut().flush();
        if (!result.ep2)
            cliErr() << "titledeck-cli: EP2: the test block did not come whole from the mixer\n";
        if (!result.ep3)
            cliErr() << "titledeck-cli: EP3: the test block did not go whole to the mixer\n";
        if (!result.ep1)
            cliErr() << "titledeck-cli: EP1: no event line came while the link was open (the mixer "
                        "sends them while its keyer runs)\n";
        return result.ep2 && result.ep3 ? 0 : 1;
    }

    interrupted = 0;
    const auto previous = std::signal(SIGINT, onInterrupt);
    steps.keepGoing = [] { return interrupted == 0; };
    steps.passDone = [](int pass) {
        cliOut() << "pass " << pass << ": EP3  OK  EP2  OK\n";
        cliOut().flush();
    };
    const TransferTest::EndlessEnd end = TransferTest(steps).RunEndless();
    std::signal(SIGINT, previous);
    if (!end.writeOk)
        cliOut() << "pass " << end.passes + 1 << ": EP3  NG\n";
    else if (!end.readOk)
        cliOut() << "pass " << end.passes + 1 << ": EP3  OK  EP2  NG\n";
    cliOut() << end.passes << " pass(es) completed\n";
    return end.writeOk && end.readOk ? 0 : 1;
}

} // namespace

static DeviceCli::Subcommand testCommand("test", "test [--endless]", test);
