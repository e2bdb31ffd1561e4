#include "list/ImageDisplay.h"

#include "imaging/ImageDisplayCanvas.h"
#include "imaging/LoadImageFile.h"
#include "list/ListServices.h"
#include "list/TitleList.h"

#include <algorithm>

namespace {

// A whole number, or 0 for anything else.
int numberIn(const QString &text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : 0;
}

// The frames a title can show: its frame count, but never beyond its files.
int framesOf(const TitleEntry &title)
{
    return std::min(int(title.Attributes.frameCount()), int(title.FileList.size()));
}

} // namespace

ImageDisplay::ImageDisplay(TitleList &list, ListServices &services)
    : m_list(list), m_services(services)
{
    reset();
}

void ImageDisplay::reset()
{
    m_order = 0;
    m_frame = 0;
    m_frameCount = 0;
    m_canvas = ImageDisplayCanvas::render(Bitmap(), 0, 0, m_services.format(), m_services.isWide());
}

bool ImageDisplay::ShowTitleFrame(int order, int frame)
{
    if (order < 1 || order > m_list.count())
        return false;
    const TitleEntry &title = m_list.at(order);
    const int frames = framesOf(title);
    if (frames < 1)
        return false;
    if (frame < 1 || frame > frames)
        frame = std::clamp(title.IconFrame, 1, frames);
    Bitmap picture;
    if (!LoadImageFile(m_services.images, m_services.boxes, title.FileList.at(frame - 1), picture))
        return false;
    m_canvas = ImageDisplayCanvas::render(picture, title.Attributes.positionX(),
                                          title.Attributes.positionY(), m_services.format(),
                                          m_services.isWide());
    m_order = order;
    m_frame = frame;
    m_frameCount = frames;
    m_positionX = title.Attributes.positionX();
    m_positionY = title.Attributes.positionY();
    m_file = title.FileList.at(frame - 1);
    return true;
}

bool ImageDisplay::isStale() const
{
    if (m_order < 1 || m_order > m_list.count())
        return false;
    const TitleEntry &title = m_list.at(m_order);
    return title.Attributes.positionX() != m_positionX ||
           title.Attributes.positionY() != m_positionY || m_frame > framesOf(title) ||
           title.FileList.at(m_frame - 1) != m_file;
}

bool ImageDisplay::EditOrderExit(const QString &text)
{
    const int n = numberIn(text);
    return ShowTitleFrame(n >= 1 && n <= m_list.count() ? n : 1, 0);
}

bool ImageDisplay::EditFrameExit(const QString &text)
{
    const int n = numberIn(text);
    return ShowTitleFrame(m_order, n >= 1 && n <= m_frameCount ? n : 1);
}

bool ImageDisplay::NextFrame()
{
    return m_frame < m_frameCount && ShowTitleFrame(m_order, m_frame + 1);
}

bool ImageDisplay::canNextOrder() const
{
    return m_order >= 1 && m_order < m_list.count();
}
