#pragma once

#include "imaging/TitleTypeChooser.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// The rules of the title type question shared by the dialog, the command line
// and the import: which kinds each variant offers, the counters' caps, and the
// kinds' texts and type flags.
namespace TitleTypeRules {

// The dialog variant of a picture: 0 when it has the format's full width and
// full height, 1 full width only, 2 full height only, 3 neither; always 3 for
// an IntVideo clip.
int variantFor(bool fullWidth, bool fullHeight, bool isIntVideo);
// The kinds offered for variant 0..3, in dialog order (MOVIE ONCE first, STILL
// last): rolls need the full height, crawls the full width. An out-of-range
// variant is taken as 3.
QList<TitleTypeKind> kindsForVariant(int variant);
bool isKindOffered(int variant, TitleTypeKind kind);
// The kind's text as the message table spells it ("MOVIE ONCE" ...).
QString kindText(TitleTypeKind kind);
// Type flags bits 0-2 of a title record for the kind.
std::uint8_t typeFlags(TitleTypeKind kind);
// The kind a title record's type flags name (bits 0-2; 4 reads as STILL).
TitleTypeKind kindOfTypeFlags(std::uint8_t flags);
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
