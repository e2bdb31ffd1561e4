#include "app/DialogMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>

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
