// titledeck-cli device clip-props: shows or changes the movie properties of
// an IntVideo clip in the mixer, as the memory window's property dialog does.
//   clip-props MEMNO [--once|--repeat] [--reverse on|off] [--interval N]
// Without options the clip's properties are printed; with them the clip's
// header is read, changed and written back (a still clip has none).

#include "CliCommand.h"
#include "DeviceCli.h"
#include "memory/ClipProperties.h"

namespace {

void print(std::uint16_t memoryNo, const TitleAttributes &h)
{
    cliOut() << DeviceCli::memoryNoText(memoryNo) << ": "
             << (h.kind() == TitleKind::Still ? "still" : "movie") << ", " << h.frameCount()
             << " frames";
    if (h.kind() != TitleKind::Still)
        cliOut() << ", " << (h.directionBit() ? "repeat" : "once") << ", "
                 << (h.movieReverse() ? "reverse" : "normal") << ", interval " << h.movieInterval();
    cliOut() << "\n";
}

int clipProps(DeviceCli &cli)
{
    const QStringList &args = cli.arguments();
    std::optional<std::uint16_t> memoryNo;
    std::optional<bool> repeat;
    std::optional<bool> reverse;
    std::optional<int> interval;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--once") || a == QLatin1String("--repeat")) {
            const bool r = a == QLatin1String("--repeat");
            if (repeat && *repeat != r)
                return cli.usage(QStringLiteral("--once and --repeat exclude each other"));
            repeat = r;
        } else if (a == QLatin1String("--reverse")) {
            const QString v = i + 1 < args.size() ? args[++i] : QString();
            if (v != QLatin1String("on") && v != QLatin1String("off"))
                return cli.usage(QStringLiteral("--reverse takes on or off"));
            reverse = v == QLatin1String("on");
        } else if (a == QLatin1String("--interval")) {
            bool ok = false;
            const int v = i + 1 < args.size() ? args[++i].toInt(&ok) : -1;
            if (!ok || v < 0 || v > 255)
                return cli.usage(QStringLiteral("--interval takes a number 0 to 255"));
            interval = v;
        } else if (a.startsWith(QLatin1String("--"))) {
            return cli.usage(QStringLiteral("unknown option: ") + a);
        } else if (!memoryNo && DeviceCli::parseMemoryNo(a)) {
            memoryNo = DeviceCli::parseMemoryNo(a);
        } else {
            return cli.usage(QStringLiteral("one clip memory number: ") + a);
        }
    }
    if (!memoryNo)
        return cli.usage(QStringLiteral("which clip?"));
    if (*memoryNo < MemoryNo::FirstClip || *memoryNo > MemoryNo::LastClip)
        return DeviceCli::fail(DeviceCli::memoryNoText(*memoryNo) +
                               QStringLiteral(" is not an IntVideo clip number"));
    if (!cli.connect())
        return 1;
    const std::optional<TitleAttributes> header = ClipProperties::readHeader(cli.link(), *memoryNo);
    if (!header)
        return DeviceCli::fail(QStringLiteral("the header of ") +
                               DeviceCli::memoryNoText(*memoryNo) +
                               QStringLiteral(" could not be read"));
    if (!repeat && !reverse && !interval) {
        print(*memoryNo, *header);
        return 0;
    }
    ClipProperties p = ClipProperties::fromHeader(*header);
    p.repeat = repeat.value_or(p.repeat);
    p.reverse = reverse.value_or(p.reverse);
    p.interval = interval.value_or(p.interval);
    TitleAttributes written;
    switch (ClipProperties::write(cli.link(), *memoryNo, p, &written)) {
    case ClipProperties::Result::Written:
        print(*memoryNo, written);
        return 0;
    case ClipProperties::Result::Still:
        return DeviceCli::fail(DeviceCli::memoryNoText(*memoryNo) +
                               QStringLiteral(" is a still clip: it has no movie properties"));
    case ClipProperties::Result::NotAClip:
    case ClipProperties::Result::NoHeader:
    case ClipProperties::Result::NotWritten:
        break;
    }
    return DeviceCli::fail(QStringLiteral("the header of ") + DeviceCli::memoryNoText(*memoryNo) +
                           QStringLiteral(" was not written"));
}

} // namespace

static DeviceCli::Subcommand clipCommand("clip-props",
                                         "clip-props MEMNO [--once|--repeat] [--reverse on|off] "
                                         "[--interval N]",
                                         clipProps);
