// Device frames read back from the mixer, back to pictures: the frame start
// (marker search), the two-byte repair, the rebuilt lines and the resampling,
// each vector kernel held to the step-by-step reference; and the frame groups
// a read-back is cut into.

#include "FuzzSupport.h"
#include "imaging/DeviceConvert.h"
#include "imaging/DeviceConvertFast.h"
#include "imaging/DeviceConvertReference.h"
#include "imaging/DeviceFrameGroup.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <vector>

using namespace DevicePicture;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const bool isTitle = in.ConsumeBool();
    const bool isPal = in.ConsumeBool();
    const bool keepKey = in.ConsumeBool();
    const LevelSettings levels{in.ConsumeIntegralInRange(0, 1), in.ConsumeIntegralInRange(0, 1)};
    const LevelLimits limits = LevelLimits::from(levels);

    DeviceFrameGroup group;
    group.isPal = isPal;
    for (std::uint8_t &flag : group.bandFlags)
        flag = in.ConsumeIntegral<std::uint8_t>();
    const int blocksPerFrame = in.ConsumeIntegralInRange(-1, 9);
    const QList<int> starts = group.frameStarts(blocksPerFrame);
    for (qsizetype k = 0; k < starts.size(); ++k) {
        FUZZ_CHECK(starts.at(k) >= 0 && starts.at(k) < DeviceFrameGroup::Units);
        FUZZ_CHECK(k == 0 || starts.at(k) >= starts.at(k - 1) + blocksPerFrame);
    }
    FUZZ_CHECK(group.lastUnit(blocksPerFrame) >= 0 &&
               group.lastUnit(blocksPerFrame) <= DeviceFrameGroup::Units);

    // The lines the rest fills; a short rest is repeated to fill one line.
    const std::vector<std::uint8_t> rest = in.ConsumeRemainingBytes<std::uint8_t>();
    if (rest.empty())
        return 0;
    const int lines = std::max<int>(1, std::min<int>(4, int(rest.size() / LineBytes)));
    std::vector<std::uint8_t> frame(std::size_t(lines) * LineBytes);
    for (std::size_t k = 0; k < frame.size(); ++k)
        frame[k] = rest[k % rest.size()];

    const Bitmap reference = DeviceConvertReference::deviceToPicture(
        frame.data(), frame.size(), lines, isTitle, isPal, keepKey, limits);
    FUZZ_CHECK(!reference.isNull());
    FUZZ_CHECK(reference.width() == FormatFigures::of(isPal).rebuiltWidth);
    FUZZ_CHECK(reference.height() == lines);
    FUZZ_CHECK(ConvertDeviceToPicture(frame.data(), frame.size(), lines, isTitle, isPal, keepKey,
                                      levels) == reference);
    for (const auto level : {DeviceConvertFast::SimdLevel::None, DeviceConvertFast::SimdLevel::Sse2,
                             DeviceConvertFast::SimdLevel::Avx2}) {
        if (!DeviceConvertFast::isSupported(level))
            continue;
        Bitmap fast;
        FUZZ_CHECK(DeviceConvertFast::deviceToPicture(frame.data(), frame.size(), lines, isTitle,
                                                      isPal, keepKey, limits, fast, level));
        FUZZ_CHECK(fast == reference);
        // A buffer one byte short of its lines makes nothing.
        FUZZ_CHECK(!DeviceConvertFast::deviceToPicture(
            frame.data(), frame.size() - 1, lines, isTitle, isPal, keepKey, limits, fast, level));
    }
    FUZZ_CHECK(DeviceConvertReference::deviceToPicture(frame.data(), frame.size() - 1, lines,
                                                       isTitle, isPal, keepKey, limits)
                   .isNull());
    return 0;
}
