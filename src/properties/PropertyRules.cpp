#include "properties/PropertyRules.h"

#include "list/Cp932.h"

#include <algorithm>
#include <tuple>

namespace PropertyRules {

namespace {

const QString kTenSeconds = QStringLiteral("001000");

QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

std::optional<int> part(const QString &digits, int index)
{
    return number(digits.mid(index * 2, 2));
}

QString inRangeOr(const QString &typed, int low, int high, int otherwise)
{
    const std::optional<int> n = number(typed);
    return QString::number(n && *n >= low && *n <= high ? *n : otherwise);
}

} // namespace

std::optional<int> number(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(n) : std::nullopt;
}

QString timeText(int seconds, int frames)
{
    return twoDigits(seconds) + twoDigits(frames);
}

QString durationText(const Duration &d)
{
    return twoDigits(d.minutes) + twoDigits(d.seconds) + twoDigits(d.frames);
}

std::pair<int, int> timeOf(const QString &digits)
{
    return {part(digits, 0).value_or(0), part(digits, 1).value_or(0)};
}

Duration durationOf(const QString &digits)
{
    return {part(digits, 0).value_or(0), part(digits, 1).value_or(0), part(digits, 2).value_or(0)};
}

QString shortTime(const QString &typed, int fps)
{
    const std::optional<int> s = part(typed, 0);
    const std::optional<int> f = part(typed, 1);
    int seconds = s && *s >= 0 ? std::min(*s, MaxShortSeconds) : 2;
    int frames = f && *f >= 0 && *f <= fps - 1 ? *f : 0;
    if (seconds == MaxShortSeconds)
        frames = 0;
    return timeText(seconds, frames);
}

QString duration(const QString &typed, int fps, std::optional<Duration> ceiling)
{
    const std::optional<int> m = part(typed, 0);
    const std::optional<int> s = part(typed, 1);
    const std::optional<int> f = part(typed, 2);
    const QString reset = ceiling ? durationText(*ceiling) : kTenSeconds;
    if (!m || !s || !f || *m < 0 || *m > 59 || *s < 0 || *s > 59 || *f < 0 || *f > fps - 1)
        return reset;
    if (*m == 0 && *s == 0 && *f == 0)
        return reset;
    const Duration d{*m, *s, *f};
    if (ceiling && std::tie(d.minutes, d.seconds, d.frames) >
                       std::tie(ceiling->minutes, ceiling->seconds, ceiling->frames))
        return reset;
    return durationText(d);
}

QString speed(const QString &typed)
{
    const std::optional<int> n = number(typed);
    if (!n || *n < MinSpeed || *n > MaxSpeed)
        return QString::number(MinSpeed);
    return QString::number(*n % 2 ? *n + 1 : *n);
}

QString movieInterval(const QString &typed)
{
    return inRangeOr(typed, 0, MaxMovieInterval, 0);
}

QString positionX(const QString &typed, int maximum)
{
    return inRangeOr(typed, 0, maximum, 0);
}

QString positionY(const QString &typed, int maximum)
{
    const std::optional<int> n = number(typed);
    if (!n || *n < 0 || *n > maximum)
        return QStringLiteral("0");
    // The maximum itself is even, so raising an odd value stays in range.
    return QString::number(*n % 2 ? *n + 1 : *n);
}

QString pattern(const QString &typed)
{
    const std::optional<int> n = number(typed);
    if (!n || *n < 0)
        return QStringLiteral("0");
    return QString::number(std::min(*n, MaxPattern));
}

bool isLinkedPattern(const QString &patternText)
{
    return number(patternText).value_or(0) >= LinkedPatternFrom;
}

QString textField(const QString &typed)
{
    constexpr int kFieldBytes = 128;
    const auto fits = [](const QString &t) {
        return Cp932::encodeTruncated(t, 4 * kFieldBytes).size() <= kFieldBytes;
    };
    if (fits(typed))
        return typed;
    // Every character takes at least one byte: the answer is at most 128 long.
    int low = 0;
    int high = std::min<int>(int(typed.size()), kFieldBytes);
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (fits(typed.left(mid)))
            low = mid;
        else
            high = mid - 1;
    }
    // Never between the halves of a surrogate pair.
    if (low > 0 && typed.at(low - 1).isHighSurrogate())
        --low;
    return typed.left(low);
}

QString iconFrame(const QString &typed, int frames)
{
    return inRangeOr(typed, 1, std::max(frames, 1), 1);
}

} // namespace PropertyRules
