#pragma once

#include "core/RollCrawlDuration.h"

#include <QString>
#include <optional>
#include <utility>

// The exit checks of the property fields: each takes the text as typed and
// gives the text the field holds afterwards (the same text when nothing was
// wrong). No check ever complains; a wrong value simply becomes a right one.
// The title property dialog, the default properties dialog and the command
// line all go through these.
//
// Times are digit strings without separators: SSFF for the wait and effect
// times, MMSSFF for durations.
namespace PropertyRules {

// Pattern numbers from here on are combined in/out wipes: the out side
// follows the in side.
inline constexpr int LinkedPatternFrom = 3000;
// The largest pattern number a title record holds.
inline constexpr int MaxPattern = 9999;
inline constexpr int MinSpeed = 2;
inline constexpr int MaxSpeed = 64;
inline constexpr int MaxMovieInterval = 255;
// The longest wait or effect time, in seconds.
inline constexpr int MaxShortSeconds = 30;

// The number a text holds, nothing when it is not one (blanks around it allowed).
std::optional<int> number(const QString &text);

// "%02d%02d" and "%02d%02d%02d".
QString timeText(int seconds, int frames);
QString durationText(const Duration &d);
// The parts of a time or duration text by position (digits 1-2, 3-4, 5-6);
// a part that is not a number counts as 0.
std::pair<int, int> timeOf(const QString &digits);
Duration durationOf(const QString &digits);

// Wait and effect times: seconds 0..30 (a bad value becomes 2), frames
// 0..fps - 1 (a bad value becomes 0), and nothing beyond 30:00.
QString shortTime(const QString &typed, int fps);
// Durations: minutes and seconds 0..59, frames 0..fps - 1, not all zero and,
// for a ROLL or CRAWL (ceiling set), not beyond its run time. Anything else
// becomes the ceiling, or ten seconds without one.
QString duration(const QString &typed, int fps, std::optional<Duration> ceiling);
// Slide, roll and crawl speeds: even numbers 2..64; an odd one is raised by
// one, anything else becomes 2.
QString speed(const QString &typed);
// Movie interval 0..255, else 0.
QString movieInterval(const QString &typed);
// X position 0..maximum, else 0.
QString positionX(const QString &typed, int maximum);
// Y position 0..maximum, else 0; an odd value is raised by one (fields are
// placed on whole line pairs).
QString positionY(const QString &typed, int maximum);
// Pattern numbers: not a number or negative becomes 0, beyond what a title
// record holds becomes 9999.
QString pattern(const QString &typed);
// Whether a (corrected) pattern text names a combined in/out pattern.
bool isLinkedPattern(const QString &patternText);
// Names and comments: at most 128 bytes in the list file's code page; a
// longer text is cut after its last whole character that fits.
QString textField(const QString &typed);
// Icon frame 1..frames, else 1.
QString iconFrame(const QString &typed, int frames);

} // namespace PropertyRules
