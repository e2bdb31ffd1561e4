// The property history file: look-ups of the paths it holds and recording a
// title into whatever the file holds.

#include "FuzzSupport.h"
#include "core/Waits.h"
#include "list/Cp932.h"
#include "list/PropertyHistory.h"
#include "list/TitleEntry.h"

#include <QFile>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

QByteArray keyAt(const QByteArray &history, qsizetype record)
{
    const QByteArray field = history.mid(record * ListRecord::HistorySize, ListRecord::PathSize);
    const qsizetype nul = field.indexOf('\0');
    return nul < 0 ? field : field.left(nul);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = FuzzSupport::scratchFile(QStringLiteral("TitleDeck.vth"));
    static Waits waits(0.0);
    FuzzedDataProvider in(data, size);
    // The title to record comes first, the file's bytes after it.
    const QString recorded =
        QString::fromUtf8(in.ConsumeBytesAsString(in.ConsumeIntegral<std::uint8_t>()));
    std::uint8_t attributes[TitleAttributes::Size];
    for (std::uint8_t &b : attributes)
        b = in.ConsumeIntegral<std::uint8_t>();
    const std::int32_t iconFrame = in.ConsumeIntegral<std::int32_t>();
    const std::vector<std::uint8_t> file = in.ConsumeRemainingBytes<std::uint8_t>();
    FuzzSupport::writeFile(path, file.data(), file.size());
    const QByteArray history = FuzzSupport::bytes(file.data(), file.size());
    const qsizetype records = history.size() / ListRecord::HistorySize;

    PropertyHistory store(path, waits);
    // Every whole record whose path the program can name again is found: the
    // first record with that path. A field filled to its end has no
    // terminator, so no path the program names is that key.
    for (qsizetype r = 0; r < std::min<qsizetype>(records, 8); ++r) {
        const QByteArray key = keyAt(history, r);
        if (key.size() == ListRecord::PathSize)
            continue;
        const QString name = Cp932::decodeField(key.constData(), std::size_t(key.size()));
        const std::optional<QByteArray> encoded = Cp932::encode(name);
        if (!encoded || *encoded != key)
            continue;
        qsizetype first = 0;
        while (keyAt(history, first) != key)
            ++first;
        const std::optional<ListRecord> found = store.FindHistory(name);
        FUZZ_CHECK(found.has_value());
        const ListRecord expected =
            ListRecord::fromHistory(reinterpret_cast<const std::uint8_t *>(history.constData()) +
                                    first * ListRecord::HistorySize);
        FUZZ_CHECK(found->Attributes.bytes() == expected.Attributes.bytes());
        FUZZ_CHECK(found->Name == expected.Name && found->IconFrame == expected.IconFrame);
    }

    // Recording a title keeps every other whole record and drops only a damaged tail.
    TitleEntry entry = TitleEntry::create();
    entry.FileList = {recorded};
    entry.Attributes = TitleAttributes::fromBytes(attributes);
    entry.IconFrame = iconFrame;
    entry.Name = recorded;
    const bool fits = ListRecord::pathField(recorded).has_value();
    FUZZ_CHECK(store.StoreHistory(entry) == fits);
    const QByteArray after = readAll(path);
    if (!fits) {
        FUZZ_CHECK(after == history);
        return 0;
    }
    // The title's record is replaced where it was, or added after the last whole record.
    const std::optional<QByteArray> field = ListRecord::pathField(recorded);
    const QByteArray key =
        field->left(field->indexOf('\0') < 0 ? field->size() : field->indexOf('\0'));
    qsizetype at = 0;
    while (at < records && keyAt(history, at) != key)
        ++at;
    FUZZ_CHECK(after.size() ==
               (at < records ? history.size() : (records + 1) * ListRecord::HistorySize));
    for (qsizetype r = 0; r < records; ++r)
        if (r != at)
            FUZZ_CHECK(after.mid(r * ListRecord::HistorySize, ListRecord::HistorySize) ==
                       history.mid(r * ListRecord::HistorySize, ListRecord::HistorySize));
    const std::optional<ListRecord> found = store.FindHistory(recorded);
    FUZZ_CHECK(found.has_value());
    FUZZ_CHECK(found->Attributes.bytes() == entry.Attributes.bytes());
    FUZZ_CHECK(found->IconFrame == iconFrame);
    return 0;
}
