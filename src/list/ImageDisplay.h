#pragma once

#include "imaging/Bitmap.h"

#include <QString>

class TitleList;
struct ListServices;

// What the image viewer shows and the rules of its controls: one frame of one
// title of the send list on the screen canvas (ImageDisplayCanvas), the title's
// order and the frame number, and which way the operator can step from there.
// The window only moves numbers and the canvas between its controls and this.
class ImageDisplay
{
public:
    ImageDisplay(TitleList &list, ListServices &services);

    // Shows frame (1-based) of title order; a frame outside 1..FrameCount (0
    // included) means the title's icon frame. An order outside the titles
    // does nothing. When the frame's picture cannot be loaded (message 122)
    // the canvas and the numbers stay as they were. Returns whether it showed.
    bool ShowTitleFrame(int order, int frame);

    // The order field left or confirmed: a title number shows that title at
    // its icon frame; anything else (0, text, beyond the list) title 1.
    bool EditOrderExit(const QString &text);
    // The frame field: 1..FrameCount shows that frame; anything else frame 1.
    bool EditFrameExit(const QString &text);
    bool PrevOrder() { return ShowTitleFrame(m_order - 1, 0); }
    bool NextOrder() { return ShowTitleFrame(m_order + 1, 0); }
    bool PrevFrame() { return ShowTitleFrame(m_order, m_frame - 1 < 1 ? 1 : m_frame - 1); }
    bool NextFrame();

    // 0 until a frame was shown.
    int order() const { return m_order; }
    int frame() const { return m_frame; }
    int frameCount() const { return m_frameCount; }
    // Black at the format's size until a frame was shown.
    const Bitmap &canvas() const { return m_canvas; }

    // Enabling of the steps and the frame field for what is shown, against
    // the list as it is now.
    bool canPrevOrder() const { return m_order > 1; }
    bool canNextOrder() const;
    bool canPrevFrame() const { return m_frame > 1; }
    bool canNextFrame() const { return m_frame < m_frameCount; }
    bool frameEditable() const { return m_frameCount > 1; }

    // The shown title now stands elsewhere on the screen or shows another
    // picture than the canvas (its properties were edited): draw it again.
    bool isStale() const;

    // Starts again with a black canvas of the current format (the viewer was
    // hidden or the format changed).
    void reset();

private:
    TitleList &m_list;
    ListServices &m_services;
    int m_order = 0;
    int m_frame = 0;
    int m_frameCount = 0;
    // What the canvas was drawn from.
    int m_positionX = 0;
    int m_positionY = 0;
    QString m_file;
    Bitmap m_canvas;
};
