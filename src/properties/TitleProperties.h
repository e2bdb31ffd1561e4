#pragma once

#include "core/RollCrawlDuration.h"
#include "list/TitleAttributes.h"
#include "properties/EffectLink.h"
#include "properties/EffectTexts.h"

#include <QString>
#include <QStringList>

class MessageBoxes;
class TitleList;
struct TitleEntry;
struct VideoFormatParams;

// The working copy of one title's properties as the title property dialog
// shows them: every field as the text of its control, taken from the title
// when the dialog opens and written back on OK. The command line edits the
// same copy through the same rules.
struct TitleProperties
{
    // What the title is; not edited here.
    TitleKind kind = TitleKind::Still;
    int blocksPerFrame = 8;
    int frameCount = 1;
    int framesPerSecond = 30;
    int frameLines = 480;
    // The title's duration when opened; for a ROLL or CRAWL the run time at
    // the speed last set.
    Duration maxDuration{0, 10, 0};

    QString name;
    QString comment;
    int mark = 0;
    bool protect = false;
    EffectTexts in;
    EffectTexts out;
    EffectLink patterns;
    QString duration;
    QString positionX;
    QString positionY;
    bool movieRepeat = false;
    bool movieReverse = false;
    QString movieInterval;
    // Bit 2 of the type: ROLL down, CRAWL right.
    bool rollCrawlReverse = false;
    QString rollCrawlSpeed;
    QString iconFrame;

    // The opening fill.
    static TitleProperties of(const TitleEntry &title, const VideoFormatParams &format);

    // Which fields the title's kind offers.
    bool slides() const { return kind == TitleKind::Still || kind == TitleKind::Movie; }
    // Up and down slides move a full-height title only.
    bool verticalSlides() const { return slides() && blocksPerFrame == 8; }
    bool positionXEnabled() const { return kind != TitleKind::Crawl; }
    bool positionYEnabled() const;
    bool outTriggerEnabled() const { return slides(); }
    bool rollOrCrawl() const { return kind == TitleKind::Roll || kind == TitleKind::Crawl; }
    int positionXMaximum() const { return 719; }
    int positionYMaximum() const { return frameLines - 2; }

    // The exit checks of the fields that depend on the title.
    QString checkedShortTime(const QString &typed) const;
    QString checkedDuration(const QString &typed) const;
    QString checkedPositionX(const QString &typed) const;
    QString checkedPositionY(const QString &typed) const;
    QString checkedIconFrame(const QString &typed) const;
    // A new ROLL or CRAWL speed: its run time becomes the duration and its ceiling.
    void rollCrawlSpeedChanged(const QString &speedText);

    // OK, apart from the mark: writes name, comment, position, duration,
    // protect, the kind's settings, both effects and the icon frame into
    // title (bits the dialog does not show are kept).
    void applyTo(TitleEntry &title) const;

    // The mark list: "なし", then 1..9, a mark held by another title as
    // "3 - Order7".
    static QStringList markItems(const TitleList &list, int order);
    // The mark chosen for title `order`: a mark held by another title is
    // moved only after message 102 is answered Yes (the holder's mark is
    // cleared); No leaves the title without a mark.
    static int chooseMark(TitleList &list, int order, int mark, MessageBoxes &boxes);
};
