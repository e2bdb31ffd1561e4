#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

class DeviceLink;
class KeyerState;
class MessageBoxes;

// The rules of the mixer settings dialog, shared by the dialog and the
// command line: the signal, the aspect, and the split of the format's slot
// rows between titles and IntVideo (the two counts always add up to the
// total), the question before a change, and the requests that apply a
// setting or recall an event, with their busy answers. The mixer applies a
// setting itself; the program learns the result from its next memory map.
class VT90Setup
{
public:
    static constexpr int NtscRows = 30;
    static constexpr int PalRows = 26;
    static constexpr int MaxEventNumber = 99;

    // What pressing the apply button came to.
    enum class Applied {
        Unchanged,   // nothing differs from what the dialog was opened with: nothing asked
        Declined,    // the question was answered No
        KeyerBusy,   // message 136, nothing sent
        DeviceBusy,  // message 133: the mixer is still applying a setting
        NotAccepted, // the request did not reach the mixer or it said no
        Sent,        // the mixer took the setting: the dialog closes
    };
    // What recalling an event came to.
    enum class Recalled { KeyerBusy, NotANumber, DeviceBusy, NotAccepted, Sent };

    VT90Setup(DeviceLink &link, const KeyerState &keyer, MessageBoxes &boxes);

    // Opening: the settings the mixer runs (signal 1 PAL, aspect 1 16:9).
    void open(int signal, int aspect, int titleRows);

    int signal() const { return m_signal; }
    int aspect() const { return m_aspect; }
    int total() const { return totalRows(m_signal); }
    int titleCount() const { return m_titleCount; }
    int intVideoCount() const { return total() - m_titleCount; }
    static int totalRows(int signal) { return signal == 1 ? PalRows : NtscRows; }

    // A new signal splits its rows in two halves.
    void CBoxSignalChange(int signal);
    void CBoxAspectChange(int aspect) { m_aspect = aspect == 1 ? 1 : 0; }
    // A count as typed (non-numeric text reads as 0; outside 0..total it
    // becomes half the total); the other count takes the rest.
    void EditTitleCountChange(const QString &text);
    void EditIntVideoCountChange(const QString &text);

    // The second line of the question: 119 for a new signal, 120 for a new
    // split, 0 for a new aspect alone, -1 when nothing changed.
    int questionLine() const;
    // Asks (118 with its second line) and sends the setting.
    Applied ButtonMemorySetClick();

    // The event number as typed: nothing for non-numeric text, above 99 it is 99.
    static bool readEventNumber(const QString &text, int &number);
    // Recalls the event typed; eventText receives what the edit shows after
    // (the number corrected, "0" for what was no number).
    Recalled ButtonEventRecallClick(QString &eventText);

private:
    bool keyerBusy();
    // The answer of a settings request: 2 taken, 1 busy (message 133), else
    // refused or not delivered (message 134).
    int answerOf(const std::optional<QByteArray> &reply);

    DeviceLink &m_link;
    const KeyerState &m_keyer;
    MessageBoxes &m_boxes;
    int m_signal = 0;
    int m_aspect = 0;
    int m_titleCount = NtscRows / 2;
    int m_openedSignal = 0;
    int m_openedAspect = 0;
    int m_openedTitleRows = NtscRows / 2;
};
