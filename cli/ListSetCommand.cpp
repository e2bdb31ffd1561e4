// titledeck-cli list set: the property dialog's edits from the command line,
// through the same exit checks, the same pattern linking and the same mark
// rule; the list file is replaced only when every option applied.

#include "ListSetCommand.h"

#include "CliCommand.h"
#include "CliMessageBoxes.h"
#include "PropertyOptions.h"
#include "core/MessageBoxes.h"
#include "core/SettingsStore.h"
#include "core/VideoFormatParams.h"
#include "list/ListFile.h"
#include "list/TitleEntry.h"
#include "list/TitleList.h"
#include "properties/PropertyRules.h"
#include "properties/TitleProperties.h"

#include <QFileInfo>

namespace {

const QStringList kValueOptions{
    "name",     "comment",  "mark",     "protect",    "in-auto",    "in-wait",   "in-effect",
    "in-time",  "in-slide", "out-auto", "out-effect", "out-time",   "out-slide", "duration",
    "position", "movie",    "reverse",  "interval",   "roll-speed", "icon",      "signal"};

int usage(const QString &text)
{
    cliErr() << "titledeck-cli list: " << text << "\n"
             << "usage: titledeck-cli list set FILE ORDER... [--name TEXT] [--comment TEXT]\n"
                "         [--mark N [--replace-mark]] [--protect on|off] [--in-auto on|off]\n"
                "         [--in-wait SSFF] [--in-effect diss|pattern:N] [--in-time SSFF]\n"
                "         [--in-slide none|up|down|left|right[:SPEED]] [--out-auto on|off]\n"
                "         [--out-effect ...] [--out-time SSFF] [--out-slide ...]\n"
                "         [--duration MMSSFF] [--position X,Y] [--movie once|repeat]\n"
                "         [--reverse on|off] [--interval N] [--roll-speed N] [--icon N]\n"
                "         [--signal ntsc|pal]\n";
    return 2;
}

// Answers the mark question (message 102) as the options say, quietly.
class MarkAnswer : public MessageBoxes
{
public:
    explicit MarkAnswer(bool replace) : m_replace(replace) {}
    int show(int, int, const QString &, const QString &, int) override
    {
        return m_replace ? IdYes : IdNo;
    }

private:
    bool m_replace;
};

int storedSignal()
{
    SettingsStore store;
    store.beginGroup(QStringLiteral("MemorySetting"));
    const int signal = store.ReadIntegerDefault(QStringLiteral("Signal"), 0);
    store.endGroup();
    return signal;
}

bool refuse(const PropertyOptions::Report &report, const QString &option, const QString &why)
{
    report(QStringLiteral("--%1: %2").arg(option, why));
    return false;
}

// The edits of one title, in the order of the dialog's fields.
bool edit(const PropertyOptions &o, TitleProperties &p, const PropertyOptions::Report &report)
{
    const auto rule = [](QString (TitleProperties::*check)(const QString &) const,
                         const TitleProperties &props) {
        return [check, &props](const QString &typed) { return (props.*check)(typed); };
    };
    if (o.has("name"))
        p.name =
            PropertyOptions::checked("name", o.value("name"), PropertyRules::textField, report);
    if (o.has("comment"))
        p.comment = PropertyOptions::checked("comment", o.value("comment"),
                                             PropertyRules::textField, report);
    if (o.has("protect"))
        p.protect = *PropertyOptions::onOff(o.value("protect"));
    const bool movie = p.kind == TitleKind::Movie;
    for (const char *option : {"movie", "reverse", "interval"})
        if (o.has(option) && !movie)
            return refuse(report, option, QStringLiteral("only a MOVIE title has it"));
    if (o.has("movie")) {
        const QString v = o.value("movie");
        if (v != QLatin1String("once") && v != QLatin1String("repeat"))
            return refuse(report, "movie", QStringLiteral("takes once or repeat"));
        p.movieRepeat = v == QLatin1String("repeat");
    }
    if (o.has("reverse"))
        p.movieReverse = *PropertyOptions::onOff(o.value("reverse"));
    if (o.has("interval"))
        p.movieInterval = PropertyOptions::checked("interval", o.value("interval"),
                                                   PropertyRules::movieInterval, report);
    if (o.has("roll-speed")) {
        if (!p.rollOrCrawl())
            return refuse(report, "roll-speed",
                          QStringLiteral("only a ROLL or CRAWL title has it"));
        // A new speed gives the title its new run time, as in the dialog.
        p.rollCrawlSpeedChanged(PropertyOptions::checked("roll-speed", o.value("roll-speed"),
                                                         PropertyRules::speed, report));
    }
    if (o.has("icon"))
        p.iconFrame = PropertyOptions::checked("icon", o.value("icon"),
                                               rule(&TitleProperties::checkedIconFrame, p), report);
    if (o.has("position")) {
        const QStringList xy = o.value("position").split(QLatin1Char(','));
        if (xy.size() != 2)
            return refuse(report, "position", QStringLiteral("takes X,Y (either may be empty)"));
        if (!xy.at(0).isEmpty()) {
            if (!p.positionXEnabled())
                return refuse(report, "position", QStringLiteral("a CRAWL title has no X"));
            p.positionX = PropertyOptions::checked(
                "position X", xy.at(0), rule(&TitleProperties::checkedPositionX, p), report);
        }
        if (!xy.at(1).isEmpty()) {
            if (!p.positionYEnabled())
                return refuse(report, "position", QStringLiteral("this title's Y is fixed"));
            p.positionY = PropertyOptions::checked(
                "position Y", xy.at(1), rule(&TitleProperties::checkedPositionY, p), report);
        }
    }
    const auto shortTime = rule(&TitleProperties::checkedShortTime, p);
    if (!o.applyEffect("in", p.in, p.patterns, p.slides(), p.verticalSlides(), shortTime, report))
        return false;
    if (o.has("in-wait")) {
        if (!p.in.autoTrigger)
            return refuse(report, "in-wait", QStringLiteral("needs --in-auto on"));
        p.in.wait = PropertyOptions::checked("in-wait", o.value("in-wait"), shortTime, report);
    }
    if (o.has("out-auto") && !p.outTriggerEnabled())
        return refuse(report, "out-auto", QStringLiteral("a roll or crawl title has none"));
    if (!o.applyEffect("out", p.out, p.patterns, p.slides(), p.verticalSlides(), shortTime, report))
        return false;
    if (o.has("duration")) {
        if (!p.out.autoTrigger)
            return refuse(report, "duration", QStringLiteral("needs the out auto trigger on"));
        p.duration = PropertyOptions::checked("duration", o.value("duration"),
                                              rule(&TitleProperties::checkedDuration, p), report);
    }
    return true;
}

} // namespace

int runListSet(const QStringList &arguments)
{
    PropertyOptions o;
    if (!o.parse(arguments, kValueOptions, {"replace-mark"}))
        return usage(o.error);
    if (o.positional.size() < 2)
        return usage(QStringLiteral("set takes a list file and at least one order number"));
    int signal = storedSignal();
    if (o.has("signal")) {
        const QString v = o.value("signal");
        if (v != QLatin1String("ntsc") && v != QLatin1String("pal"))
            return usage(QStringLiteral("--signal takes ntsc or pal"));
        signal = v == QLatin1String("pal") ? 1 : 0;
    }
    std::optional<int> mark;
    if (o.has("mark")) {
        mark = PropertyRules::number(o.value("mark"));
        if (!mark || *mark < 0 || *mark > 9)
            return usage(QStringLiteral("--mark takes 0 (none) to 9"));
    }

    CliMessageBoxes boxes;
    const QString path = QFileInfo(o.positional.first()).absoluteFilePath();
    std::optional<std::vector<ListRecord>> records = ListFile::readRecords(path, true, boxes);
    if (!records)
        return 1;
    TitleList list;
    for (const ListRecord &r : *records) {
        TitleEntry e;
        e.FileList = QStringList{r.FirstFile};
        e.Attributes = r.Attributes;
        e.Name = r.Name;
        e.Comment = r.Comment;
        e.Mark = r.markOrNone();
        e.IconFrame = r.IconFrame;
        list.insert(list.count() + 1, std::move(e));
    }
    QList<int> orders;
    for (const QString &text : o.positional.mid(1)) {
        const std::optional<int> order = PropertyRules::number(text);
        if (!order || *order < 1 || *order > list.count())
            return usage(QStringLiteral("no title %1 in %2 (it holds %3)")
                             .arg(text, path)
                             .arg(list.count()));
        orders << *order;
    }

    const VideoFormatParams &format = VideoFormatParams::forSignal(signal);
    MarkAnswer answer(o.flag("replace-mark"));
    for (const int order : std::as_const(orders)) {
        const auto report = [order](const QString &line) {
            cliErr() << "titledeck-cli list: title " << order << ": " << line << "\n";
        };
        TitleEntry &title = list.at(order);
        TitleProperties p = TitleProperties::of(title, format);
        if (!edit(o, p, report)) {
            cliErr() << "titledeck-cli list: " << path << " not changed\n";
            return 1;
        }
        if (mark) {
            const std::optional<int> holder = list.FindByMark(*mark);
            p.mark = TitleProperties::chooseMark(list, order, *mark, answer);
            if (holder && *holder != order)
                report(p.mark
                           ? QStringLiteral("mark %1 taken from title %2").arg(*mark).arg(*holder)
                           : QStringLiteral("--mark %1 stored as 0: title %2 holds it (see "
                                            "--replace-mark)")
                                 .arg(*mark)
                                 .arg(*holder));
        }
        p.applyTo(title);
        title.Mark = p.mark;
    }
    for (int i = 1; i <= list.count(); ++i) {
        ListRecord &r = (*records)[std::size_t(i - 1)];
        const TitleEntry &e = list.at(i);
        r.Attributes = e.Attributes;
        r.Name = e.Name;
        r.Comment = e.Comment;
        r.Mark = e.Mark;
        r.IconFrame = e.IconFrame;
    }
    if (!ListFile::replaceFileContents(path, ListFile::encodeRecords(*records))) {
        ShowMessageById(boxes, 1, 91, MsgError);
        return 1;
    }
    cliOut() << path << ": " << orders.size() << (orders.size() == 1 ? " title" : " titles")
             << " changed\n";
    return 0;
}
