#include "list/CheckTitle.h"

#include "core/VideoFormatParams.h"
#include "imaging/ImageLibrary.h"
#include "list/TitleEntry.h"

#include <algorithm>

namespace {

bool speedValid(int speed)
{
    return speed >= 2 && speed <= 64;
}

bool effectValid(const TitleAttributes &a, Effect e, int lastFrame)
{
    if (a.slideDirection(e) != 0 && !speedValid(a.slideSpeed(e)))
        return false;
    if (a.effPattern(e) > 9999 || a.effTimeSecond(e) > 59 || a.waitSecond(e) > 59)
        return false;
    return a.effTimeFrame(e) <= lastFrame && a.waitFrame(e) <= lastFrame;
}

} // namespace

bool CheckTitle(TitleEntry &entry, const VideoFormatParams &format, ImageLibrary &images)
{
    TitleAttributes &a = entry.Attributes;
    int lastHeight = -1;
    for (const QString &file : std::as_const(entry.FileList)) {
        const std::optional<ImageInfo> info = images.fileInfo(file);
        if (!info)
            return false;
        a.setWidth(std::min(format.maxWidth(), info->width));
        a.setHeight(std::min(format.maxHeight(), info->height));
        lastHeight = info->height;
    }
    // A title without any picture cannot be shown or sent.
    if (lastHeight < 0)
        return false;
    if (entry.IconFrame < 1 || entry.IconFrame > a.frameCount())
        return false;
    if ((a.kind() == TitleKind::Roll || a.kind() == TitleKind::Crawl) &&
        !speedValid(a.rollCrawlSpeed()))
        return false;
    if (a.positionX() > 720)
        return false;
    if (a.durMinute() > 59 || a.durSecond() > 59)
        return false;
    const int lastFrame = format.framesPerSecond - 1;
    if (!effectValid(a, Effect::In, lastFrame) || !effectValid(a, Effect::Out, lastFrame))
        return false;
    if (a.blocksPerFrame() != format.blocksForHeight(lastHeight))
        return false;
    if (a.positionY() > format.maxHeight())
        return false;
    return a.durFrame() <= lastFrame;
}
