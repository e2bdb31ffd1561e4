#pragma once

class QWidget;

// The program's help manual: the help menu, every dialog's Help button and F1
// open it at the dialog's own page, in the program's language.
namespace HelpManual {

// Help topics, as the dialogs name their pages.
enum Topic : int {
    Contents = 0,
    PropertyDialog = 10010,
    MemoryWindow = 10020,
    MemorySettingDialog = 10030,
    DefaultProperties = 10040,
    Environment = 10050,
    TitleType = 10060,
};

// Shows the manual's window at topic's page (the contents for a page it does
// not have), beside parent, in the program's language. One window serves the
// whole run; asked again it comes forward at the new page.
void ShowHelp(QWidget *parent, int topic);

// The manual's window while it exists (for the program's own checks).
QWidget *HelpWindow();

// Closes the manual's window (the main window does so when it closes).
void CloseHelp();

} // namespace HelpManual
