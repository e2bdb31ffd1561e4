#include "list/TitleEntry.h"

TitleEntry TitleEntry::create()
{
    TitleEntry e;
    e.Thumbnail = Bitmap(ThumbnailWidth, ThumbnailHeight, 24);
    return e;
}

TitleEntry TitleEntry::createHead()
{
    TitleEntry e = create();
    e.Attributes.setMemoryNo(MemoryNo::HeadEntry);
    return e;
}

bool TitleEntry::isStored() const
{
    return MemoryNo::isData(Attributes.memoryNo());
}
