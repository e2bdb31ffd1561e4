#pragma once

#include "core/MessageBoxes.h"

class QWidget;

// Message boxes as real modal dialogs over the active window. With
// TITLEDECK_NONINTERACTIVE set (scripted runs, single-instance checks in
// tests) the message is printed to standard error and the box answers OK,
// No or Cancel as a person closing it would.
class DialogMessageBoxes : public MessageBoxes
{
public:
    int show(int captionId, int textId, const QString &caption, const QString &text,
             int flags) override;
};
