// titledeck-cli defaults: the properties new titles start with (the settings'
// "Default" group), shown, edited with the default properties dialog's rules,
// or reset to the program's own values.

#include "CliCommand.h"
#include "PropertyOptions.h"
#include "core/Settings.h"
#include "core/SettingsStore.h"
#include "core/VideoFormatParams.h"
#include "properties/DefaultProperties.h"
#include "properties/DefaultPropertyValues.h"
#include "properties/PropertyRules.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QStringList kValueOptions{
    "still-duration",  "movie-duration", "roll-speed", "crawl-speed", "position-x",
    "position-y-ntsc", "position-y-pal", "in-effect",  "in-time",     "in-slide",
    "out-auto",        "out-effect",     "out-time",   "out-slide",   "signal"};

int usage(const QString &text)
{
    cliErr() << "titledeck-cli defaults: " << text << "\n"
             << "usage: titledeck-cli defaults show [--json]\n"
                "       titledeck-cli defaults set [--still-duration MMSSFF] "
                "[--movie-duration MMSSFF]\n"
                "         [--roll-speed N] [--crawl-speed N] [--position-x N] "
                "[--position-y-ntsc N]\n"
                "         [--position-y-pal N] [--in-effect diss|pattern:N] [--in-time SSFF]\n"
                "         [--in-slide none|up|down|left|right[:SPEED]] [--out-auto on|off]\n"
                "         [--out-effect ...] [--out-time SSFF] [--out-slide ...] "
                "[--signal ntsc|pal]\n"
                "       titledeck-cli defaults reset\n";
    return 2;
}

QJsonObject effectJson(const DefaultPropertyValues &v, bool in)
{
    const EffectTexts &t = in ? v.in : v.out;
    static const char *const directions[] = {"none", "up", "down", "left", "right"};
    const bool pattern = in ? v.patterns.inPattern() : v.patterns.outPattern();
    const QString number = in ? v.patterns.inText() : v.patterns.outText();
    QJsonObject o{
        {"effect", pattern ? QStringLiteral("pattern") : QStringLiteral("diss")},
        {"pattern", number.toInt()},
        {"time", t.time},
        {"slide", QLatin1String(directions[std::clamp(t.slideDirection, 0, 4)])},
        {"slideSpeed", t.slideSpeed.toInt()},
    };
    if (!in)
        o.insert("autoTrigger", t.autoTrigger);
    return o;
}

int show(bool json)
{
    SettingsStore store;
    const Settings settings = LoadSettings(store, SettingsContext{});
    const DefaultProperties d = DefaultProperties::fromSettings(settings.Default);
    const DefaultPropertyValues v = DefaultPropertyValues::of(d, 30);
    const QJsonObject root{
        {"stillDuration", v.stillDuration},
        {"movieDuration", v.movieDuration},
        {"rollSpeed", v.rollSpeed.toInt()},
        {"crawlSpeed", v.crawlSpeed.toInt()},
        {"positionX", v.positionX.toInt()},
        {"positionYNtsc", v.positionYNtsc.toInt()},
        {"positionYPal", v.positionYPal.toInt()},
        {"in", effectJson(v, true)},
        {"out", effectJson(v, false)},
    };
    if (json) {
        cliOut() << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
        return 0;
    }
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (!it->isObject()) {
            cliOut() << it.key() << ": " << it->toVariant().toString() << "\n";
            continue;
        }
        const QJsonObject side = it->toObject();
        for (auto s = side.begin(); s != side.end(); ++s)
            cliOut() << it.key() << "." << s.key() << ": " << s->toVariant().toString() << "\n";
    }
    return 0;
}

bool save(SettingsStore &store, const DefaultTitleSettings &defaults)
{
    if (SaveDefaultSettings(store, defaults))
        return true;
    cliErr() << "titledeck-cli defaults: " << store.fileName() << " cannot be written\n";
    return false;
}

int set(const PropertyOptions &o)
{
    int fps = VideoFormatParams::ntsc().framesPerSecond;
    SettingsStore store;
    if (o.has("signal")) {
        const QString v = o.value("signal");
        if (v != QLatin1String("ntsc") && v != QLatin1String("pal"))
            return usage(QStringLiteral("--signal takes ntsc or pal"));
        fps = VideoFormatParams::forSignal(v == QLatin1String("pal") ? 1 : 0).framesPerSecond;
    } else {
        store.beginGroup(QStringLiteral("MemorySetting"));
        fps = VideoFormatParams::forSignal(store.ReadIntegerDefault(QStringLiteral("Signal"), 0))
                  .framesPerSecond;
        store.endGroup();
    }
    Settings settings = LoadSettings(store, SettingsContext{});
    DefaultProperties defaults = DefaultProperties::fromSettings(settings.Default);
    DefaultPropertyValues v = DefaultPropertyValues::of(defaults, fps);
    const auto report = [](const QString &line) {
        cliErr() << "titledeck-cli defaults: " << line << "\n";
    };
    const auto duration = [&v](const QString &typed) { return v.checkedDuration(typed); };
    const auto shortTime = [&v](const QString &typed) { return v.checkedShortTime(typed); };
    const struct
    {
        const char *option;
        QString *field;
        std::function<QString(const QString &)> rule;
    } fields[] = {
        {"still-duration", &v.stillDuration, duration},
        {"movie-duration", &v.movieDuration, duration},
        {"roll-speed", &v.rollSpeed, PropertyRules::speed},
        {"crawl-speed", &v.crawlSpeed, PropertyRules::speed},
        {"position-x", &v.positionX, DefaultPropertyValues::checkedPositionX},
        {"position-y-ntsc", &v.positionYNtsc, DefaultPropertyValues::checkedPositionYNtsc},
        {"position-y-pal", &v.positionYPal, DefaultPropertyValues::checkedPositionYPal},
    };
    for (const auto &f : fields)
        if (o.has(f.option))
            *f.field = PropertyOptions::checked(f.option, o.value(f.option), f.rule, report);
    // Every slide direction is offered: a default does not know the title's height.
    if (!o.applyEffect("in", v.in, v.patterns, true, true, shortTime, report) ||
        !o.applyEffect("out", v.out, v.patterns, true, true, shortTime, report)) {
        cliErr() << "titledeck-cli defaults: nothing changed\n";
        return 1;
    }
    v.applyTo(defaults);
    defaults.toSettings(settings.Default);
    return save(store, settings.Default) ? 0 : 1;
}

int runDefaults(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usage(QStringLiteral("missing sub-command"));
    const QString sub = arguments.first();
    PropertyOptions o;
    const QStringList values = sub == QLatin1String("set") ? kValueOptions : QStringList();
    if (!o.parse(arguments.mid(1), values, {"json"}))
        return usage(o.error);
    if (!o.positional.isEmpty())
        return usage(QStringLiteral("unexpected argument: ") + o.positional.first());
    if (sub == QLatin1String("show"))
        return show(o.flag("json"));
    if (sub == QLatin1String("set"))
        return set(o);
    if (sub == QLatin1String("reset")) {
        SettingsStore store;
        DefaultTitleSettings defaults;
        DefaultProperties::factory().toSettings(defaults);
        return save(store, defaults) ? 0 : 1;
    }
    return usage(QStringLiteral("unknown sub-command: ") + sub);
}

} // namespace

static CliCommand
    defaultsCommand("defaults", "defaults show [--json] | defaults set [options] | defaults reset",
                    runDefaults);
