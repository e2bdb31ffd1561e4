// TARGA headers as opening a list reads them for every frame: the header, and
// whether it names a plain picture whose size can be taken without the library.

#include "FuzzSupport.h"
#include "imaging/TargaHeader.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = FuzzSupport::scratchFile(QStringLiteral("frame.tga"));
    FuzzSupport::writeFile(path, data, size);
    std::int64_t fileSize = -1;
    const std::optional<TargaHeader> header = TargaHeader::read(path, &fileSize);
    const std::optional<TargaHeader> parsed = TargaHeader::parse(data, size);
    FUZZ_CHECK(header.has_value() == (size >= std::size_t(TargaHeader::Size)));
    FUZZ_CHECK(parsed.has_value() == header.has_value());
    if (!header)
        return 0;
    FUZZ_CHECK(fileSize == std::int64_t(size));
    FUZZ_CHECK(header->width == parsed->width && header->height == parsed->height &&
               header->descriptor == parsed->descriptor);

    // The file's own size, and sizes the header may not have been written for.
    FuzzedDataProvider in(data + TargaHeader::Size, size - TargaHeader::Size);
    for (const std::int64_t claimed : {fileSize, in.ConsumeIntegral<std::int64_t>(),
                                       std::int64_t(0), std::numeric_limits<std::int64_t>::max()}) {
        const std::optional<ImageInfo> info = header->plainInfo(claimed);
        if (!info)
            continue;
        FUZZ_CHECK(info->width == header->width && info->height == header->height);
        FUZZ_CHECK(info->width > 0 && info->height > 0);
        FUZZ_CHECK(info->bitsPerPixel == 24 || info->bitsPerPixel == 32);
        const std::int64_t start = TargaHeader::Size + header->idLength;
        const std::int64_t pixels =
            std::int64_t(info->width) * info->height * (info->bitsPerPixel / 8);
        FUZZ_CHECK(claimed > start);
        FUZZ_CHECK(header->imageType != 2 || claimed >= start + pixels);
    }
    return 0;
}
