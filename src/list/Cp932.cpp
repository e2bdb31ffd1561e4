#include "list/Cp932.h"

#include <QLoggingCategory>
#include <cerrno>
#include <cstring>
#include <iconv.h>

Q_LOGGING_CATEGORY(lcCp932, "titledeck.list.cp932")

namespace {

// One conversion through iconv; nothing when a character cannot be converted
// (strict) or the converter is missing. Each call opens its own converter, so
// it is safe on any thread.
std::optional<QByteArray> convert(const char *to, const char *from, const QByteArray &input,
                                  bool lenient)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) {
        qCWarning(lcCp932) << "no converter from" << from << "to" << to;
        return std::nullopt;
    }
    QByteArray out;
    out.resize(input.size() * 4 + 16);
    char *in = const_cast<char *>(input.constData());
    std::size_t inLeft = std::size_t(input.size());
    char *outPtr = out.data();
    std::size_t outLeft = std::size_t(out.size());
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != std::size_t(-1))
            continue;
        if (errno == E2BIG) {
            const qsizetype used = outPtr - out.data();
            out.resize(out.size() * 2);
            outPtr = out.data() + used;
            outLeft = std::size_t(out.size() - used);
            continue;
        }
        if (!lenient) {
            ok = false;
            break;
        }
        // Decoding: an invalid or truncated sequence becomes U+FFFD (UTF-16LE)
        // and the byte is skipped.
        if (outLeft < 2) {
            const qsizetype used = outPtr - out.data();
            out.resize(out.size() + 16);
            outPtr = out.data() + used;
            outLeft = std::size_t(out.size() - used);
        }
        *outPtr++ = char(0xFD);
        *outPtr++ = char(0xFF);
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(outPtr - out.data());
    return out;
}

} // namespace

namespace Cp932 {

std::optional<QByteArray> encode(const QString &text)
{
    if (text.isEmpty())
        return QByteArray();
    const QByteArray utf8 = text.toUtf8();
    // A NUL inside would end the field early; such text cannot be stored.
    if (utf8.contains('\0'))
        return std::nullopt;
    return convert("CP932", "UTF-8", utf8, false);
}

QString decodeField(const char *field, std::size_t size)
{
    std::size_t length = 0;
    while (length < size && field[length] != '\0')
        ++length;
    if (length == 0)
        return QString();
    const QByteArray bytes(field, qsizetype(length));
    const std::optional<QByteArray> utf16 = convert("UTF-16LE", "CP932", bytes, true);
    if (!utf16)
        return QString::fromLatin1(bytes);
    return QString(reinterpret_cast<const QChar *>(utf16->constData()), utf16->size() / 2);
}

bool fitsField(const QString &path, int fieldSize)
{
    const std::optional<QByteArray> bytes = encode(path);
    return bytes && bytes->size() <= fieldSize - 1;
}

QByteArray encodeTruncated(const QString &text, int maxBytes)
{
    if (const std::optional<QByteArray> whole = encode(text); whole && whole->size() <= maxBytes)
        return *whole;
    QByteArray out;
    for (qsizetype i = 0; i < text.size();) {
        // Keep surrogate pairs together.
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const std::optional<QByteArray> ch = encode(text.mid(i, n));
        const QByteArray piece = ch ? *ch : QByteArray("?");
        if (out.size() + piece.size() > maxBytes)
            break;
        out += piece;
        i += n;
    }
    return out;
}

} // namespace Cp932
