#pragma once

#include "list/TitleAttributes.h"

#include <QString>

// One effect side (in or out) of a title or of the defaults as the property
// dialogs show it, apart from the Pattern/Diss choice and the pattern number
// (EffectLink): texts of the fields, the auto trigger and the slide direction.
struct EffectTexts
{
    bool autoTrigger = false;
    // SSFF: the in side's wait (the out side has no wait field).
    QString wait;
    // SSFF: the effect time.
    QString time;
    // 0 none, 1 up, 2 down, 3 left, 4 right.
    int slideDirection = 0;
    QString slideSpeed;

    // The texts of side e of a record's effect groups.
    static EffectTexts of(const TitleAttributes &a, Effect e);
    // Writes the effect time and, with slides, the slide speed (bit 7 kept) and
    // direction back into side e; with trigger, also the auto trigger and (in
    // side) the wait. Pattern and Diss are EffectLink's.
    void applyTo(TitleAttributes &a, Effect e, bool slides, bool trigger) const;
};
