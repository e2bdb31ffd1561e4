#pragma once

#include <QByteArray>

// One numbered message: its exact Japanese text and its English form (UTF-8).
struct MessageText
{
    int id;
    const char *japanese;
    const char *english;
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
} // namespace MessageTexts
