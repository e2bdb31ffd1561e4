// titledeck-cli device clear: clears titles and clips from the mixer's
// memory as the program's clear commands do, with their questions (answered
// by --yes; refused without it when standard input is not a terminal).
//   clear MEMNO... [--list LIST]  each stored number, as the memory window's
//                                 clear of a selected area (a title of LIST
//                                 protected or not; other data by number)
//   clear --list LIST             every title of LIST, protected ones kept
//   clear --all [--list LIST]     the whole memory, protected data included
// A LIST is brought into line with the mixer first, and written back with
// the titles that were cleared marked not stored.

#include "CliCommand.h"
#include "DeviceCli.h"
#include "DeviceListFile.h"
#include "core/MemoryNo.h"

#include <QFileInfo>
#include <vector>

namespace {

struct ClearOptions
{
    bool all = false;
    QString listPath;
    std::vector<std::uint16_t> numbers;
};

int storedTitles(const TitleList &list)
{
    int n = 0;
    for (int i = 1; i <= list.count(); ++i)
        n += list.at(i).isStored() ? 1 : 0;
    return n;
}

int clear(DeviceCli &cli)
{
    ClearOptions o;
    const QStringList &args = cli.arguments();
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--all")) {
            o.all = true;
        } else if (a == QLatin1String("--list")) {
            if (i + 1 >= args.size())
                return cli.usage(QStringLiteral("--list needs a list file"));
            o.listPath = args[++i];
        } else if (a.startsWith(QLatin1String("--"))) {
            return cli.usage(QStringLiteral("unknown option: ") + a);
        } else if (const auto memoryNo = DeviceCli::parseMemoryNo(a)) {
            o.numbers.push_back(*memoryNo);
        } else {
            return cli.usage(QStringLiteral("not a title or clip memory number: ") + a);
        }
    }
    if (o.all && !o.numbers.empty())
        return cli.usage(QStringLiteral("--all clears everything: give no memory numbers"));
    if (!o.all && o.numbers.empty() && o.listPath.isEmpty())
        return cli.usage(QStringLiteral("nothing to clear"));
    if (!cli.connect())
        return 1;

    DeviceListFile file;
    if (o.listPath.isEmpty())
        file.readMixer(cli);
    else if (!file.open(cli, QFileInfo(o.listPath).absoluteFilePath()))
        return 1;
    if (!o.numbers.empty() && !file.mapRead())
        return DeviceCli::fail(QStringLiteral("the memory map could not be read"));
    DeviceMemoryMirror &mirror = file.mirror();
    const TitleList &list = file.list();

    const int storedBefore = storedTitles(list);
    bool done = true;
    if (o.all) {
        done = mirror.ClearAll(MemoryNo::AllMemory, true);
        if (done)
            cliOut() << "cleared the whole memory\n";
    } else if (o.numbers.empty()) {
        done = mirror.ClearAll(MemoryNo::AllListTitles, true);
        if (done)
            cliOut() << "cleared " << storedBefore - storedTitles(list) << " of " << storedBefore
                     << " stored titles of the list\n";
    } else {
        for (const std::uint16_t memoryNo : o.numbers) {
            if (!mirror.usageOf(memoryNo)) {
                DeviceCli::fail(DeviceCli::memoryNoText(memoryNo) +
                                QStringLiteral(" is not stored in the mixer"));
                done = false;
            } else if (mirror.ClearArea(memoryNo)) {
                cliOut() << "cleared " << DeviceCli::memoryNoText(memoryNo) << "\n";
            } else {
                DeviceCli::fail(DeviceCli::memoryNoText(memoryNo) +
                                QStringLiteral(" was not cleared"));
                done = false;
            }
        }
    }
    if (!o.all && o.numbers.empty() && !done)
        DeviceCli::fail(QStringLiteral("nothing was cleared"));
    if (o.all && !done)
        DeviceCli::fail(QStringLiteral("the memory was not cleared"));
    // The list keeps what the mixer holds now, whatever was refused.
    if (!o.listPath.isEmpty() && !file.writeDeviceFields(cli.boxes()))
        return 1;
    return done ? 0 : 1;
}

} // namespace

static DeviceCli::Subcommand clearCommand("clear",
                                          "clear MEMNO... [--list LIST] | --list LIST | "
                                          "--all [--list LIST]",
                                          clear);
