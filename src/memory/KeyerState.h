#pragma once

#include "core/DskState.h"

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
    explicit KeyerState(TitleList &list, QObject *parent = nullptr);

    ::DskState DskState() const { return m_state; }
    bool OutAuto() const { return m_outAuto; }
    // The keyer waits for a trigger: the DSK cursor blinks.
    bool blinking() const
    {
        return m_state == ::DskState::OnWait || m_state == ::DskState::OffWait;
    }
    // A title is being taken in, shown or taken out.
    bool IsDskBusy() const
    {
        return m_state >= ::DskState::OnWait && m_state <= ::DskState::OffRunning;
    }

    void SetDskState(::DskState state, std::uint16_t memoryNo);

signals:
    // The state changed: repaint the DSK cells.
    void dskStateChanged(::DskState state);
    // The title on air is (or is no longer) in the keyer: the DSK jump command follows.
    void dskJumpEnabled(bool enabled);
    // The DSK cursor blinks while this is true.
    void blinkingChanged(bool blinking);
    // A title ended (Ended) or the keyer went idle (Idle); the number is the title that was on air.
    void titleEnded(::DskState state, std::uint16_t memoryNo);

private:
    TitleList &m_list;
    ::DskState m_state = ::DskState::Ended;
    bool m_outAuto = false;
};
