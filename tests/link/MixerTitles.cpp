#include "link/MixerTitles.h"

#include "device/DeviceRequests.h"
#include "imaging/DevicePicture.h"
#include "list/TitleAttributes.h"
#include "mixer/VirtualMixer.h"

#include <QtEndian>

using DeviceRequest::In;
using DeviceRequest::Out;

std::uint16_t MixerTitles::store(VirtualMixer &mixer, bool clip, int width, int height,
                                 int blocksPerFrame, int frames, int key,
                                 const std::function<int(int, int)> &luma)
{
    const QByteArray reply =
        mixer
            .controlIn(std::uint8_t(clip ? In::AllocIntVideoMemory : In::AllocTitleMemory),
                       std::uint16_t(clip ? frames : blocksPerFrame), clip ? 0 : frames, 6)
            .value_or(QByteArray(2, '\xFF'));
    const auto memoryNo = qFromLittleEndian<quint16>(reply.constData());
    TitleAttributes a;
    a.setMemoryNo(memoryNo);
    a.setWidth(width);
    a.setHeight(height);
    a.setBlocksPerFrame(blocksPerFrame);
    a.setFrameCount(frames);
    mixer.controlOut(std::uint8_t(Out::WriteTitleHeader), memoryNo, 0, a.bytes().data(),
                     TitleAttributes::Size);
    const int outWidth = DevicePicture::deviceWidth(width, mixer.signal() == 1);
    for (int f = 0; f < frames; ++f) {
        QByteArray data;
        for (int r = 0; r < height; ++r) {
            const char pixel[4] = {char(luma(f, r)), char(key), '\x80', '\x80'};
            data += QByteArray(pixel, 4).repeated(outWidth);
        }
        data.resize(qsizetype(DevicePicture::uploadBufferSize(outWidth, height)), '\0');
        mixer.controlIn(std::uint8_t(In::BeginFrameWrite), memoryNo, std::uint16_t(f), 2);
        for (qsizetype at = 0; at < data.size(); at += 4096)
            mixer.bulkOut(reinterpret_cast<const std::uint8_t *>(data.constData()) + at,
                          int(std::min<qsizetype>(4096, data.size() - at)), 3000);
    }
    return memoryNo;
}
