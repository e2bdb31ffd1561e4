// List files (".vtl"): the records as opening a list reads them, their
// attributes as the list and the command line show them, and saving again.

#include "FuzzSupport.h"
#include "core/RollCrawlDuration.h"
#include "core/VideoFormatParams.h"
#include "imaging/TitleTypeRules.h"
#include "list/ListFile.h"
#include "list/ListRecord.h"
#include "list/TitleList.h"

#include <vector>

namespace {

void showAttributes(const TitleAttributes &a)
{
    // Every field read as the list and the command line show it.
    std::vector<std::int64_t> shown{
        TitleTypeRules::kindText(TitleTypeRules::kindOfTypeFlags(a.typeFlags())).size(),
        TitleAttributes::divideText(a.blocksPerFrame()).size(),
        a.positionX(),
        a.positionY(),
        a.width(),
        a.height(),
        a.deviceWord()};
    for (const Effect e : {Effect::In, Effect::Out})
        shown.insert(shown.end(),
                     {a.slideDirection(e), a.slideSpeed(e), a.effPattern(e), a.effPatternWord(e),
                      a.effTimeSecond(e), a.effTimeFrame(e), a.waitSecond(e), a.waitFrame(e)});
    FUZZ_CHECK(shown.size() == 23);
    for (const VideoFormatParams *format :
         {&VideoFormatParams::ntsc(), &VideoFormatParams::pal()}) {
        const Duration d = RollCrawlDuration(a.frameCount(), a.rollCrawlSpeed() * 2, true, *format);
        FUZZ_CHECK(d.minutes >= 0 && d.minutes <= 59 && d.seconds >= 0 && d.seconds <= 59 &&
                   d.frames >= 0 && d.frames < format->framesPerSecond);
        const Duration crawl =
            RollCrawlDuration(a.frameCount(), a.rollCrawlSpeed() * 2, false, *format);
        FUZZ_CHECK(crawl.minutes >= 0 && crawl.minutes <= 59 && crawl.seconds >= 0 &&
                   crawl.seconds <= 59 && crawl.frames >= 0 &&
                   crawl.frames < format->framesPerSecond);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::start(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = FuzzSupport::scratchFile(QStringLiteral("list.vtl"));
    FuzzSupport::writeFile(path, data, size);
    FuzzMessageBoxes boxes;
    const std::optional<std::vector<ListRecord>> records = ListFile::readRecords(path, true, boxes);
    FUZZ_CHECK(records.has_value() == (size % ListRecord::ListSize == 0));
    if (!records)
        return 0;
    FUZZ_CHECK(records->size() ==
               std::min<std::size_t>(size / ListRecord::ListSize, TitleList::MaxTitles));

    for (const ListRecord &record : *records) {
        showAttributes(record.Attributes);
        FUZZ_CHECK(record.markOrNone() >= 0 && record.markOrNone() <= 9);
        // Saving an opened list and opening it again gives the same record; a
        // second save gives the same bytes.
        const std::optional<QByteArray> saved = record.toList();
        if (!saved)
            continue;
        FUZZ_CHECK(saved->size() == ListRecord::ListSize);
        const ListRecord again =
            ListRecord::fromList(reinterpret_cast<const std::uint8_t *>(saved->constData()));
        FUZZ_CHECK(again.FirstFile == record.FirstFile);
        FUZZ_CHECK(again.Attributes.bytes() == record.Attributes.bytes());
        FUZZ_CHECK(again.Mark == record.Mark && again.IconFrame == record.IconFrame);
        const std::optional<QByteArray> savedAgain = again.toList();
        FUZZ_CHECK(savedAgain && *savedAgain == *saved);
    }
    const QByteArray whole = ListFile::encodeRecords(*records);
    FUZZ_CHECK(whole.size() % ListRecord::ListSize == 0);
    return 0;
}
