// Device and configuration descriptors as a device sends them: the walk that
// finds the interfaces and pipes, and the text of the diagnostics window.

#include "FuzzSupport.h"
#include "device/DescriptorText.h"
#include "device/UsbDescriptorWalk.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const QByteArray device =
        QByteArray::fromStdString(in.ConsumeBytesAsString(in.ConsumeIntegralInRange(0, 24)));
    const QByteArray config = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());

    const QList<UsbInterfaceInfo> interfaces = WalkConfigDescriptor(config);
    if (config.size() < 9) {
        FUZZ_CHECK(interfaces.isEmpty());
    } else {
        FUZZ_CHECK(interfaces.size() <= std::uint8_t(config[4]));
        for (const UsbInterfaceInfo &i : interfaces) {
            FUZZ_CHECK(i.descriptor.size() == 9);
            for (qsizetype p = 0; p < i.endpoints.size(); ++p)
                FUZZ_CHECK(i.endpoints.at(p).pipe == p &&
                           i.endpoints.at(p).interfaceNumber == i.number);
        }
    }
    const QStringList deviceText = DescriptorText::lines(DescriptorText::Device, device, config);
    FUZZ_CHECK(deviceText.isEmpty() == (device.size() < 18));
    FUZZ_CHECK(DescriptorText::lines(DescriptorText::Configuration, device, config).isEmpty() ==
               (config.size() < 9));
    qsizetype endpoints = 0;
    for (const UsbInterfaceInfo &i : interfaces)
        endpoints += i.endpoints.size();
    // Eleven lines per interface and six per endpoint.
    FUZZ_CHECK(DescriptorText::lines(DescriptorText::Interface, device, config).size() ==
               11 * interfaces.size() + 6 * endpoints);
    return 0;
}
