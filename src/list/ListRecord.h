#pragma once

#include "list/TitleAttributes.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>

// One record of a list file (564 bytes) or, without Mark, of the property
// history (560 bytes), decoded. Decoding never reads beyond the record and
// never trusts a terminator: text fields stop at their first NUL or at the
// end of the field.
struct ListRecord
{
    static constexpr int PathSize = 260;
    static constexpr int TextSize = 128;
    static constexpr int ListSize = 564;
    static constexpr int HistorySize = 560;
    static constexpr int AttributesOffset = 260;
    static constexpr int NameOffset = 300;
    static constexpr int CommentOffset = 428;
    static constexpr int MarkOffset = 556;
    static constexpr int ListIconOffset = 560;
    static constexpr int HistoryIconOffset = 556;

    QString FirstFile;
    TitleAttributes Attributes;
    QString Name;
    QString Comment;
    // As stored; a list reader maps values outside 0..9 to 0 (see markOrNone()).
    std::int32_t Mark = 0;
    std::int32_t IconFrame = 0;

    // A mark that may address one of the nine Mark commands: 0 unless 1..9.
    int markOrNone() const { return Mark >= 1 && Mark <= 9 ? Mark : 0; }

    // Decoding from exactly ListSize / HistorySize bytes.
    static ListRecord fromList(const std::uint8_t *bytes);
    static ListRecord fromHistory(const std::uint8_t *bytes);
    // Encoding; nothing when FirstFile does not fit its field in CP932. Name
    // and Comment are cut to their 128 bytes (all 128 may be used, no NUL then).
    std::optional<QByteArray> toList() const;
    std::optional<QByteArray> toHistory() const;
    // The 260-byte key field of a path (zero-filled), or nothing when it does not fit.
    static std::optional<QByteArray> pathField(const QString &path);
};
