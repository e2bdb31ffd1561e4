#pragma once

#include "imaging/Bitmap.h"
#include "imaging/Thumbnail.h"
#include "list/TitleAttributes.h"

#include <QString>
#include <QStringList>

// One title of a send list: the device record, the picture files it is made
// of, its thumbnail and the operator's name, comment and mark. A value type:
// the list, the clipboard and the undo snapshots each hold their own copies.
struct TitleEntry
{
    static constexpr int ThumbnailWidth = ::Thumbnail::Width;
    static constexpr int ThumbnailHeight = ::Thumbnail::Height;

    TitleAttributes Attributes;
    // Full paths of the frame pictures in frame order; item 0 is the file the
    // operator chose (the key of the property history).
    QStringList FileList;
    // 112 x 84, 24 bits: the whole screen as the mixer will show the icon frame.
    Bitmap Thumbnail;
    QString Name;
    QString Comment;
    bool Selected = false;
    // Not in device memory and no room for it there.
    bool NoRoom = false;
    // 0 = none, 1..9 = Mark1..Mark9.
    int Mark = 0;
    // 1..FrameCount: the frame shown as thumbnail.
    int IconFrame = 0;

    // A new entry: all zero, with an empty (black) thumbnail.
    static TitleEntry create();
    // The grid's header row: memory number MemoryNo::HeadEntry and an empty thumbnail.
    static TitleEntry createHead();

    bool isStored() const;
    QString firstFile() const { return FileList.isEmpty() ? QString() : FileList.first(); }
};
