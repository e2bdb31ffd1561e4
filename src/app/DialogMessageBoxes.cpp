#include "app/DialogMessageBoxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <cstdio>

namespace {

// Beside the caption the title bar holds the window's icon and buttons.
constexpr int kTitleBarButtons = 120;

// A box is sized by its text and buttons; a short message under a long caption
// would leave the window manager to cut the caption. The box is made wide
// enough for the caption in the (bold) title font.
void makeRoomForCaption(QMessageBox &box, const QString &caption)
{
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int width = QFontMetrics(titleFont).horizontalAdvance(caption) * 6 / 5 + kTitleBarButtons;
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

int DialogMessageBoxes::show(int captionId, int textId, const QString &caption, const QString &text,
                             int flags)
{
    const int buttons = flags & 0x0F;
    if (qEnvironmentVariableIsSet("TITLEDECK_NONINTERACTIVE")) {
        std::fprintf(stderr, "[%d] %s: %s\n", textId, qPrintable(caption), qPrintable(text));
        std::fflush(stderr);
        return buttons == 0 ? IdOk : buttons == 3 ? IdCancel : IdNo;
    }

    // Never over the splash: it closes itself on a timer and would take the open box with it.
    QWidget *parent = QApplication::activeWindow();
    if (parent && parent->windowType() == Qt::SplashScreen)
        parent = nullptr;
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (flags & 0xF0) {
    case 0x10:
        box.setIcon(QMessageBox::Critical);
        break;
    case 0x20:
        box.setIcon(QMessageBox::Question);
        break;
    case 0x30:
        box.setIcon(QMessageBox::Warning);
        break;
    default:
        box.setIcon(QMessageBox::Information);
        break;
    }
    if (buttons == 3)
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    else if (buttons == 4)
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    else
        box.setStandardButtons(QMessageBox::Ok);
    makeRoomForCaption(box, caption);
    box.setProperty("captionId", captionId);
    box.setProperty("textId", textId);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return IdYes;
    case QMessageBox::No:
        return IdNo;
    case QMessageBox::Cancel:
        return IdCancel;
    default:
        return buttons == 0 ? IdOk : buttons == 3 ? IdCancel : IdNo;
    }
}
