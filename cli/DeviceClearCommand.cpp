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
#include "core/MemoryNo.h"
#include "core/Settings.h"
#include "device/DeviceLink.h"
#include "imaging/MagickImageLibrary.h"
#include "list/ListRecord.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/KeyerState.h"
#include "memory/MemoryMapReader.h"

#include <optional>
#include <vector>

namespace {

struct ClearOptions
{
    bool all = false;
    QString listPath;
    std::vector<std::uint16_t> numbers;
};

// A memory number in decimal or 0x hexadecimal; only title and clip numbers.
std::optional<std::uint16_t> parseMemoryNo(const QString &text)
{
    bool ok = false;
    const uint value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                           ? text.mid(2).toUInt(&ok, 16)
                           : text.toUInt(&ok, 10);
    if (!ok || value > 0xFFFF || !MemoryNo::isData(std::uint16_t(value)))
        return std::nullopt;
    return std::uint16_t(value);
}

QString hex(std::uint16_t memoryNo)
{
    return QStringLiteral("0x%1").arg(memoryNo, 4, 16, QLatin1Char('0'));
}

int storedTitles(const TitleList &list)
{
    int n = 0;
    for (int i = 1; i <= list.count(); ++i)
        n += list.at(i).isStored() ? 1 : 0;
    return n;
}

// The map read now, or nothing (with the reason) when the mixer did not give one.
std::optional<QByteArray> readMap(DeviceLink &link)
{
    QByteArray map;
    MemoryMapReader::Read(link, [&map](const QByteArray &block) {
        if (!DeviceMemoryMirror::headerOf(block))
            return false;
        map = block;
        return true;
    });
    if (map.isEmpty()) {
        DeviceCli::fail(QStringLiteral("the memory map could not be read"));
        return std::nullopt;
    }
    return map;
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
        } else if (const auto memoryNo = parseMemoryNo(a)) {
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

    TitleList list;
    std::vector<ListRecord> records;
    if (!o.listPath.isEmpty() && !cli.openListForDevice(o.listPath, records, list))
        return 1;
    std::optional<QByteArray> map;
    if (!o.numbers.empty() && !(map = readMap(cli.link())))
        return 1;

    // The mirror starts from the mixer's own setting, so taking its map
    // raises no format or allocation notice.
    KeyerState keyer(list);
    MagickImageLibrary images;
    DefaultTitleSettings defaults;
    DeviceMemoryMirror mirror({list, keyer, cli.boxes(), images, cli.waits(), defaults},
                              map ? *DeviceMemoryMirror::headerOf(*map) : MemorySetting{});
    mirror.setLink(&cli.link());
    if (map)
        mirror.ApplyMemoryMap(*map);

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
                DeviceCli::fail(hex(memoryNo) + QStringLiteral(" is not stored in the mixer"));
                done = false;
            } else if (mirror.ClearArea(memoryNo)) {
                cliOut() << "cleared " << hex(memoryNo) << "\n";
            } else {
                DeviceCli::fail(hex(memoryNo) + QStringLiteral(" was not cleared"));
                done = false;
            }
        }
    }
    if (!o.all && o.numbers.empty() && !done)
        DeviceCli::fail(QStringLiteral("nothing was cleared"));
    if (o.all && !done)
        DeviceCli::fail(QStringLiteral("the memory was not cleared"));
    // The list keeps what the mixer holds now, whatever was refused.
    if (!o.listPath.isEmpty() && !cli.writeListDeviceFields(o.listPath, records, list))
        return 1;
    return done ? 0 : 1;
}

} // namespace

static DeviceCli::Subcommand clearCommand("clear",
                                          "clear MEMNO... [--list LIST] | --list LIST | "
                                          "--all [--list LIST]",
                                          clear);
