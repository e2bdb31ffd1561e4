#include "list/RecoveryCopy.h"

#include "list/TitleList.h"

#include <QCryptographicHash>
#include <QDir>
#include <QtEndian>
#include <cstring>

namespace {

constexpr char kMagic[8] = {'T', 'D', 'R', 'E', 'C', 'O', 'V', '1'};
constexpr qsizetype kDigestSize = 32;
// A path longer than this is no path of this system.
constexpr quint32 kMaxPathBytes = 16 * 1024;

void appendU32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendI64(QByteArray &out, qint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, 8);
}

// Reads fields front to back, never past the end.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}
    qsizetype left() const { return m_bytes.size() - m_at; }
    std::optional<QByteArrayView> take(qsizetype n)
    {
        if (n < 0 || n > left())
            return std::nullopt;
        const QByteArrayView part = m_bytes.sliced(m_at, n);
        m_at += n;
        return part;
    }
    std::optional<quint32> u32()
    {
        const auto part = take(4);
        return part ? std::optional(qFromLittleEndian<quint32>(part->data())) : std::nullopt;
    }
    std::optional<qint64> i64()
    {
        const auto part = take(8);
        return part ? std::optional(qFromLittleEndian<qint64>(part->data())) : std::nullopt;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

std::optional<RecoveryCopy> refuse(QString *why, const char *reason)
{
    if (why)
        *why = QString::fromLatin1(reason);
    return std::nullopt;
}

} // namespace

QString RecoveryCopy::fileIn(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("UnsavedList.recovery"));
}

QByteArray RecoveryCopy::encode() const
{
    QByteArray out(kMagic, sizeof kMagic);
    appendU32(out, Modified ? 1 : 0);
    appendI64(out, ChangedAt.toMSecsSinceEpoch());
    const QByteArray path = OriginalPath.toUtf8();
    appendU32(out, quint32(path.size()));
    out += path;
    QByteArray records;
    quint32 count = 0;
    for (const ListRecord &record : Records) {
        // A title the list file cannot hold cannot be saved either.
        if (const std::optional<QByteArray> bytes = record.toList()) {
            records += *bytes;
            ++count;
        }
    }
    appendU32(out, count);
    out += records;
    out += QCryptographicHash::hash(out, QCryptographicHash::Sha256);
    return out;
}

std::optional<RecoveryCopy> RecoveryCopy::decode(QByteArrayView bytes, QString *why)
{
    if (bytes.size() < qsizetype(sizeof kMagic) + kDigestSize ||
        std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return refuse(why, "not a kept list");
    const QByteArrayView body = bytes.first(bytes.size() - kDigestSize);
    if (QCryptographicHash::hash(body, QCryptographicHash::Sha256) != bytes.last(kDigestSize))
        return refuse(why, "check sum mismatch");

    Reader r(body);
    r.take(sizeof kMagic);
    RecoveryCopy copy;
    const auto modified = r.u32();
    const auto changedAt = r.i64();
    const auto pathSize = r.u32();
    if (!modified || *modified > 1 || !changedAt || !pathSize || *pathSize > kMaxPathBytes)
        return refuse(why, "damaged header");
    const auto path = r.take(qsizetype(*pathSize));
    const auto count = r.u32();
    if (!path || !count || *count > quint32(TitleList::MaxTitles) ||
        r.left() != qsizetype(*count) * ListRecord::ListSize)
        return refuse(why, "damaged header");
    copy.Modified = *modified == 1;
    copy.ChangedAt = QDateTime::fromMSecsSinceEpoch(*changedAt, Qt::UTC);
    copy.OriginalPath = QString::fromUtf8(*path);
    copy.Records.reserve(*count);
    for (quint32 i = 0; i < *count; ++i)
        copy.Records.push_back(ListRecord::fromList(
            reinterpret_cast<const std::uint8_t *>(r.take(ListRecord::ListSize)->data())));
    return copy;
}
