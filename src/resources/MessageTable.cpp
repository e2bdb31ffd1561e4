#include "resources/MessageTable.h"

#include "resources/MessageTexts.h"

#include <QLocale>
#include <QtGlobal>

namespace {
Language g_language = Language::Japanese;
}

void MessageTable::setLanguage(Language language)
{
    g_language = language;
}

Language MessageTable::language()
{
    return g_language;
}

Language MessageTable::chooseLanguage()
{
    const QByteArray forced = qgetenv("TITLEDECK_LANG").toLower();
    if (forced.startsWith("ja"))
        return Language::Japanese;
    if (forced.startsWith("en"))
        return Language::English;
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::Japanese)
        return Language::Japanese;
    if (locale.language() == QLocale::Chinese &&
        locale.script() != QLocale::TraditionalChineseScript &&
        locale.territory() != QLocale::Taiwan && locale.territory() != QLocale::HongKong)
        return Language::Japanese;
    return Language::English;
}

QString MessageTable::text(int id)
{
    return text(id, g_language);
}

QString MessageTable::text(int id, Language language)
{
    const MessageText *m = MessageTexts::find(id);
    if (!m)
        return {};
    const std::string_view t = language == Language::English ? m->english : m->japanese;
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

QString MessageTable::format(int id, std::initializer_list<QVariant> args)
{
    return formatText(text(id), args);
}

QString MessageTable::formatText(const QString &pattern, std::initializer_list<QVariant> args)
{
    QString out;
    out.reserve(pattern.size() + 16);
    auto next = args.begin();
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != u'%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        const QChar f = pattern.at(i + 1);
        if (f == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        if (f != u'd' && f != u's' && f != u'u' && f != u'x' && f != u'X') {
            out += c;
            continue;
        }
        ++i;
        if (next == args.end())
            continue;
        const QVariant &v = *next++;
        if (f == u'x' || f == u'X') {
            QString hex = QString::number(v.toULongLong(), 16);
            out += f == u'X' ? hex.toUpper() : hex;
        } else {
            out += v.toString();
        }
    }
    return out;
}

QString MessageTable::caption(const QString &japanese)
{
    if (g_language == Language::Japanese)
        return japanese;
    const char *english = MessageTexts::captionEnglish(japanese.toUtf8());
    return english ? QString::fromUtf8(english) : japanese;
}
