#pragma once

#include <QObject>
#include <cstdint>

class TitleList;

// The keyer play state as the program follows it: `DskState` and the title
// on air (`OnAirMemoryNo`, kept by the list). SetDskState is the one entry
// that changes them; the window follows the signals (grid cells, the DSK jump
// command, the blink timer).
class KeyerState : public QObject
{
    Q_OBJECT

public:
    enum State { OnWait = 0, OnRunning, Showing, OffWait, OffRunning, Ended, Idle };
    static constexpr std::uint16_t NotStored = 0xFFFE;
    static constexpr std::uint16_t None = 0xFFFF;

    explicit KeyerState(TitleList &list, QObject *parent = nullptr);

    int DskState() const { return m_state; }
    bool OutAuto() const { return m_outAuto; }
    // The keyer waits for a trigger: the DSK cursor blinks.
    bool blinking() const { return m_state == OnWait || m_state == OffWait; }
    // A title is being taken in, shown or taken out.
    bool IsDskBusy() const { return m_state >= OnWait && m_state <= OffRunning; }

    void SetDskState(int state, std::uint16_t memoryNo);

signals:
    // The state changed: repaint the DSK cells.
    void dskStateChanged(int state);
    // The title on air is (or is no longer) in the keyer: the DSK jump command follows.
    void dskJumpEnabled(bool enabled);
    // The DSK cursor blinks while this is true.
    void blinkingChanged(bool blinking);
    // A title ended (state 5) or the keyer went idle (6); the number is the title that was on air.
    void titleEnded(int state, std::uint16_t memoryNo);

private:
    TitleList &m_list;
    int m_state = Ended;
    bool m_outAuto = false;
};
