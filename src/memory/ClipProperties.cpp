#include "memory/ClipProperties.h"

#include "device/DeviceCommands.h"

#include <QString>

ClipProperties ClipProperties::fromHeader(const TitleAttributes &header)
{
    ClipProperties p;
    p.repeat = header.directionBit();
    p.reverse = header.movieReverse();
    p.interval = header.movieInterval();
    return p;
}

void ClipProperties::applyTo(TitleAttributes &header) const
{
    const std::uint8_t mode = repeat ? 5 : 1;
    std::uint8_t flags = std::uint8_t((header.typeFlags() & ~0x0F) | mode);
    if (reverse)
        flags |= 0x08;
    header.setTypeFlags(flags);
    header.setMovieInterval(interval < 0 || interval > 255 ? 0 : interval);
}

int ClipProperties::intervalFromText(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok && v >= 0 && v <= 255 ? v : 0;
}

std::optional<TitleAttributes> ClipProperties::readHeader(DeviceLink &link, std::uint16_t memoryNo)
{
    const std::optional<QByteArray> reply = DeviceCommands(link).ReadTitleHeader(memoryNo);
    if (!reply || reply->size() < TitleAttributes::Size)
        return std::nullopt;
    return TitleAttributes::fromBytes(reinterpret_cast<const std::uint8_t *>(reply->constData()));
}

ClipProperties::Result ClipProperties::write(DeviceLink &link, std::uint16_t memoryNo,
                                             const ClipProperties &p, TitleAttributes *written)
{
    if (memoryNo < MemoryNo::FirstClip || memoryNo > MemoryNo::LastClip)
        return Result::NotAClip;
    std::optional<TitleAttributes> header = readHeader(link, memoryNo);
    if (!header)
        return Result::NoHeader;
    if (header->kind() == TitleKind::Still)
        return Result::Still;
    p.applyTo(*header);
    const QByteArray record(reinterpret_cast<const char *>(header->bytes().data()),
                            TitleAttributes::Size);
    if (!DeviceCommands(link).WriteTitleHeader(memoryNo, record))
        return Result::NotWritten;
    if (written)
        *written = *header;
    return Result::Written;
}
