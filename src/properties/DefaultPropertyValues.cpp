#include "properties/DefaultPropertyValues.h"

#include "properties/PropertyRules.h"

namespace {
std::int32_t withSpeed(std::int32_t word, const QString &speed)
{
    const int v = PropertyRules::number(speed).value_or(PropertyRules::MinSpeed);
    return (word & ~0x7F) | (v & 0x7F);
}
} // namespace

DefaultPropertyValues DefaultPropertyValues::of(const DefaultProperties &d, int framesPerSecond)
{
    DefaultPropertyValues v;
    v.framesPerSecond = framesPerSecond;
    v.stillDuration = PropertyRules::durationText(d.stillDuration());
    v.movieDuration = PropertyRules::durationText(d.movieDuration());
    v.rollSpeed = QString::number(d.rollSpeed() & 0x7F);
    v.crawlSpeed = QString::number(d.crawlSpeed() & 0x7F);
    v.positionX = QString::number(d.positionX());
    v.positionYNtsc = QString::number(d.positionYNtsc());
    v.positionYPal = QString::number(d.positionYPal());
    const TitleAttributes e = d.effects();
    v.in = EffectTexts::of(e, Effect::In);
    v.out = EffectTexts::of(e, Effect::Out);
    v.patterns.fill(e.isPattern(Effect::In), QString::number(e.effPattern(Effect::In)),
                    e.isPattern(Effect::Out), QString::number(e.effPattern(Effect::Out)));
    return v;
}

void DefaultPropertyValues::applyTo(DefaultProperties &d) const
{
    d.setStillDuration(PropertyRules::durationOf(stillDuration));
    d.setMovieDuration(PropertyRules::durationOf(movieDuration));
    d.setRollSpeed(withSpeed(d.rollSpeed(), rollSpeed));
    d.setCrawlSpeed(withSpeed(d.crawlSpeed(), crawlSpeed));
    d.setPositionX(PropertyRules::number(positionX).value_or(0));
    d.setPositionYNtsc(PropertyRules::number(positionYNtsc).value_or(0));
    d.setPositionYPal(PropertyRules::number(positionYPal).value_or(0));
    TitleAttributes e = d.effects();
    in.applyTo(e, Effect::In, true, false);
    e.setPattern(Effect::In, patterns.inPattern());
    e.setEffPattern(Effect::In, PropertyRules::number(patterns.inText()).value_or(0));
    out.applyTo(e, Effect::Out, true, true);
    e.setPattern(Effect::Out, patterns.outPattern());
    e.setEffPattern(Effect::Out, PropertyRules::number(patterns.outText()).value_or(0));
    d.setEffects(e);
}

QString DefaultPropertyValues::checkedShortTime(const QString &typed) const
{
    return PropertyRules::shortTime(typed, framesPerSecond);
}

QString DefaultPropertyValues::checkedDuration(const QString &typed) const
{
    return PropertyRules::duration(typed, framesPerSecond, std::nullopt);
}

QString DefaultPropertyValues::checkedPositionX(const QString &typed)
{
    return PropertyRules::positionX(typed, MaxPositionX);
}

QString DefaultPropertyValues::checkedPositionYNtsc(const QString &typed)
{
    return PropertyRules::positionY(typed, MaxPositionYNtsc);
}

QString DefaultPropertyValues::checkedPositionYPal(const QString &typed)
{
    return PropertyRules::positionY(typed, MaxPositionYPal);
}
