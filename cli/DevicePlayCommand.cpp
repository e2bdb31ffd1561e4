// titledeck-cli device play, stop, autotake and keys: the keyer commands of
// the main window and the panel's key codes.
//   play LIST ORDER [--follow]  Play on that title of LIST, loading it first
//                               when it is not stored (the list is written
//                               back); --follow prints each keyer event until
//                               the title has ended, and Enter on standard
//                               input takes a title with a manual out out
//   stop, autotake              the commands of the same names
//   keys                        the nine key codes once

#include "CliCommand.h"
#include "DeviceCli.h"
#include "DeviceListFile.h"
#include "DirectBulkOut.h"
#include "device/BulkOutTransfer.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/KeyCodes.h"
#include "memory/DskPlayer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSocketNotifier>
#include <unistd.h>

namespace {

QString stateName(DskState state)
{
    static const char *const names[] = {"OnWait",     "OnRunning", "Showing", "OffWait",
                                        "OffRunning", "Ended",     "Idle"};
    return QString::fromLatin1(names[int(state)]);
}

// Prints one line per keyer event: milliseconds since the command started,
// the event, the memory number and the play state it led to.
class EventPrinter
{
public:
    EventPrinter(DeviceEventReader &reader, KeyerState &keyer, const QElapsedTimer &clock)
        : m_clock(clock)
    {
        QObject::connect(&reader, &DeviceEventReader::inStartRaised, &keyer,
                         [this](int n) { expect("in start", n); });
        QObject::connect(&reader, &DeviceEventReader::inEndRaised, &keyer,
                         [this, &reader] { expect("in end", reader.InStartNumber()); });
        QObject::connect(&reader, &DeviceEventReader::outStartRaised, &keyer,
                         [this](int n) { expect("out start", n); });
        QObject::connect(&reader, &DeviceEventReader::outEndRaised, &keyer,
                         [this, &reader] { expect("out end", reader.OutStartNumber()); });
        QObject::connect(&keyer, &KeyerState::dskStateChanged, &keyer,
                         [this](DskState state) { print(state); });
    }

private:
    void expect(const char *event, int number)
    {
        m_event = QString::fromLatin1(event);
        m_number = number;
    }
    void print(DskState state)
    {
        // A change no event line caused: an auto-out title taken as ended, or the mixer gone.
        if (m_event.isEmpty())
            m_event = state == DskState::Ended ? QStringLiteral("ended (no out end)")
                                               : QStringLiteral("idle");
        const QString number = m_number < 0 || m_number == MemoryNo::NotStored
                                   ? QStringLiteral("-")
                                   : DeviceCli::memoryNoText(std::uint16_t(m_number));
        cliOut() << QString::number(m_clock.elapsed()).rightJustified(7) << " ms  "
                 << m_event.leftJustified(10) << ' ' << number << "  " << stateName(state) << "\n";
        cliOut().flush();
        m_event.clear();
        m_number = -1;
    }

    const QElapsedTimer &m_clock;
    QString m_event;
    int m_number = -1;
};

int play(DeviceCli &cli)
{
    QElapsedTimer clock;
    clock.start();
    QString path;
    int order = 0;
    bool follow = false;
    for (const QString &a : cli.arguments()) {
        if (a == QLatin1String("--follow")) {
            follow = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            return cli.usage(QStringLiteral("unknown option: ") + a);
        } else if (path.isEmpty()) {
            path = a;
        } else if (order == 0) {
            bool ok = false;
            order = a.toInt(&ok);
            if (!ok || order < 1)
                return cli.usage(QStringLiteral("not a title order: ") + a);
        } else {
            return cli.usage(QStringLiteral("too many arguments"));
        }
    }
    if (path.isEmpty() || order == 0)
        return cli.usage(QStringLiteral("a list file and a title order are needed"));
    DeviceListFile file;
    const std::optional<int> index = file.openForKeyer(cli, path, order);
    if (!index)
        return 1;
    DeviceLink &link = cli.link();
    TitleList &list = file.list();
    KeyerState &keyer = file.keyer();

    DeviceEventReader reader(link);
    QObject::connect(&reader, &DeviceEventReader::SetDskState, &keyer,
                     [&keyer](DskState state, int memoryNo) {
                         keyer.SetDskState(state, std::uint16_t(memoryNo));
                     });
    QObject::connect(&link, &DeviceLink::connectedStateChanged, &keyer, [&keyer](bool on) {
        if (!on)
            keyer.SetDskState(DskState::Idle, MemoryNo::None);
    });
    std::unique_ptr<EventPrinter> printer;
    if (follow)
        printer = std::make_unique<EventPrinter>(reader, keyer, clock);
    reader.StartEventPolling();

    BulkOutTransfer transfer(link, file.images());
    transfer.setTitleList(&list);
    prepareBulkOut(transfer, cli, file.format().isPal);
    bool loaded = false;
    DskPlayer player(keyer, list, cli.waits(), cli.boxes());
    player.setLink(&link);
    player.setFrameTime([&file] { return double(file.format().frameTimeMs); });
    player.setLoader([&] {
        loaded = true;
        return LoadSelectedTitles(link, list, directRunner(transfer, cli));
    });

    // The title is followed from the first line the keyer sends after the
    // play (its "in start", or a later one when that is lost or carries a
    // number of no title) to its end.
    bool asked = false;
    bool started = false;
    QObject::connect(&keyer, &KeyerState::dskStateChanged, &keyer, [&](DskState state) {
        started = started || asked;
        if (state == DskState::OffWait && follow) {
            cliOut().flush();
            cliErr() << "press Enter to take the title out\n";
            cliErr().flush();
        }
    });

    list.SetCursor(*index);
    const bool played = player.Play(false);
    asked = true;
    if (loaded && !file.writeDeviceFields(cli.boxes()))
        return 1;
    if (!played)
        return DeviceCli::fail(QStringLiteral("title %1 was not played").arg(order));
    const std::uint16_t memoryNo = list.at(*index).Attributes.memoryNo();
    if (!follow) {
        cliOut() << "playing title " << order << " (memory number "
                 << DeviceCli::memoryNoText(memoryNo) << ")\n";
        return 0;
    }

    // Enter presses Play (the out trigger of a title with a manual out); the
    // end of the input leaves the title to the mixer or to `device stop`.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &input, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            return;
        }
        if (memchr(buffer, '\n', std::size_t(got)) && keyer.IsDskBusy())
            player.Play(false);
    });
    cli.waits().waitUntil(
        [&] {
            return (started && !keyer.IsDskBusy()) || keyer.DskState() == DskState::Idle ||
                   !link.Connected();
        },
        -1);
    if (!link.Connected())
        return DeviceCli::fail(QStringLiteral("the mixer is gone"));
    return keyer.DskState() == DskState::Ended ? 0 : 1;
}

// Stop and Autotake as the main window sends them; nothing is on the list.
struct Keyer
{
    explicit Keyer(DeviceCli &cli) : player(keyer, list, cli.waits(), cli.boxes())
    {
        player.setLink(&cli.link());
    }
    TitleList list;
    KeyerState keyer{list};
    DskPlayer player;
};

int stop(DeviceCli &cli)
{
    if (!cli.arguments().isEmpty())
        return cli.usage(QStringLiteral("stop takes no arguments"));
    if (!cli.connect())
        return 1;
    Keyer k(cli);
    if (!k.player.Stop())
        return DeviceCli::fail(QStringLiteral("the mixer did not take the stop"));
    cliOut() << "stop sent\n";
    return 0;
}

int autotake(DeviceCli &cli)
{
    if (!cli.arguments().isEmpty())
        return cli.usage(QStringLiteral("autotake takes no arguments"));
    if (!cli.connect())
        return 1;
    Keyer k(cli);
    const int shown = cli.boxes().shownCount();
    if (!k.player.mnuOperate_AutotakeClick()) {
        if (cli.boxes().shownCount() == shown)
            DeviceCli::fail(QStringLiteral("the mixer did not take the Autotake"));
        return 1;
    }
    cliOut() << "autotake sent\n";
    return 0;
}

int keys(DeviceCli &cli)
{
    if (!cli.arguments().isEmpty())
        return cli.usage(QStringLiteral("keys takes no arguments"));
    if (!cli.connect())
        return 1;
    const std::optional<QStringList> codes = KeyCodes::read(cli.link());
    if (!codes)
        return DeviceCli::fail(QStringLiteral("the mixer did not report its key codes"));
    const char *const rows[] = {"KeyCode", "CP A", "CP B"};
    for (int row = 0; row < 3; ++row) {
        cliOut() << QString::fromLatin1(rows[row]).leftJustified(8);
        for (int k = 0; k < 3; ++k) {
            const QString &code = codes->at(row * 3 + k);
            cliOut() << ' ' << (code.isEmpty() ? QStringLiteral("-") : code).rightJustified(3);
        }
        cliOut() << "\n";
    }
    return 0;
}

} // namespace

static DeviceCli::Subcommand playCommand("play", "play LIST ORDER [--follow]", play);
static DeviceCli::Subcommand stopCommand("stop", "stop", stop);
static DeviceCli::Subcommand autotakeCommand("autotake", "autotake", autotake);
static DeviceCli::Subcommand keysCommand("keys", "keys", keys);
