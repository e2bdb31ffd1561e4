#include "properties/TitleProperties.h"

#include "core/MessageBoxes.h"
#include "core/VideoFormatParams.h"
#include "list/TitleEntry.h"
#include "list/TitleList.h"
#include "properties/PropertyRules.h"
#include "resources/MessageTable.h"

#include <algorithm>

namespace {
constexpr int kMarkCaption = 2;
constexpr int kMarkQuestion = 102;
constexpr int kNoMark = 30;
constexpr int kOrder = 60;

// Two digits each, whatever a damaged record holds.
int digits2(int v)
{
    return std::clamp(v, 0, 99);
}
} // namespace

TitleProperties TitleProperties::of(const TitleEntry &title, const VideoFormatParams &format)
{
    const TitleAttributes &a = title.Attributes;
    TitleProperties p;
    p.kind = a.kind();
    p.blocksPerFrame = a.blocksPerFrame();
    p.frameCount = a.frameCount();
    p.framesPerSecond = format.framesPerSecond;
    p.frameLines = format.activeLines;
    p.maxDuration = {digits2(a.durMinute()), digits2(a.durSecond()), digits2(a.durFrame())};
    p.name = title.Name;
    p.comment = title.Comment;
    p.mark = title.Mark >= 0 && title.Mark <= 9 ? title.Mark : 0;
    p.protect = a.protect();
    p.in = EffectTexts::of(a, Effect::In);
    p.out = EffectTexts::of(a, Effect::Out);
    // Bits 14-15 of a pattern word are not part of the number.
    p.patterns.fill(a.isPattern(Effect::In), QString::number(a.effPattern(Effect::In)),
                    a.isPattern(Effect::Out), QString::number(a.effPattern(Effect::Out)));
    p.duration = PropertyRules::durationText(p.maxDuration);
    p.positionX = QString::number(a.positionX());
    p.positionY = p.kind == TitleKind::Crawl && p.blocksPerFrame == 8
                      ? QStringLiteral("0")
                      : QString::number(a.positionY());
    p.movieRepeat = a.kind() == TitleKind::Movie && a.directionBit();
    p.movieReverse = a.movieReverse();
    p.movieInterval = QString::number(a.movieInterval());
    p.rollCrawlReverse = a.directionBit();
    p.rollCrawlSpeed = QString::number(a.rollCrawlSpeed());
    p.iconFrame = QString::number(title.IconFrame);
    return p;
}

bool TitleProperties::positionYEnabled() const
{
    if (kind == TitleKind::Roll)
        return false;
    return !(kind == TitleKind::Crawl && blocksPerFrame == 8);
}

QString TitleProperties::checkedShortTime(const QString &typed) const
{
    return PropertyRules::shortTime(typed, framesPerSecond);
}

QString TitleProperties::checkedDuration(const QString &typed) const
{
    return PropertyRules::duration(typed, framesPerSecond,
                                   rollOrCrawl() ? std::optional(maxDuration) : std::nullopt);
}

QString TitleProperties::checkedPositionX(const QString &typed) const
{
    return PropertyRules::positionX(typed, positionXMaximum());
}

QString TitleProperties::checkedPositionY(const QString &typed) const
{
    return PropertyRules::positionY(typed, positionYMaximum());
}

QString TitleProperties::checkedIconFrame(const QString &typed) const
{
    return PropertyRules::iconFrame(typed, frameCount);
}

void TitleProperties::rollCrawlSpeedChanged(const QString &speedText)
{
    rollCrawlSpeed = speedText;
    const int speed = PropertyRules::number(speedText).value_or(PropertyRules::MinSpeed);
    VideoFormatParams format = VideoFormatParams::ntsc();
    format.framesPerSecond = framesPerSecond;
    format.activeLines = frameLines;
    maxDuration = RollCrawlDuration(frameCount, 2 * speed, kind == TitleKind::Roll, format);
    duration = PropertyRules::durationText(maxDuration);
}

void TitleProperties::applyTo(TitleEntry &title) const
{
    title.Name = PropertyRules::textField(name);
    title.Comment = PropertyRules::textField(comment);
    TitleAttributes &a = title.Attributes;
    a.setPositionX(PropertyRules::number(positionX).value_or(0));
    a.setPositionY(PropertyRules::number(positionY).value_or(0));
    const Duration d = PropertyRules::durationOf(duration);
    a.setDurMinute(d.minutes);
    a.setDurSecond(d.seconds);
    a.setDurFrame(d.frames);
    a.setProtect(protect);
    switch (kind) {
    case TitleKind::Movie:
        a.setDirectionBit(movieRepeat);
        a.setMovieReverse(movieReverse);
        a.setMovieInterval(PropertyRules::number(movieInterval).value_or(0));
        break;
    case TitleKind::Roll:
    case TitleKind::Crawl:
        a.setDirectionBit(rollCrawlReverse);
        a.setRollCrawlSpeed(
            PropertyRules::number(rollCrawlSpeed).value_or(PropertyRules::MinSpeed));
        break;
    case TitleKind::Still:
        break;
    }
    in.applyTo(a, Effect::In, slides(), true);
    a.setPattern(Effect::In, patterns.inPattern());
    a.setEffPattern(Effect::In, PropertyRules::number(patterns.inText()).value_or(0));
    out.applyTo(a, Effect::Out, slides(), true);
    a.setPattern(Effect::Out, patterns.outPattern());
    a.setEffPattern(Effect::Out, PropertyRules::number(patterns.outText()).value_or(0));
    title.IconFrame = PropertyRules::number(iconFrame).value_or(1);
}

QStringList TitleProperties::markItems(const TitleList &list, int order)
{
    QStringList items{MessageTable::text(kNoMark)};
    for (int m = 1; m <= 9; ++m) {
        const std::optional<int> holder = list.FindByMark(m);
        if (!holder || *holder == order)
            items << QString::number(m);
        else
            items
                << QStringLiteral("%1 - %2%3").arg(m).arg(MessageTable::text(kOrder)).arg(*holder);
    }
    return items;
}

int TitleProperties::chooseMark(TitleList &list, int order, int mark, MessageBoxes &boxes)
{
    if (mark < 1 || mark > 9)
        return 0;
    const std::optional<int> holder = list.FindByMark(mark);
    if (!holder || *holder == order)
        return mark;
    if (ShowMessageById(boxes, kMarkCaption, kMarkQuestion, MsgQuestionYesNo, {mark, *holder}) !=
        IdYes)
        return 0;
    list.ClearMark(*holder);
    return mark;
}
