#pragma once

#include <QString>
#include <QVariant>
#include <initializer_list>

enum class Language { Japanese, English };

// The numbered message table (ids 1-155): every user message, caption and
// grid text of the program, in Japanese and in English. The language is
// chosen once at start and holds for the whole run.
class MessageTable
{
public:
    static void setLanguage(Language language);
    static Language language();
    // Japanese for the Japanese and Simplified Chinese locales, English otherwise;
    // TITLEDECK_LANG=ja or =en forces either.
    static Language chooseLanguage();

    // The text of message id in the current language; empty for an unknown id.
    // The file-dialog filters (154, 155) separate display text and pattern
    // with a NUL character.
    static QString text(int id);
    static QString text(int id, Language language);
    // The text with its printf-style fields (%d, %s, %u, %x) filled in order.
    static QString format(int id, std::initializer_list<QVariant> args);
    static QString formatText(const QString &pattern, std::initializer_list<QVariant> args);

    // The English form of a Japanese window caption (menu item, button, label),
    // or the caption itself when it has none or the language is Japanese.
    static QString caption(const QString &japanese);
};
