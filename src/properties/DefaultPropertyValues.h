#pragma once

#include "properties/DefaultProperties.h"
#include "properties/EffectLink.h"
#include "properties/EffectTexts.h"

#include <QString>

// The defaults as the default properties dialog shows them: every field as
// the text of its control. The command line's "defaults set" edits the same
// texts through the same rules.
struct DefaultPropertyValues
{
    static constexpr int MaxPositionX = 720;
    static constexpr int MaxPositionYNtsc = 480;
    static constexpr int MaxPositionYPal = 576;

    // The frame limit of the durations and times: the current video format's.
    int framesPerSecond = 30;
    QString stillDuration;
    QString movieDuration;
    QString rollSpeed;
    QString crawlSpeed;
    QString positionX;
    QString positionYNtsc;
    QString positionYPal;
    EffectTexts in;
    EffectTexts out;
    EffectLink patterns;

    static DefaultPropertyValues of(const DefaultProperties &defaults, int framesPerSecond);
    // OK: the fields back into the record; the in side's auto trigger and
    // wait and every bit the dialog does not show pass through.
    void applyTo(DefaultProperties &defaults) const;

    // The exit checks of the fields of this dialog alone.
    QString checkedShortTime(const QString &typed) const;
    QString checkedDuration(const QString &typed) const;
    static QString checkedPositionX(const QString &typed);
    static QString checkedPositionYNtsc(const QString &typed);
    static QString checkedPositionYPal(const QString &typed);
};
