#include "list/TFormImageDisplay.h"

#include "list/TitleList.h"
#include "resources/MessageTable.h"
#include "ui_TFormImageDisplay.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <algorithm>

namespace {
// The sunken frame around the canvas, on each side.
constexpr int kFrame = 2;
} // namespace

TFormImageDisplay::TFormImageDisplay(TitleList &list, ListServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TFormImageDisplay>()), m_list(list),
      m_display(list, services)
{
    ui->setupUi(this);
    setWindowTitle(MessageTable::caption(windowTitle()));
    ui->ScrollBox->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ui->ScrollBox->setLineWidth(kFrame);

    connect(ui->SButtonPrevOrder, &QToolButton::clicked, this,
            &TFormImageDisplay::SButtonPrevOrderClick);
    connect(ui->SButtonNextOrder, &QToolButton::clicked, this,
            &TFormImageDisplay::SButtonNextOrderClick);
    connect(ui->SButtonPrevFrame, &QToolButton::clicked, this,
            &TFormImageDisplay::SButtonPrevFrameClick);
    connect(ui->SButtonNextFrame, &QToolButton::clicked, this,
            &TFormImageDisplay::SButtonNextFrameClick);
    connect(ui->EditOrder, &QLineEdit::editingFinished, this, &TFormImageDisplay::EditOrderExit);
    connect(ui->EditFrame, &QLineEdit::editingFinished, this, &TFormImageDisplay::EditFrameExit);
    connect(&list, &TitleList::cursorSet, this, &TFormImageDisplay::cursorSet);
    connect(&list, &TitleList::countChanged, this, &TFormImageDisplay::countChanged);
    connect(&list, &TitleList::rowChanged, this, &TFormImageDisplay::rowChanged);
    refresh();
    resize(maximumSize());
}

TFormImageDisplay::~TFormImageDisplay() = default;

void TFormImageDisplay::showCursorTitle()
{
    if (m_list.isEmpty())
        return;
    ShowTitleFrame(m_list.cursor(), 0);
    if (!m_placed) {
        m_placed = true;
        placeOnScreen();
    }
    show();
    raise();
    activateWindow();
}

void TFormImageDisplay::placeOnScreen()
{
    // Beside the main window where the screen has room, else as far right and
    // down as the whole window still shows.
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize size =
        QSize(std::min(width(), available.width()), std::min(height(), available.height()));
    resize(size);
    QPoint at = owner ? owner->frameGeometry().topRight() + QPoint(8, 0) : available.topLeft();
    const QSize frame = frameGeometry().size();
    at.setX(std::max(available.left(), std::min(at.x(), available.right() + 1 - frame.width())));
    at.setY(std::max(available.top(), std::min(at.y(), available.bottom() + 1 - frame.height())));
    move(at);
}

void TFormImageDisplay::ShowTitleFrame(int order, int frame)
{
    m_display.ShowTitleFrame(order, frame);
    refresh();
}

void TFormImageDisplay::SButtonPrevOrderClick()
{
    m_display.PrevOrder();
    refresh();
}

void TFormImageDisplay::SButtonNextOrderClick()
{
    m_display.NextOrder();
    refresh();
}

void TFormImageDisplay::SButtonPrevFrameClick()
{
    m_display.PrevFrame();
    refresh();
}

void TFormImageDisplay::SButtonNextFrameClick()
{
    m_display.NextFrame();
    refresh();
}

void TFormImageDisplay::EditOrderExit()
{
    m_display.EditOrderExit(ui->EditOrder->text());
    refresh();
}

void TFormImageDisplay::EditFrameExit()
{
    m_display.EditFrameExit(ui->EditFrame->text());
    refresh();
}

void TFormImageDisplay::cursorSet(int index)
{
    if (isVisible())
        ShowTitleFrame(index, 0);
}

void TFormImageDisplay::rowChanged(int index)
{
    // Only a change of where or what it shows; the grid's other row changes
    // (memory state, marks) leave the picture alone.
    if (isVisible() && index == m_display.order() && m_display.isStale())
        ShowTitleFrame(index, m_display.frame());
}

void TFormImageDisplay::countChanged(int)
{
    // Titles come and go while the list is rebuilt (undo, sort): the window
    // stays; it is hidden when a command leaves the list empty.
    updateEnabling();
}

void TFormImageDisplay::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A later opening starts from the cursor title, not from an old picture.
    if (!isVisible() && m_list.isEmpty()) {
        m_display.reset();
        refresh();
    }
}

void TFormImageDisplay::refresh()
{
    const Bitmap &canvas = m_display.canvas();
    const QImage image(canvas.bits(), canvas.width(), canvas.height(), canvas.bytesPerLine(),
                       QImage::Format_RGB32);
    ui->Image->setPixmap(QPixmap::fromImage(image));
    ui->Image->resize(canvas.width(), canvas.height());
    // Never larger than the canvas in its frame under the top panel.
    setMaximumSize(canvas.width() + 2 * kFrame,
                   ui->Panel->sizeHint().height() + canvas.height() + 2 * kFrame);
    const int order = m_display.order();
    ui->EditOrder->setText(order > 0 ? QString::number(order) : QString());
    ui->EditFrame->setText(order > 0 ? QString::number(m_display.frame()) : QString());
    updateEnabling();
}

void TFormImageDisplay::updateEnabling()
{
    ui->SButtonPrevOrder->setEnabled(m_display.canPrevOrder());
    ui->SButtonNextOrder->setEnabled(m_display.canNextOrder());
    ui->SButtonPrevFrame->setEnabled(m_display.canPrevFrame());
    ui->SButtonNextFrame->setEnabled(m_display.canNextFrame());
    ui->EditFrame->setEnabled(m_display.frameEditable());
}
