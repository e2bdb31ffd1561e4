// The virtual mixer's state file: decoding (with the checksum made right, so
// that the fields behind it are reached), the mixer taking the decoded memory
// and answering for it, and writing it again.

#include "FuzzSupport.h"
#include "core/Waits.h"
#include "mixer/MixerStateFile.h"
#include "mixer/VirtualMixer.h"

#include <QtEndian>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Waits waits(0.0);
    static VirtualMixer mixer(waits);
    static const MixerDevice::Snapshot fresh = mixer.snapshot();

    QByteArray bytes = FuzzSupport::bytes(data, size);
    QString why;
    // As stored: a wrong checksum is refused with a reason.
    if (!MixerStateFile::decode(bytes, &why))
        FUZZ_CHECK(!why.isEmpty());
    if (bytes.size() < 16)
        return 0;
    const quint32 sum = MixerStateFile::checksum(QByteArrayView(bytes).first(bytes.size() - 4));
    qToLittleEndian(sum, bytes.data() + bytes.size() - 4);
    why.clear();
    const std::optional<MixerDevice::Snapshot> snapshot = MixerStateFile::decode(bytes, &why);
    if (!snapshot) {
        FUZZ_CHECK(!why.isEmpty());
        return 0;
    }
    // Written again and read back, the state is the same.
    const QByteArray written = MixerStateFile::encode(*snapshot);
    const std::optional<MixerDevice::Snapshot> reread = MixerStateFile::decode(written, &why);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(MixerStateFile::encode(*reread) == written);

    FUZZ_CHECK(mixer.restore(fresh));
    if (!mixer.restore(*snapshot))
        return 0;
    // The mixer answers for what it took: its map, and every stored item's
    // header and frames.
    FUZZ_CHECK(mixer.memoryMapBlock().size() >= 968);
    for (const MixerStoredItem &item : snapshot->memory.items) {
        const std::uint16_t memoryNo = item.info.memoryNo;
        FUZZ_CHECK(mixer.titleHeader(memoryNo).has_value());
        FUZZ_CHECK(mixer.item(memoryNo).has_value());
        for (int frame = 0; frame < std::min(item.info.frameCount, 3); ++frame)
            (void)mixer.frameLines(memoryNo, frame);
    }
    const QByteArray kept = MixerStateFile::encode(mixer.snapshot());
    FUZZ_CHECK(MixerStateFile::decode(kept, &why).has_value());
    return 0;
}
