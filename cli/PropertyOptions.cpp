#include "PropertyOptions.h"

#include "properties/PropertyRules.h"

bool PropertyOptions::parse(const QStringList &arguments, const QStringList &valueOptions,
                            const QStringList &flags)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (!a.startsWith(QLatin1String("--"))) {
            positional << a;
            continue;
        }
        const QString name = a.mid(2);
        if (flags.contains(name)) {
            m_flags << name;
            continue;
        }
        if (!valueOptions.contains(name)) {
            error = QStringLiteral("unknown option: ") + a;
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = a + QStringLiteral(" needs a value");
            return false;
        }
        m_values.insert(name, arguments.at(++i));
    }
    for (const QString &name : m_values.keys()) {
        if ((name.endsWith(QLatin1String("-auto")) || name == QLatin1String("protect") ||
             name == QLatin1String("reverse")) &&
            !onOff(m_values.value(name))) {
            error = QStringLiteral("--") + name + QStringLiteral(" takes on or off");
            return false;
        }
    }
    return true;
}

std::optional<bool> PropertyOptions::onOff(const QString &text)
{
    if (text == QLatin1String("on"))
        return true;
    if (text == QLatin1String("off"))
        return false;
    return std::nullopt;
}

QString PropertyOptions::checked(const QString &option, const QString &typed,
                                 const std::function<QString(const QString &)> &rule,
                                 const Report &report)
{
    QString digits = typed;
    // Times may be typed with the colons the dialog shows.
    if (option.endsWith(QLatin1String("-time")) || option.endsWith(QLatin1String("-wait")) ||
        option.endsWith(QLatin1String("duration")))
        digits.remove(QLatin1Char(':'));
    const QString stored = rule(digits);
    if (stored != typed)
        report(QStringLiteral("--%1 %2 stored as %3").arg(option, typed, stored));
    return stored;
}

bool PropertyOptions::applyEffect(const QString &side, EffectTexts &texts, EffectLink &link,
                                  bool slides, bool verticalSlides,
                                  const std::function<QString(const QString &)> &timeRule,
                                  const Report &report) const
{
    const bool in = side == QLatin1String("in");
    const QString effect = side + QStringLiteral("-effect");
    if (has(effect)) {
        const QString v = value(effect);
        if (!in && !link.outChoiceEnabled()) {
            report(QStringLiteral("--%1: the out effect follows the in pattern %2")
                       .arg(effect, link.inText()));
            return false;
        }
        if (v == QLatin1String("diss")) {
            in ? link.chooseInDiss() : link.chooseOutDiss();
        } else if (v.startsWith(QLatin1String("pattern:"))) {
            in ? link.chooseInPattern() : link.chooseOutPattern();
            const QString typed = v.mid(8);
            in ? link.leaveInPattern(typed) : link.leaveOutPattern(typed);
            const QString stored = in ? link.inText() : link.outText();
            if (stored != typed)
                report(QStringLiteral("--%1 %2 stored as pattern:%3").arg(effect, v, stored));
        } else {
            report(QStringLiteral("--%1 takes diss or pattern:N").arg(effect));
            return false;
        }
    }
    const QString time = side + QStringLiteral("-time");
    if (has(time))
        texts.time = checked(time, value(time), timeRule, report);
    const QString autoTrigger = side + QStringLiteral("-auto");
    if (has(autoTrigger))
        texts.autoTrigger = *onOff(value(autoTrigger));
    const QString slide = side + QStringLiteral("-slide");
    if (has(slide)) {
        if (!slides) {
            report(QStringLiteral("--%1: a roll or crawl title has no slides").arg(slide));
            return false;
        }
        static const QStringList directions{"none", "up", "down", "left", "right"};
        const QStringList parts = value(slide).split(QLatin1Char(':'));
        const int direction = int(directions.indexOf(parts.first()));
        if (direction < 0 || parts.size() > 2) {
            report(QStringLiteral("--%1 takes none, up, down, left or right[:SPEED]").arg(slide));
            return false;
        }
        if ((direction == 1 || direction == 2) && !verticalSlides) {
            report(QStringLiteral("--%1: up and down slides need a full-height title").arg(slide));
            return false;
        }
        texts.slideDirection = direction;
        if (parts.size() == 2)
            texts.slideSpeed = checked(slide + QStringLiteral(" speed"), parts.at(1),
                                       PropertyRules::speed, report);
    }
    return true;
}
