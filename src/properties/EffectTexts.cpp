#include "properties/EffectTexts.h"

#include "properties/PropertyRules.h"

#include <algorithm>

namespace {
// Two digits each, whatever a damaged record holds.
int digits2(int v)
{
    return std::clamp(v, 0, 99);
}
} // namespace

EffectTexts EffectTexts::of(const TitleAttributes &a, Effect e)
{
    EffectTexts t;
    t.autoTrigger = a.autoTrigger(e);
    t.wait = PropertyRules::timeText(digits2(a.waitSecond(e)), digits2(a.waitFrame(e)));
    t.time = PropertyRules::timeText(digits2(a.effTimeSecond(e)), digits2(a.effTimeFrame(e)));
    t.slideDirection = a.slideDirection(e);
    t.slideSpeed = QString::number(a.slideSpeed(e));
    return t;
}

void EffectTexts::applyTo(TitleAttributes &a, Effect e, bool slides, bool trigger) const
{
    if (slides) {
        a.setSlideSpeed(e, PropertyRules::number(slideSpeed).value_or(PropertyRules::MinSpeed));
        a.setSlideDirection(e, slideDirection >= 1 && slideDirection <= 4 ? slideDirection : 0);
    }
    if (trigger) {
        a.setAutoTrigger(e, autoTrigger);
        if (e == Effect::In) {
            const auto [seconds, frames] = PropertyRules::timeOf(wait);
            a.setWaitSecond(e, seconds);
            a.setWaitFrame(e, frames);
        }
    }
    const auto [seconds, frames] = PropertyRules::timeOf(time);
    a.setEffTimeSecond(e, seconds);
    a.setEffTimeFrame(e, frames);
}
