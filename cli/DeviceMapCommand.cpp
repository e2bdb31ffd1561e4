// titledeck-cli device map: the memory mirror after one read of the mixer's
// memory map, as the memory window shows it: the video format, the aspect,
// the title rows and every block of the format's slot rows.

#include "CliCommand.h"
#include "DeviceCli.h"
#include "DeviceListFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// How a block's use is named in JSON and drawn in the grid.
struct UsageText
{
    const char *name;
    char letter;
};

UsageText textOf(BlockUsage usage)
{
    switch (usage) {
    case BlockUsage::Empty:
        return {"Empty", '.'};
    case BlockUsage::UsedTitle:
        return {"UsedTitle", 'T'};
    case BlockUsage::UsedIntVideo:
        return {"UsedIntVideo", 'I'};
    case BlockUsage::KeptTitle:
        return {"KeptTitle", 'P'};
    case BlockUsage::UsedUnknown:
        break;
    }
    // Any other value the mixer sends is data the program cannot attribute.
    return {"UsedUnknown", '?'};
}

QString signalName(const DeviceMemoryMirror &mirror)
{
    return mirror.videoFormat().isPal ? QStringLiteral("PAL") : QStringLiteral("NTSC");
}

QString aspectName(const DeviceMemoryMirror &mirror)
{
    return mirror.aspect16x9() ? QStringLiteral("16:9") : QStringLiteral("4:3");
}

void printJson(const DeviceMemoryMirror &mirror)
{
    QJsonArray rows;
    for (int row = 0; row < mirror.SlotRows(); ++row) {
        QJsonArray blocks;
        for (int block = 0; block < DeviceMemoryMirror::BlocksPerRow; ++block) {
            const MemoryMapRecord r = mirror.record(row, block);
            blocks.append(QJsonObject{{"usage", textOf(r.usage).name}, {"memoryNo", r.memoryNo}});
        }
        rows.append(blocks);
    }
    const QJsonObject root{{"signal", signalName(mirror)},
                           {"aspect", aspectName(mirror)},
                           {"titleRows", mirror.TitleRows()},
                           {"rows", rows}};
    cliOut() << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

// One line per slot row: its number within its area, a letter per block and
// the memory numbers held in it; the IntVideo area after a divider.
void printGrid(const DeviceMemoryMirror &mirror)
{
    cliOut() << "Signal: " << signalName(mirror) << "\n"
             << "Aspect: " << aspectName(mirror) << "\n"
             << "Title rows: " << mirror.TitleRows() << "\n"
             << "(. empty, T title, P protected title, I IntVideo, ? unknown data)\n";
    for (int row = 0; row < mirror.SlotRows(); ++row) {
        if (row == 0 && mirror.TitleRows() > 0)
            cliOut() << "titles\n";
        if (row == mirror.TitleRows())
            cliOut() << "IntVideo\n";
        const bool titleRow = row < mirror.TitleRows();
        QString letters;
        QStringList numbers;
        for (int block = 0; block < DeviceMemoryMirror::BlocksPerRow; ++block) {
            const MemoryMapRecord r = mirror.record(row, block);
            letters += QLatin1Char(textOf(r.usage).letter);
            const QString number = DeviceCli::memoryNoText(r.memoryNo);
            if (r.usage != BlockUsage::Empty && !numbers.contains(number))
                numbers << number;
        }
        cliOut() << QString::asprintf("  %2d  ", (titleRow ? row : row - mirror.TitleRows()) + 1)
                 << letters << (numbers.isEmpty() ? QString() : QStringLiteral("  "))
                 << numbers.join(QLatin1Char(' ')) << "\n";
    }
}

int map(DeviceCli &cli)
{
    const QStringList &arguments = cli.arguments();
    const bool json = arguments == QStringList{QStringLiteral("--json")};
    if (!arguments.isEmpty() && !json)
        return cli.usage(QStringLiteral("unknown option: ") + arguments.first());
    if (!cli.connect())
        return 1;
    DeviceListFile mixer;
    if (!mixer.readMixer(cli))
        return DeviceCli::fail(QStringLiteral("the memory map could not be read"));
    if (json)
        printJson(mixer.mirror());
    else
        printGrid(mixer.mirror());
    return 0;
}

} // namespace

static DeviceCli::Subcommand mapCommand("map", "map [--json]", map);
