// The mixer's event lines as the event pipe delivers them: in reads of up to
// 64 bytes cut wherever the input says, assembled into lines and turned into
// keyer states and auto-load signals.

#include "FuzzSupport.h"
#include "core/Waits.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "device/EventPipeReader.h"
#include "mixer/VirtualMixer.h"
#include "mixer/VirtualMixerBackend.h"

#include <QStringList>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

struct Rig
{
    Waits waits{0.0};
    FuzzMessageBoxes boxes;
    VirtualMixer mixer{waits};
    VirtualMixerBackend backend{mixer};
    DeviceLink link{&backend, waits, boxes};
    DeviceEventReader reader{link};
    QStringList lines;

    Rig()
    {
        QObject::connect(&reader, &DeviceEventReader::lineReceived,
                         [this](const QString &line) { lines.append(line); });
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Rig rig;
    rig.reader.StartEventPolling(); // a fresh connection: nothing pending
    rig.reader.StopEventPolling();
    rig.lines.clear();

    FuzzedDataProvider in(data, size);
    QByteArray all;
    bool zero = false;
    while (in.remaining_bytes() > 0) {
        const int length = in.ConsumeIntegralInRange(1, EventPipeReader::kReadSize);
        const QByteArray read = QByteArray::fromStdString(in.ConsumeBytesAsString(length));
        zero = zero || read.contains('\0');
        all += read;
        rig.reader.processRead(read);
        FUZZ_CHECK(rig.reader.PendingText().size() <= DeviceEventReader::kMaxPendingText);
    }
    if (zero)
        return 0; // a zero byte ends its read: the lines depend on the cuts
    // Without zero bytes the cuts do not matter: the lines are those of the
    // whole text, the rest waits for the next read.
    const QList<QByteArray> parts = all.split('\r');
    FUZZ_CHECK(rig.lines.size() == parts.size() - 1);
    for (qsizetype k = 0; k + 1 < parts.size(); ++k) {
        // A line longer than the reader keeps loses its start.
        const QString whole = QString::fromLatin1(parts.at(k));
        FUZZ_CHECK(rig.lines.at(k) == whole || (whole.size() > DeviceEventReader::kMaxPendingText &&
                                                whole.endsWith(rig.lines.at(k))));
    }
    const QString rest = QString::fromLatin1(parts.last());
    FUZZ_CHECK(rig.reader.PendingText() == rest.right(DeviceEventReader::kMaxPendingText));
    return 0;
}
