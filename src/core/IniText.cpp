#include "core/IniText.h"

#include <QStringList>

namespace {

bool isHexDigit(QChar c)
{
    return c.isDigit() || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A section or name: letters, digits, '_', '-' and '.' as they are, anything
// else as %XX or %UXXXX, as QSettings escapes keys.
QByteArray escapedKey(const QString &key)
{
    QByteArray out;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        if (u < 0x80 && (c.isLetterOrNumber() || u == '_' || u == '-' || u == '.'))
            out += char(u);
        else if (u <= 0xFF)
            out += '%' + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            out += "%U" + QByteArray::number(u, 16).rightJustified(4, '0').toUpper();
    }
    return out;
}

QByteArray quotedValue(const QVariant &value)
{
    QString text = value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',')
                                                            : value.toString();
    if (text.startsWith(u'@')) // QSettings reads "@..." as a typed value, "@@" as '@'
        text.prepend(u'@');
    QByteArray out = "\"";
    bool afterHex = false;
    for (const QChar c : text) {
        if (afterHex && isHexDigit(c))
            out += "\"\""; // ends the hexadecimal escape; the reader joins the quoted parts
        afterHex = false;
        switch (c.unicode()) {
        case u'\\':
            out += "\\\\";
            break;
        case u'"':
            out += "\\\"";
            break;
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        default:
            if (c.unicode() < 0x20) {
                out += "\\x" + QByteArray::number(c.unicode(), 16);
                afterHex = true;
            } else {
                out += QString(c).toUtf8();
            }
        }
    }
    return out + '"';
}

} // namespace

namespace IniText {

QByteArray write(const QSettings::SettingsMap &values)
{
    // Sections in the order of their first key; a key without a group goes to "General".
    QStringList sections;
    QMap<QString, QByteArray> lines;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(u'/');
        const QString section = slash < 0 ? QStringLiteral("General") : it.key().left(slash);
        const QStringList name = it.key().mid(slash + 1).split(u'/');
        if (!lines.contains(section))
            sections << section;
        QByteArray key;
        for (const QString &part : name)
            key += (key.isEmpty() ? "" : "\\") + escapedKey(part);
        lines[section] += key + '=' + quotedValue(it.value()) + '\n';
    }
    QByteArray out;
    for (const QString &section : sections)
        out += (out.isEmpty() ? "[" : "\n[") + escapedKey(section) + "]\n" + lines[section];
    return out;
}

} // namespace IniText
