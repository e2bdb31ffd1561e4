#include "imaging/LoadImageFile.h"

#include "core/MessageBoxes.h"

#include <QFileInfo>

bool LoadImageFile(ImageLibrary &images, MessageBoxes &boxes, const QString &fileName,
                   Bitmap &bitmap, ImageInfo *info)
{
    std::optional<Bitmap> loaded = images.load(fileName);
    if (!loaded || loaded->isNull()) {
        ShowMessageById(boxes, 1, 122, MsgError, {QFileInfo(fileName).fileName()});
        return false;
    }
    if (info)
        *info = ImageInfo{loaded->width(), loaded->height(), 32};
    bitmap = std::move(*loaded);
    if (bitmap.bitsPerPixel() != 32)
        bitmap = bitmap.converted(32);
    return true;
}
