#pragma once

#include "imaging/TitleTypeChooser.h"

#include <QStringList>
#include <cstdint>
#include <optional>

// The rules of the title type question shared by the dialog, the command line
// and the import: which kinds each variant offers, the counters' caps, and the
// kind texts' type flags.
namespace TitleTypeRules {

// Message-table ids of the kind texts in the order the dialog lists them.
inline constexpr int KindMovieOnceId = 45;
inline constexpr int KindMovieRepeatId = 47;
inline constexpr int KindRollUpId = 50;
inline constexpr int KindRollDownId = 52;
inline constexpr int KindCrawlLeftId = 55;
inline constexpr int KindCrawlRightId = 57;
inline constexpr int KindStillId = 42;

// The kind texts offered for variant 0..3, in dialog order ("MOVIE ONCE" first,
// "STILL" last). An out-of-range variant is taken as 3.
QStringList kindsForVariant(int variant);
// True when kindText is one of the texts offered for the variant.
bool isKindOffered(int variant, const QString &kindText);
// Type flags bits 0-2 for a kind text: STILL 0, MOVIE ONCE 1, MOVIE REPEAT 5,
// ROLL UP 2, ROLL DOWN 6, CRAWL LEFT 3, CRAWL RIGHT 7; nothing for another text.
std::optional<std::uint8_t> typeFlagsForKind(const QString &kindText);
// The frame counter's maximum: the number of files, or fps x 60 - 1 when there
// are fps x 60 files or more.
int frameMaximum(int fileCount, int framesPerSecond);
// The frame counter after editing: not a number, 0 or above the maximum gives the maximum.
int correctedFrameCount(const QString &text, int maximum);
// The icon counter after editing: not a number, 0 or above the icon maximum gives 1.
int correctedIconFrame(const QString &text, int iconMaximum);
// The answer made valid for the question: STILL gets frame count and icon 1;
// otherwise the frame count is clamped to 1..frameMaximum() and the icon to
// 1..frameCount. Nothing when the kind is not offered for the variant.
std::optional<TitleTypeAnswer> clampAnswer(const TitleTypeQuestion &question,
                                           const TitleTypeAnswer &answer);

} // namespace TitleTypeRules
