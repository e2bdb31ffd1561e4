#pragma once

#include "list/ImageDisplay.h"

#include <QWidget>
#include <memory>

class TitleList;
struct ListServices;

namespace Ui {
class TFormImageDisplay;
}

// "画像の表示": a modeless window that shows one frame of one title as it
// will sit on the screen. Opened on the cursor title at its icon frame, it
// follows the cursor while it is shown; its buttons and fields step through
// the titles and the frames. Created hidden with the main window and kept
// until exit; the main window hides it when a command empties the list.
class TFormImageDisplay : public QWidget
{
    Q_OBJECT

public:
    TFormImageDisplay(TitleList &list, ListServices &services, QWidget *parent = nullptr);
    ~TFormImageDisplay() override;

    // The image-display command: the cursor title at its icon frame, window shown.
    void showCursorTitle();
    // Shows a frame (0: the icon frame) and brings the controls up to date.
    void ShowTitleFrame(int order, int frame);

    const ImageDisplay &display() const { return m_display; }

    // Control handlers.
    void SButtonPrevOrderClick();
    void SButtonNextOrderClick();
    void SButtonPrevFrameClick();
    void SButtonNextFrameClick();
    void EditOrderExit();
    void EditFrameExit();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    // Canvas, fields, enabling and the size limit from the display's state.
    void refresh();
    void placeOnScreen();
    void updateEnabling();
    void cursorSet(int index);
    void countChanged(int count);
    void rowChanged(int index);

    std::unique_ptr<Ui::TFormImageDisplay> ui;
    TitleList &m_list;
    ImageDisplay m_display;
    bool m_placed = false;
};
