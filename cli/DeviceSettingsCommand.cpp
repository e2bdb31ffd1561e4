// titledeck-cli device settings: the mixer's signal, aspect and split of its
// slot rows between titles and IntVideo, shown, or changed with the mixer
// settings dialog's rules and question (answered by --yes):
//   settings [--signal ntsc|pal] [--aspect 4:3|16:9] [--title-rows N]
// A new signal splits the rows in two halves unless --title-rows says
// otherwise; a count outside the format's rows becomes half of them.
// titledeck-cli device recall N: recalls the mixer's stored event N (0..99).

#include "CliCommand.h"
#include "DeviceCli.h"
#include "DeviceListFile.h"
#include "memory/KeyerState.h"
#include "memory/VT90Setup.h"

#include <optional>

namespace {

struct SettingOptions
{
    std::optional<int> signal;
    std::optional<int> aspect;
    std::optional<QString> titleRows;
};

void printSetting(int signal, int aspect, int titleRows, int total)
{
    cliOut() << "Signal: " << (signal == 1 ? "PAL" : "NTSC") << "\n"
             << "Aspect: " << (aspect == 1 ? "16:9" : "4:3") << "\n"
             << "Title rows: " << titleRows << "\n"
             << "IntVideo rows: " << total - titleRows << "\n";
}

int settings(DeviceCli &cli)
{
    SettingOptions o;
    const QStringList &args = cli.arguments();
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a != "--signal" && a != "--aspect" && a != "--title-rows")
            return cli.usage(QStringLiteral("unknown argument: ") + a);
        if (i + 1 >= args.size())
            return cli.usage(a + QStringLiteral(" needs a value"));
        const QString value = args[++i].toLower();
        if (a == "--signal") {
            if (value != "ntsc" && value != "pal")
                return cli.usage(QStringLiteral("--signal is ntsc or pal"));
            o.signal = value == "pal" ? 1 : 0;
        } else if (a == "--aspect") {
            if (value != "4:3" && value != "16:9")
                return cli.usage(QStringLiteral("--aspect is 4:3 or 16:9"));
            o.aspect = value == "16:9" ? 1 : 0;
        } else {
            o.titleRows = value;
        }
    }
    if (!cli.connect())
        return 1;
    DeviceListFile mixer;
    if (!mixer.readMixer(cli))
        return DeviceCli::fail(QStringLiteral("the memory map could not be read"));
    const DeviceMemoryMirror &mirror = mixer.mirror();
    if (!o.signal && !o.aspect && !o.titleRows) {
        printSetting(mirror.Signal(), mirror.Aspect(), mirror.TitleRows(),
                     VT90Setup::totalRows(mirror.Signal()));
        return 0;
    }

    // The command line has no keyer of its own to wait for.
    KeyerState keyer(mixer.list());
    VT90Setup setup(cli.link(), keyer, cli.boxes());
    setup.open(mirror.Signal(), mirror.Aspect(), mirror.TitleRows());
    if (o.signal && *o.signal != setup.signal())
        setup.CBoxSignalChange(*o.signal);
    if (o.aspect)
        setup.CBoxAspectChange(*o.aspect);
    if (o.titleRows) {
        setup.EditTitleCountChange(*o.titleRows);
        if (*o.titleRows != QString::number(setup.titleCount()))
            cliErr() << "titledeck-cli: " << *o.titleRows << " title rows do not fit 0.."
                     << setup.total() << ": " << setup.titleCount() << " taken\n";
    }
    switch (setup.ButtonMemorySetClick()) {
    case VT90Setup::Applied::Unchanged:
        cliOut() << "The mixer already runs this setting.\n";
        printSetting(setup.signal(), setup.aspect(), setup.titleCount(), setup.total());
        return 0;
    case VT90Setup::Applied::Sent:
        cliOut() << "Sent; the mixer applies it now:\n";
        printSetting(setup.signal(), setup.aspect(), setup.titleCount(), setup.total());
        return 0;
    case VT90Setup::Applied::Declined:
        return DeviceCli::fail(QStringLiteral("not changed (confirm with --yes)"));
    case VT90Setup::Applied::KeyerBusy:
    case VT90Setup::Applied::DeviceBusy:
    case VT90Setup::Applied::NotAccepted:
        break;
    }
    return 1;
}

int recall(DeviceCli &cli)
{
    const QStringList &args = cli.arguments();
    if (args.size() != 1)
        return cli.usage(args.isEmpty() ? QStringLiteral("an event number is needed")
                                        : QStringLiteral("unknown argument: ") + args.at(1));
    int number = 0;
    if (!VT90Setup::readEventNumber(args.at(0), number))
        return cli.usage(QStringLiteral("the event number is 0..99, not \"%1\"").arg(args.at(0)));
    if (!cli.connect())
        return 1;
    TitleList list;
    KeyerState keyer(list);
    VT90Setup setup(cli.link(), keyer, cli.boxes());
    QString text = args.at(0);
    if (setup.ButtonEventRecallClick(text) != VT90Setup::Recalled::Sent)
        return 1;
    cliOut() << "Event " << text << " recalled.\n";
    return 0;
}

} // namespace

static DeviceCli::Subcommand
    settingsCommand("settings",
                    "settings [--signal ntsc|pal] [--aspect 4:3|16:9] [--title-rows N] [--yes]",
                    settings);
static DeviceCli::Subcommand recallCommand("recall", "recall N", recall);
