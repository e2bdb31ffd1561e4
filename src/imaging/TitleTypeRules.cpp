#include "imaging/TitleTypeRules.h"

#include "resources/MessageTable.h"

#include <algorithm>

namespace TitleTypeRules {

namespace {

// Message-table ids of the kind texts.
int textId(TitleTypeKind kind)
{
    switch (kind) {
    case TitleTypeKind::Still:
        return 42;
    case TitleTypeKind::MovieOnce:
        return 45;
    case TitleTypeKind::MovieRepeat:
        return 47;
    case TitleTypeKind::RollUp:
        return 50;
    case TitleTypeKind::RollDown:
        return 52;
    case TitleTypeKind::CrawlLeft:
        return 55;
    case TitleTypeKind::CrawlRight:
        return 57;
    }
    return 42;
}

constexpr int FullVariant = 0;
constexpr int FullWidthVariant = 1;
constexpr int FullHeightVariant = 2;
constexpr int SmallVariant = 3;

} // namespace

int variantFor(bool fullWidth, bool fullHeight, bool isIntVideo)
{
    if (isIntVideo)
        return SmallVariant;
    if (fullWidth)
        return fullHeight ? FullVariant : FullWidthVariant;
    return fullHeight ? FullHeightVariant : SmallVariant;
}

QList<TitleTypeKind> kindsForVariant(int variant)
{
    if (variant < FullVariant || variant > SmallVariant)
        variant = SmallVariant;
    QList<TitleTypeKind> kinds{TitleTypeKind::MovieOnce, TitleTypeKind::MovieRepeat};
    if (variant == FullVariant || variant == FullHeightVariant)
        kinds << TitleTypeKind::RollUp << TitleTypeKind::RollDown;
    if (variant == FullVariant || variant == FullWidthVariant)
        kinds << TitleTypeKind::CrawlLeft << TitleTypeKind::CrawlRight;
    kinds << TitleTypeKind::Still;
    return kinds;
}

bool isKindOffered(int variant, TitleTypeKind kind)
{
    return kindsForVariant(variant).contains(kind);
}

QString kindText(TitleTypeKind kind)
{
    return MessageTable::text(textId(kind));
}

std::uint8_t typeFlags(TitleTypeKind kind)
{
    return std::uint8_t(kind);
}

TitleTypeKind kindOfTypeFlags(std::uint8_t flags)
{
    const auto kind = TitleTypeKind(flags & 0x07);
    // Bit 2 alone (no kind with a direction) is not a kind of its own.
    return kind == TitleTypeKind(4) ? TitleTypeKind::Still : kind;
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
    if (!isKindOffered(question.variant, answer.kind))
        return std::nullopt;
    TitleTypeAnswer a = answer;
    if (a.kind == TitleTypeKind::Still) {
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
