// titledeck-cli list: show, check and add to send list files (".vtl") with
// the program's own readers, checks and import, and its settings and
// property history.

#include "CliCommand.h"
#include "CliMessageBoxes.h"
#include "CliTitleTypeChooser.h"
#include "ListSetCommand.h"
#include "core/AppPaths.h"
#include "core/MemorySetting.h"
#include "core/MessageBoxes.h"
#include "core/Settings.h"
#include "core/SettingsStore.h"
#include "core/VideoFormatParams.h"
#include "core/Waits.h"
#include "imaging/MagickImageLibrary.h"
#include "imaging/TitleTypeRules.h"
#include "list/ListEditor.h"
#include "list/ListFile.h"
#include "list/ListServices.h"
#include "list/PropertyHistory.h"
#include "list/TitleEntry.h"
#include "list/TitleList.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString kindName(const TitleAttributes &a)
{
    return TitleTypeRules::kindText(TitleTypeRules::kindOfTypeFlags(a.typeFlags()));
}

QJsonObject effectJson(const TitleAttributes &a, Effect e)
{
    return QJsonObject{
        {"flags", a.effectFlags(e)},           {"autoTrigger", a.autoTrigger(e)},
        {"wipePattern", a.isPattern(e)},       {"slideDirection", a.slideDirection(e)},
        {"slideSpeed", a.slideSpeed(e)},       {"slideSpeedByte", a.slideSpeedByte(e)},
        {"effPattern", a.effPattern(e)},       {"effPatternWord", a.effPatternWord(e)},
        {"effTimeSecond", a.effTimeSecond(e)}, {"effTimeFrame", a.effTimeFrame(e)},
        {"waitSecond", a.waitSecond(e)},       {"waitFrame", a.waitFrame(e)},
    };
}

QJsonObject attributesJson(const TitleAttributes &a)
{
    const auto &b = a.bytes();
    return QJsonObject{
        {"memoryNo", a.memoryNo()},
        {"typeFlags", a.typeFlags()},
        {"kind", kindName(a)},
        {"movieReverse", a.movieReverse()},
        {"protect", a.protect()},
        {"rollCrawlSpeed", a.rollCrawlSpeed()},
        {"rollCrawlSpeedByte", a.rollCrawlSpeedByte()},
        {"blocksPerFrame", a.blocksPerFrame()},
        {"movieInterval", a.movieInterval()},
        {"frameCount", a.frameCount()},
        {"positionX", a.positionX()},
        {"positionY", a.positionY()},
        {"durMinute", a.durMinute()},
        {"durSecond", a.durSecond()},
        {"durFrame", a.durFrame()},
        {"reserved15", b[15]},
        {"in", effectJson(a, Effect::In)},
        {"out", effectJson(a, Effect::Out)},
        {"width", a.width()},
        {"height", a.height()},
        {"deviceWord", qint64(a.deviceWord())},
        {"bytes",
         QString::fromLatin1(
             QByteArray(reinterpret_cast<const char *>(b.data()), TitleAttributes::Size).toHex())},
    };
}

QJsonObject recordJson(int order, const ListRecord &r)
{
    return QJsonObject{
        {"order", order},
        {"firstFile", r.FirstFile},
        {"name", r.Name},
        {"comment", r.Comment},
        // The mark the program uses (0 for a damaged one) and the stored number.
        {"mark", r.markOrNone()},
        {"storedMark", r.Mark},
        {"iconFrame", r.IconFrame},
        {"attributes", attributesJson(r.Attributes)},
    };
}

void printText(const QJsonObject &object, const QString &indent)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it->isObject()) {
            cliOut() << indent << it.key() << ":\n";
            printText(it->toObject(), indent + QStringLiteral("  "));
            continue;
        }
        QString value;
        if (it->isBool())
            value = it->toBool() ? QStringLiteral("true") : QStringLiteral("false");
        else if (it->isDouble())
            value = QString::number(it->toInteger());
        else
            value = it->toString();
        cliOut() << indent << it.key() << ": " << value << "\n";
    }
}

// The program's services for the command line: settings and history of the
// installation, messages on standard error, the title type answered by options.
struct CliContext
{
    explicit CliContext(int signal)
        : paths(AppPaths::standard()),
          settings(LoadSettings(store, SettingsContext{paths.ProgramFolder, 0, 0})),
          history(paths.HistoryFile, waits),
          format(VideoFormatParams::forSignal(signal)), services{boxes,    images,  waits,
                                                                 settings, history, chooser}
    {
        services.videoFormat = [this]() -> const VideoFormatParams & { return format; };
    }

    AppPaths paths;
    SettingsStore store;
    Settings settings;
    CliMessageBoxes boxes;
    MagickImageLibrary images;
    Waits waits;
    PropertyHistory history;
    CliTitleTypeChooser chooser;
    const VideoFormatParams &format;
    ListServices services;
};

int storedSignal()
{
    SettingsStore store;
    return ReadMemorySetting(store).Signal;
}

int usageError(const QString &text)
{
    cliErr() << "titledeck-cli list: " << text << "\n"
             << "usage: titledeck-cli list show FILE [--json]\n"
             << "       titledeck-cli list check FILE [--signal ntsc|pal]\n"
             << "       titledeck-cli list add FILE PICTURE... [--kind KIND] [--frames N] "
                "[--icon N] [--signal ntsc|pal]\n"
             << "       KIND: still, movie-once, movie-repeat, roll-up, roll-down, crawl-left, "
                "crawl-right\n";
    return 2;
}

struct Options
{
    QStringList positional;
    bool json = false;
    std::optional<TitleTypeKind> kind;
    int frames = 0;
    int icon = 0;
    int signal = -1;
    QString error;
};

Options parseOptions(const QStringList &arguments)
{
    Options o;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        auto value = [&]() -> QString {
            if (i + 1 >= arguments.size()) {
                o.error = a + QStringLiteral(" needs a value");
                return QString();
            }
            return arguments.at(++i);
        };
        auto number = [&](int &target) {
            bool ok = false;
            const QString v = value();
            target = v.toInt(&ok);
            if (o.error.isEmpty() && (!ok || target < 1))
                o.error = a + QStringLiteral(" needs a number of 1 or more");
        };
        if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--kind")) {
            const QString v = value();
            o.kind = CliTitleTypeChooser::kindOption(v);
            if (o.error.isEmpty() && !o.kind)
                o.error = QStringLiteral("unknown kind: ") + v;
        } else if (a == QLatin1String("--frames")) {
            number(o.frames);
        } else if (a == QLatin1String("--icon")) {
            number(o.icon);
        } else if (a == QLatin1String("--signal")) {
            const QString v = value().toLower();
            if (v == QLatin1String("ntsc"))
                o.signal = 0;
            else if (v == QLatin1String("pal"))
                o.signal = 1;
            else if (o.error.isEmpty())
                o.error = QStringLiteral("--signal takes ntsc or pal");
        } else if (a.startsWith(QLatin1String("--"))) {
            o.error = QStringLiteral("unknown option: ") + a;
        } else {
            o.positional << a;
        }
        if (!o.error.isEmpty())
            break;
    }
    return o;
}

int show(const Options &o)
{
    if (o.positional.size() != 1)
        return usageError(QStringLiteral("show takes one list file"));
    CliMessageBoxes boxes;
    const QString path = o.positional.first();
    const std::optional<std::vector<ListRecord>> records = ListFile::readRecords(path, true, boxes);
    if (!records)
        return 1;
    QJsonArray array;
    for (std::size_t i = 0; i < records->size(); ++i)
        array.append(recordJson(int(i) + 1, (*records)[i]));
    if (o.json) {
        const QJsonObject root{{"file", QFileInfo(path).absoluteFilePath()},
                               {"count", int(records->size())},
                               {"titles", array}};
        cliOut() << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
        return 0;
    }
    cliOut() << QFileInfo(path).absoluteFilePath() << ": " << records->size() << " titles\n";
    for (const QJsonValue &record : std::as_const(array)) {
        cliOut() << "title " << record.toObject().value("order").toInt() << "\n";
        QJsonObject fields = record.toObject();
        fields.remove(QStringLiteral("order"));
        printText(fields, QStringLiteral("  "));
    }
    return 0;
}

int check(const Options &o)
{
    if (o.positional.size() != 1)
        return usageError(QStringLiteral("check takes one list file"));
    CliContext context(o.signal >= 0 ? o.signal : storedSignal());
    const QString path = o.positional.first();
    const std::optional<std::vector<ListRecord>> records =
        ListFile::readRecords(path, true, context.boxes);
    if (!records)
        return 1;
    int good = 0;
    for (const ListRecord &record : *records) {
        TitleEntry entry = TitleEntry::create();
        const ListFile::LoadResult result =
            ListFile::prepareTitleRecord(entry, record, false, context.format, context.images);
        if (result != ListFile::LoadResult::Loaded) {
            ListFile::reportLoadResult(result, record.FirstFile, context.boxes);
            continue;
        }
        // The thumbnail needs the icon frame's picture.
        const QString icon = entry.FileList.at(entry.IconFrame - 1);
        if (const std::optional<Bitmap> picture = context.images.load(icon);
            !picture || picture->isNull()) {
            ShowMessageById(context.boxes, 1, 122, MsgError, {QFileInfo(icon).fileName()});
        }
        ++good;
    }
    cliOut() << QFileInfo(path).absoluteFilePath() << ": " << good << " of " << records->size()
             << " titles load\n";
    return good == int(records->size()) && context.boxes.shownCount() == 0 ? 0 : 1;
}

// Why a picture was not added when the import refused it without a message (the
// window stays silent there): a picture of the title could not be read.
QString silentRefusal(CliContext &context, const QString &file)
{
    return context.images.fileInfo(file)
               ? QStringLiteral("a picture of its sequence cannot be read")
               : QStringLiteral("the picture cannot be read");
}

int add(const Options &o)
{
    if (o.positional.size() < 2)
        return usageError(QStringLiteral("add takes a list file and at least one picture"));
    CliContext context(o.signal >= 0 ? o.signal : storedSignal());
    if (o.kind)
        context.chooser.setKind(*o.kind);
    context.chooser.setFrames(o.frames);
    context.chooser.setIcon(o.icon);
    const auto reported = [&context] {
        return context.boxes.shownCount() + context.chooser.refusalCount();
    };

    TitleList list;
    ListEditor editor(list, context.services);
    const QString path = QFileInfo(o.positional.first()).absoluteFilePath();
    // Opening writes the list back at once; a failed write-back (message 91)
    // leaves the file as it was, and the final save reports it again.
    if (QFileInfo::exists(path) && !editor.OpenList(path, true))
        return 1;
    // "Ask" has nobody to ask here: the history is then not used.
    const int mode = context.settings.Environment.HistoryMode == 1
                         ? 2
                         : context.settings.Environment.HistoryMode;
    bool allAdded = true;
    for (const QString &picture : o.positional.mid(1)) {
        const QString file = QFileInfo(picture).absoluteFilePath();
        const int before = reported();
        if (editor.AddImageFile(file, mode)) {
            cliOut() << "added " << file << " as title " << list.count() << "\n";
            continue;
        }
        allAdded = false;
        if (reported() == before)
            cliErr() << "titledeck-cli list: " << file
                     << " not added: " << silentRefusal(context, file) << "\n";
    }
    if (list.isEmpty()) {
        cliErr() << "titledeck-cli list: no titles, " << path << " not written\n";
        return 1;
    }
    if (!editor.SaveList(path, true))
        return 1;
    cliOut() << path << ": " << list.count() << " titles\n";
    return allAdded ? 0 : 1;
}

int runList(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usageError(QStringLiteral("missing sub-command"));
    const QString sub = arguments.first();
    if (sub == QLatin1String("set"))
        return runListSet(arguments.mid(1));
    const Options o = parseOptions(arguments.mid(1));
    if (!o.error.isEmpty())
        return usageError(o.error);
    if (sub == QLatin1String("show"))
        return show(o);
    if (sub == QLatin1String("check"))
        return check(o);
    if (sub == QLatin1String("add"))
        return add(o);
    return usageError(QStringLiteral("unknown sub-command: ") + sub);
}

} // namespace

static CliCommand listCommand(
    "list",
    "list show FILE [--json] | list check FILE | list add FILE PICTURE... [--kind KIND] "
    "[--frames N] [--icon N] [--signal ntsc|pal] | list set FILE ORDER... [options]",
    runList);
