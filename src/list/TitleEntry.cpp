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
    e.Attributes.setMemoryNo(TitleAttributes::HeadEntry);
    return e;
}

bool TitleEntry::isStored() const
{
    const std::uint16_t n = Attributes.memoryNo();
    return n < 0xFFFA;
}
