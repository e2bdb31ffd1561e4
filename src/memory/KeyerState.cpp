#include "memory/KeyerState.h"

#include "core/MemoryNo.h"
#include "device/DeviceLogging.h"
#include "list/TitleList.h"

KeyerState::KeyerState(TitleList &list, QObject *parent) : QObject(parent), m_list(list) {}

void KeyerState::SetDskState(::DskState state, std::uint16_t memoryNo)
{
    const bool wasBlinking = blinking();
    m_state = state;
    if (state == ::DskState::Ended || state == ::DskState::Idle) {
        const std::uint16_t old = m_list.OnAirMemoryNo();
        m_list.setOnAirMemoryNo(MemoryNo::None);
        emit dskJumpEnabled(false);
        if (wasBlinking)
            emit blinkingChanged(false);
        emit dskStateChanged(state);
        emit titleEnded(state, old);
        return;
    }

    emit dskJumpEnabled(true);
    if (memoryNo != MemoryNo::NotStored && memoryNo != m_list.OnAirMemoryNo()) {
        m_list.setOnAirMemoryNo(memoryNo);
        if (const auto index = m_list.FindByMemoryNo(memoryNo))
            m_outAuto = m_list.at(*index).Attributes.autoTrigger(Effect::Out);
        else
            qCWarning(lcDevice) << "the keyer reports memory number" << memoryNo
                                << "which no title of the list has; its out is taken as before";
    }
    // A title with a manual out goes from "in end" straight to waiting for its out.
    if (m_state == ::DskState::Showing && !m_outAuto)
        m_state = ::DskState::OffWait;
    if (blinking() != wasBlinking)
        emit blinkingChanged(blinking());
    emit dskStateChanged(m_state);
}
