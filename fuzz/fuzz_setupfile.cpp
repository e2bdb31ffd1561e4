// Setup files (".vts"): the block and its sum as reading a file for the
// mixer takes them.

#include "FuzzSupport.h"
#include "core/SetupDataFile.h"

#include <QtEndian>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray content = FuzzSupport::bytes(data, size);
    const std::optional<QByteArray> block = SetupDataFile::decode(content);
    if (content.size() < SetupDataFile::FileSize) {
        FUZZ_CHECK(!block);
        return 0;
    }
    const QByteArrayView data32 = QByteArrayView(content).first(SetupDataFile::DataSize);
    const bool sumMatches =
        SetupDataFile::sum(data32) ==
        qFromLittleEndian<quint32>(content.constData() + SetupDataFile::DataSize);
    FUZZ_CHECK(block.has_value() == sumMatches);
    if (block) {
        FUZZ_CHECK(block->size() == SetupDataFile::DataSize);
        // Writing the block back gives the file as it was, without what followed the sum.
        FUZZ_CHECK(SetupDataFile::encode(*block) == content.first(SetupDataFile::FileSize));
    }
    return 0;
}
