// titledeck-cli device autoload: the main window's auto-load from the command
// line, one line per step of the loader and of the player.
//   autoload LIST [--from ORDER] [--endless] [--laps N] [--take-manual]
// Enter on standard input presses Play (the trigger of a manual in or out);
// q, the end of the input or SIGINT stop the run as the window's Stop does.
// --take-manual presses Play at each manual trigger by itself and leaves
// standard input alone (SIGINT or SIGTERM stop the run). --laps N ends an
// endless run after N passes. Exit 0 when the run reached its end, 1 when a
// fault ended it.

#include "CliCommand.h"
#include "DeviceCli.h"
#include "DeviceListFile.h"
#include "DirectBulkOut.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "memory/AutoLoad.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "memory/KeyerState.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int)
{
    stopSignal = 1;
}

int autoload(DeviceCli &cli)
{
    QElapsedTimer clock;
    clock.start();
    QString path;
    int from = 1;
    int laps = 0;
    bool endless = false;
    bool takeManual = false;
    const QStringList args = cli.arguments();
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const auto number = [&](int &value) {
            bool ok = false;
            value = i + 1 < args.size() ? args.at(i + 1).toInt(&ok) : 0;
            ++i;
            return ok && value >= 1;
        };
        if (a == QLatin1String("--endless")) {
            endless = true;
        } else if (a == QLatin1String("--take-manual")) {
            takeManual = true;
        } else if (a == QLatin1String("--from")) {
            if (!number(from))
                return cli.usage(QStringLiteral("--from needs a title order"));
        } else if (a == QLatin1String("--laps")) {
            if (!number(laps))
                return cli.usage(QStringLiteral("--laps needs a number of passes"));
        } else if (a.startsWith(QLatin1String("--"))) {
            return cli.usage(QStringLiteral("unknown option: ") + a);
        } else if (path.isEmpty()) {
            path = a;
        } else {
            return cli.usage(QStringLiteral("too many arguments"));
        }
    }
    if (path.isEmpty())
        return cli.usage(QStringLiteral("a list file is needed"));
    if (laps > 0 && !endless)
        return cli.usage(QStringLiteral("--laps counts the passes of an --endless run"));
    DeviceListFile file;
    const std::optional<int> start = file.openForKeyer(cli, path, from);
    if (!start)
        return 1;
    DeviceLink &link = cli.link();
    TitleList &list = file.list();
    KeyerState &keyer = file.keyer();

    DeviceEventReader reader(link);
    BulkOutTransfer transfer(link, file.images());
    transfer.setTitleList(&list);
    prepareBulkOut(transfer, cli, file.format().isPal);
    DskPlayer player(keyer, list, cli.waits(), cli.boxes());
    player.setLink(&link);
    player.setFrameTime([&file] { return double(file.format().frameTimeMs); });

    AutoLoad::Services s = AutoLoad::deviceServices(transfer, file.mirror(), link);
    s.list = &list;
    s.keyer = &keyer;
    s.player = &player;
    s.waits = &cli.waits();
    s.boxes = &cli.boxes();
    AutoLoad run(s);

    // The run's own steps first, then the keyer's state.
    run.follow(reader, link);
    QObject::connect(&reader, &DeviceEventReader::SetDskState, &keyer,
                     [&keyer](DskState state, int memoryNo) {
                         keyer.SetDskState(state, std::uint16_t(memoryNo));
                     });
    QObject::connect(&link, &DeviceLink::connectedStateChanged, &run, [&](bool on) {
        if (!on)
            keyer.SetDskState(DskState::Idle, MemoryNo::None);
    });

    const auto line = [&clock](const char *who, int order, const QString &what) {
        cliOut() << QString::number(clock.elapsed()).rightJustified(7) << " ms  " << who << ' '
                 << QString::number(order).rightJustified(3) << "  " << what << "\n";
        cliOut().flush();
    };
    int playing = 0;
    int lap = 0;
    QObject::connect(&run, &AutoLoad::playOrderChanged, &run, [&](int order) {
        playing = order;
        if (order == *start && ++lap == laps) {
            // The last pass: the run ends after its last title.
            run.setEndless(false);
        }
    });
    QObject::connect(&run, &AutoLoad::playStatusChanged, &run, [&](const QString &text) {
        if (!text.isEmpty())
            line("player", playing, text);
    });
    QObject::connect(&run, &AutoLoad::titleLoaded, &run,
                     [&](int order) { line("loader", order, QStringLiteral("in memory")); });
    QObject::connect(&run, &AutoLoad::titleWaitingForMemory, &run, [&](int order) {
        line("loader", order, QStringLiteral("waiting for memory"));
    });
    QObject::connect(&run, &AutoLoad::titleLoadFailed, &run,
                     [&](int order) { line("loader", order, QStringLiteral("not sent")); });
    QObject::connect(&run, &AutoLoad::titleCleared, &run,
                     [&](int order) { line("loader", order, QStringLiteral("cleared")); });
    QObject::connect(&run, &AutoLoad::transferOrderChanged, &run, [&](const QString &order) {
        const int n = order.toInt();
        if (n > 0 && list.at(n).Attributes.memoryNo() == MemoryNo::NotStored)
            line("loader", n, QStringLiteral("loading"));
    });
    QObject::connect(&run, &AutoLoad::playEnabled, &run, [&](bool enabled, bool) {
        if (!enabled)
            return;
        // An automatic in fires by itself after its in-wait.
        const bool manual = keyer.DskState() == DskState::OffWait ||
                            !list.at(playing).Attributes.autoTrigger(Effect::In);
        if (!manual)
            return;
        if (takeManual)
            QTimer::singleShot(0, &run, [&run] { run.BitBtnPlayClick(); });
        else
            line("player", playing, QStringLiteral("press Enter to trigger"));
    });
    bool done = false;
    bool fault = false;
    QObject::connect(&run, &AutoLoad::finished, &run, [&](bool f) {
        done = true;
        fault = f;
    });

    std::unique_ptr<QSocketNotifier> input;
    if (!takeManual) {
        input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(input.get(), &QSocketNotifier::activated, &run, [&] {
            char buffer[256];
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got <= 0 || memchr(buffer, 'q', std::size_t(got))) {
                input->setEnabled(false);
                run.BitBtnStopClick();
                return;
            }
            if (memchr(buffer, '\n', std::size_t(got)))
                run.BitBtnPlayClick();
        });
    }
    stopSignal = 0;
    const auto previousInt = std::signal(SIGINT, onStopSignal);
    const auto previousTerm = std::signal(SIGTERM, onStopSignal);
    QTimer signalPoll;
    QObject::connect(&signalPoll, &QTimer::timeout, &run, [&] {
        if (stopSignal && run.running()) {
            stopSignal = 0;
            run.BitBtnStopClick();
        }
    });
    signalPoll.start(100);

    reader.StartEventPolling();
    list.SetCursor(*start);
    run.setEndless(endless);
    if (!run.StartAutoLoad())
        return DeviceCli::fail(QStringLiteral("auto-load did not start"));
    cli.waits().waitUntil([&done] { return done; }, -1);
    signalPoll.stop();
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    if (!file.writeDeviceFields(cli.boxes()))
        return 1;
    cliOut() << QString::number(clock.elapsed()).rightJustified(7) << " ms  "
             << (!fault              ? "auto-load ended"
                 : !link.Connected() ? "auto-load stopped by a fault: the mixer is gone"
                                     : "auto-load stopped by a fault")
             << "\n";
    return fault ? 1 : 0;
}

} // namespace

static DeviceCli::Subcommand autoloadCommand(
    "autoload", "autoload LIST [--from ORDER] [--endless] [--laps N] [--take-manual]", autoload);
