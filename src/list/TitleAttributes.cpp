#include "list/TitleAttributes.h"

#include <cstring>

TitleAttributes TitleAttributes::fromBytes(const std::uint8_t *bytes)
{
    TitleAttributes a;
    std::memcpy(a.m_bytes.data(), bytes, Size);
    return a;
}

void TitleAttributes::setSlideDirection(Effect e, int d)
{
    std::uint8_t &b = m_bytes[base(e)];
    b = std::uint8_t((b & ~0x1C) | ((d & 0x07) << 2));
}

void TitleAttributes::setEffPattern(Effect e, int pattern)
{
    const std::uint16_t word = effPatternWord(e);
    setU16(base(e) + 2, std::uint16_t((word & 0xC000) | (pattern & 0x3FFF)));
}

std::uint32_t TitleAttributes::deviceWord() const
{
    return qFromLittleEndian<quint32>(m_bytes.data() + DeviceWordOffset);
}

void TitleAttributes::setDeviceWord(std::uint32_t v)
{
    qToLittleEndian<quint32>(v, m_bytes.data() + DeviceWordOffset);
}

void TitleAttributes::setBit(int offset, int bit, bool on)
{
    if (on)
        m_bytes[offset] = std::uint8_t(m_bytes[offset] | (1u << bit));
    else
        m_bytes[offset] = std::uint8_t(m_bytes[offset] & ~(1u << bit));
}

QString TitleAttributes::divideText(int blocksPerFrame)
{
    switch (blocksPerFrame) {
    case 8:
        return QStringLiteral("1");
    case 4:
        return QStringLiteral("1/2");
    case 2:
        return QStringLiteral("1/4");
    case 1:
        return QStringLiteral("1/8");
    default:
        return {};
    }
}
