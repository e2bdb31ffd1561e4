#include "list/ListRecord.h"

#include "list/Cp932.h"

#include <QtEndian>
#include <cstring>

namespace {

std::int32_t readInt32(const std::uint8_t *p)
{
    return qFromLittleEndian<qint32>(p);
}

void writeInt32(char *p, std::int32_t v)
{
    qToLittleEndian<qint32>(v, p);
}

QString field(const std::uint8_t *bytes, int offset, int size)
{
    return Cp932::decodeField(reinterpret_cast<const char *>(bytes + offset), std::size_t(size));
}

ListRecord decodeCommon(const std::uint8_t *bytes)
{
    ListRecord r;
    r.FirstFile = field(bytes, 0, ListRecord::PathSize);
    r.Attributes = TitleAttributes::fromBytes(bytes + ListRecord::AttributesOffset);
    r.Name = field(bytes, ListRecord::NameOffset, ListRecord::TextSize);
    r.Comment = field(bytes, ListRecord::CommentOffset, ListRecord::TextSize);
    return r;
}

std::optional<QByteArray> encodeCommon(const ListRecord &r, int size)
{
    std::optional<QByteArray> path = ListRecord::pathField(r.FirstFile);
    if (!path)
        return std::nullopt;
    QByteArray out(size, '\0');
    std::memcpy(out.data(), path->constData(), ListRecord::PathSize);
    std::memcpy(out.data() + ListRecord::AttributesOffset, r.Attributes.bytes().data(),
                TitleAttributes::Size);
    const QByteArray name = Cp932::encodeTruncated(r.Name, ListRecord::TextSize);
    std::memcpy(out.data() + ListRecord::NameOffset, name.constData(), std::size_t(name.size()));
    const QByteArray comment = Cp932::encodeTruncated(r.Comment, ListRecord::TextSize);
    std::memcpy(out.data() + ListRecord::CommentOffset, comment.constData(),
                std::size_t(comment.size()));
    return out;
}

} // namespace

ListRecord ListRecord::fromList(const std::uint8_t *bytes)
{
    ListRecord r = decodeCommon(bytes);
    r.Mark = readInt32(bytes + MarkOffset);
    r.IconFrame = readInt32(bytes + ListIconOffset);
    return r;
}

ListRecord ListRecord::fromHistory(const std::uint8_t *bytes)
{
    ListRecord r = decodeCommon(bytes);
    r.Mark = 0;
    r.IconFrame = readInt32(bytes + HistoryIconOffset);
    return r;
}

std::optional<QByteArray> ListRecord::toList() const
{
    std::optional<QByteArray> out = encodeCommon(*this, ListSize);
    if (out) {
        writeInt32(out->data() + MarkOffset, Mark);
        writeInt32(out->data() + ListIconOffset, IconFrame);
    }
    return out;
}

std::optional<QByteArray> ListRecord::toHistory() const
{
    std::optional<QByteArray> out = encodeCommon(*this, HistorySize);
    if (out)
        writeInt32(out->data() + HistoryIconOffset, IconFrame);
    return out;
}

std::optional<QByteArray> ListRecord::pathField(const QString &path)
{
    std::optional<QByteArray> bytes = Cp932::encode(path);
    if (!bytes || bytes->size() > PathSize - 1)
        return std::nullopt;
    bytes->append(QByteArray(PathSize - bytes->size(), '\0'));
    return bytes;
}
