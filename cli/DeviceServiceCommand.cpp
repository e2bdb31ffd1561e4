// The service commands of the USB diagnostics window:
//   titledeck-cli device page N             shows page N of the mixer's graphics
//                                           memory on its output
//   titledeck-cli device reset              resets the device (port reset)
//   titledeck-cli device serial CMD [P1..P5] sends a command to the mixer's
//                                           controller: CMD one of the 64 names, as
//                                           many parameters as it takes; the block
//                                           sent is printed (cut at 34 bytes)

#include "CliCommand.h"
#include "DeviceCli.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "device/SerialCommand.h"

namespace {

int page(DeviceCli &cli)
{
    const QStringList &args = cli.arguments();
    if (args.size() != 1)
        return cli.usage(args.isEmpty() ? QStringLiteral("the page number N is needed")
                                        : QStringLiteral("unknown argument: ") + args.at(1));
    bool ok = false;
    const uint n = args.at(0).toUInt(&ok, 0);
    if (!ok || n > 0xFFFF)
        return cli.usage(
            QStringLiteral("N must be a page number from 0 to 65535, not \"%1\"").arg(args.at(0)));
    if (!cli.connect())
        return 1;
    if (!DeviceCommands(cli.link()).PreviewMemoryPage(std::uint16_t(n)))
        return DeviceCli::fail(QStringLiteral("the mixer did not take the preview request"));
    cliOut() << "page " << n << " previewed\n";
    return 0;
}

int reset(DeviceCli &cli)
{
    if (!cli.arguments().isEmpty())
        return cli.usage(QStringLiteral("unknown argument: ") + cli.arguments().first());
    if (!cli.connect())
        return 1;
    if (!cli.link().ResetDevice())
        return DeviceCli::fail(QStringLiteral("the device could not be reset"));
    cliOut() << "device reset\n";
    return 0;
}

// The block's text up to its first zero byte, then the whole block in hex.
QString blockText(const QByteArray &block)
{
    const qsizetype end = block.indexOf('\0');
    return QString::fromLatin1(end < 0 ? block : block.left(end)) + QStringLiteral("  (") +
           QString::fromLatin1(block.toHex(' ')) + QLatin1Char(')');
}

int serial(DeviceCli &cli)
{
    const QStringList &args = cli.arguments();
    if (args.isEmpty())
        return cli.usage(QStringLiteral("the command name CMD is needed"));
    const QString command = args.at(0).toUpper();
    const int count = SerialCommand::parameterCount(command);
    if (count < 0)
        return cli.usage(
            QStringLiteral("\"%1\" is not one of the controller's commands").arg(args.at(0)));
    const QStringList parameters = args.mid(1);
    if (parameters.size() != count)
        return cli.usage(QStringLiteral("%1 takes %2 parameter(s), not %3")
                             .arg(command)
                             .arg(count)
                             .arg(parameters.size()));
    for (const QString &p : parameters) {
        for (const QChar c : p) {
            if (c.unicode() < 0x20 || c.unicode() > 0x7E)
                return cli.usage(QStringLiteral("parameters are printable ASCII: \"%1\"").arg(p));
        }
    }
    if (!cli.connect())
        return 1;
    const QByteArray block = SerialCommand::buildBlock(command, parameters, count);
    const qsizetype wanted = 4 + parameters.join(QString()).size() +
                             (command == QLatin1String("WFV") ? qMax(0, count - 2) : 0);
    if (wanted > block.size())
        cliErr() << "titledeck-cli: the parameters do not fit: the block is cut at " << block.size()
                 << " bytes\n";
    if (!DeviceCommands(cli.link()).SendSerialCommand(block))
        return DeviceCli::fail(QStringLiteral("the mixer did not take the command"));
    cliOut() << "sent " << blockText(block) << "\n";
    return 0;
}

} // namespace

static DeviceCli::Subcommand pageCommand("page", "page N", page);
static DeviceCli::Subcommand resetCommand("reset", "reset", reset);
static DeviceCli::Subcommand serialCommand("serial", "serial CMD [P1..P5]", serial);
