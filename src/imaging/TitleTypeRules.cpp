#include "imaging/TitleTypeRules.h"

#include "resources/MessageTable.h"

#include <algorithm>

namespace TitleTypeRules {

QStringList kindsForVariant(int variant)
{
    if (variant < 0 || variant > 3)
        variant = 3;
    const bool rolls = variant == 0 || variant == 2;
    const bool crawls = variant == 0 || variant == 1;
    QStringList kinds{MessageTable::text(KindMovieOnceId), MessageTable::text(KindMovieRepeatId)};
    if (rolls)
        kinds << MessageTable::text(KindRollUpId) << MessageTable::text(KindRollDownId);
    if (crawls)
        kinds << MessageTable::text(KindCrawlLeftId) << MessageTable::text(KindCrawlRightId);
    kinds << MessageTable::text(KindStillId);
    return kinds;
}

bool isKindOffered(int variant, const QString &kindText)
{
    return kindsForVariant(variant).contains(kindText);
}

std::optional<std::uint8_t> typeFlagsForKind(const QString &kindText)
{
    static constexpr std::pair<int, std::uint8_t> flags[] = {
        {KindStillId, 0},    {KindMovieOnceId, 1}, {KindMovieRepeatId, 5}, {KindRollUpId, 2},
        {KindRollDownId, 6}, {KindCrawlLeftId, 3}, {KindCrawlRightId, 7},
    };
    for (const auto &[id, value] : flags) {
        if (MessageTable::text(id) == kindText)
            return value;
    }
    return std::nullopt;
}

int frameMaximum(int fileCount, int framesPerSecond)
{
    const int cap = framesPerSecond * 60;
    return fileCount >= cap ? cap - 1 : std::max(fileCount, 1);
}

int correctedFrameCount(const QString &text, int maximum)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value <= 0 || value > maximum)
        return maximum;
    return value;
}

int correctedIconFrame(const QString &text, int iconMaximum)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value <= 0 || value > iconMaximum)
        return 1;
    return value;
}

std::optional<TitleTypeAnswer> clampAnswer(const TitleTypeQuestion &question,
                                           const TitleTypeAnswer &answer)
{
    if (!isKindOffered(question.variant, answer.kindText))
        return std::nullopt;
    TitleTypeAnswer a = answer;
    if (a.kindText == MessageTable::text(KindStillId)) {
        a.frameCount = 1;
        a.iconFrame = 1;
        return a;
    }
    const int maximum =
        std::min<int>(frameMaximum(int(question.fileList.size()), question.framesPerSecond),
                      std::max<int>(1, int(question.fileList.size())));
    a.frameCount = std::clamp(a.frameCount, 1, maximum);
    a.iconFrame = std::clamp(a.iconFrame, 1, a.frameCount);
    return a;
}

} // namespace TitleTypeRules
