#pragma once

#include <QByteArray>

#include <string_view>

// One numbered message: its exact Japanese text and its English form (UTF-8).
// The texts are views rather than C strings because the file-dialog filters
// hold NUL characters between their display texts and patterns.
struct MessageText
{
    int id;
    std::string_view japanese;
    std::string_view english;
};

// One window caption (menu item, button, label, window title) in both languages.
struct CaptionText
{
    const char *japanese;
    const char *english;
};

namespace MessageTexts {
// The message with this id, or nullptr.
const MessageText *find(int id);
// All numbered messages in id order.
const MessageText *all(int *count);
// The English form of a Japanese caption, or nullptr when it has none.
const char *captionEnglish(const QByteArray &japaneseUtf8);
// All captions, sorted by their Japanese UTF-8 bytes.
const CaptionText *allCaptions(int *count);
} // namespace MessageTexts
