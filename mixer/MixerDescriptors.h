#pragma once

#include <QByteArray>
#include <cstdint>

// The standard descriptors of the virtual mixer: one configuration with one
// vendor-class interface and its interrupt-in, bulk-in and bulk-out endpoints,
// in that order (the host numbers its pipes by this order).
class MixerDescriptors
{
public:
    static QByteArray device();
    static QByteArray configuration();
    // String descriptor `index`; 0 is the language list. Empty when unknown.
    static QByteArray string(std::uint8_t index);
};
