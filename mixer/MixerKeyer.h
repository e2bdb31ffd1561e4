#pragma once

#include "core/MemoryNo.h"

#include <QByteArray>
#include <QList>
#include <chrono>
#include <cstdint>
#include <optional>

class Waits;

enum class MixerKeyerState {
    Idle,       // nothing keyed
    InRunning,  // the in effect runs ("in start" sent)
    Showing,    // keyed; waits for its duration or for a manual out
    OutRunning, // the out effect runs ("out start" sent)
};

// What the keyer needs of a title header, in nominal milliseconds.
struct MixerKeyerTiming
{
    int inEffectMs = 0;
    int durationMs = 0;
    int outEffectMs = 0;
    bool autoOut = false;

    // From a 40-byte title header; `frameMs` is 33.3 (NTSC) or 40.0 (PAL).
    static MixerKeyerTiming fromHeader(const QByteArray &header, double frameMs);
};

// The downstream keyer: play, automatic and manual outs, stop, pause. It has
// no thread; the owner calls advance() with the current time and collects the
// event lines that have become due, in order. Every duration is scaled
// through Waits so that tests run fast.
//
// A title's duration is its whole time on the keyer from "in start" to
// "out end", effects included (a roll's duration is its run time, a movie's
// its play time); the host takes an automatic title as ended one second
// after its duration. When the two effects together are longer than the
// duration, they still run in full and the title is not held at all.
class MixerKeyer
{
public:
    using Clock = std::chrono::steady_clock;

    explicit MixerKeyer(const Waits &waits) : m_waits(waits) {}

    MixerKeyerState state() const { return m_state; }
    std::uint16_t memoryNo() const { return m_memoryNo; }
    bool paused() const { return m_paused; }
    bool busy() const { return m_state != MixerKeyerState::Idle; }

    // Starts a title. False when the keyer cannot take it now (an effect runs).
    // In the showing state a play is the out trigger instead.
    bool play(std::uint16_t memoryNo, const MixerKeyerTiming &timing, Clock::time_point now,
              QList<QByteArray> &lines);
    // A manual out trigger (DskStop, Autotake). True when it started the out.
    bool triggerOut(Clock::time_point now, QList<QByteArray> &lines);
    // DskStop: an out now, or at the end of a running in effect.
    void stop(Clock::time_point now, QList<QByteArray> &lines);
    // Freezes or resumes the keyer's clock. False when nothing is keyed.
    bool togglePause(Clock::time_point now);
    // Ends at once (settings change): "out end" when something was keyed.
    void cut(QList<QByteArray> &lines);
    void advance(Clock::time_point now, QList<QByteArray> &lines);
    std::optional<Clock::time_point> nextDeadline() const;

    static QByteArray inStartLine(std::uint16_t memoryNo);
    static QByteArray inEndLine();
    static QByteArray outStartLine(std::uint16_t memoryNo);
    static QByteArray outEndLine();

private:
    Clock::duration scaled(int nominalMs) const;
    void startOut(Clock::time_point at, QList<QByteArray> &lines);

    const Waits &m_waits;
    MixerKeyerState m_state = MixerKeyerState::Idle;
    std::uint16_t m_memoryNo = MemoryNo::None;
    MixerKeyerTiming m_timing;
    Clock::time_point m_deadline;
    bool m_hasDeadline = false;
    bool m_stopRequested = false;
    bool m_paused = false;
    Clock::time_point m_pausedAt;
};
