#pragma once

#include <QString>
#include <QVariant>
#include <initializer_list>

// Button and icon kinds of a message box.
enum MessageFlags : int {
    MsgError = 0x10,                  // error icon, OK
    MsgQuestionYesNo = 0x24,          // question icon, Yes/No
    MsgExclamationYesNo = 0x34,       // exclamation icon, Yes/No
    MsgExclamationYesNoCancel = 0x33, // exclamation icon, Yes/No/Cancel
    MsgInformation = 0x40,            // information icon, OK
};

// The button that closed a message box.
enum MessageButton : int { IdOk = 1, IdCancel = 2, IdYes = 6, IdNo = 7 };

// Everything the program asks or tells a person goes through this seam: the
// windows show real message boxes, tests script the answers, the command line
// prints to standard error.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Shows text under caption with the given flags and returns the button pressed.
    // The ids are those of the message table, for recording; the texts are final.
    virtual int show(int captionId, int textId, const QString &caption, const QString &text,
                     int flags) = 0;
};

// Builds a message box from the numbered caption and message texts (each cut to
// 255 characters), fills the message's printf-style fields from args and shows it.
int ShowMessageById(MessageBoxes &boxes, int captionId, int textId, int flags,
                    std::initializer_list<QVariant> args = {});
