#pragma once

#include "core/DskState.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

class DeviceLink;
class KeyerState;
class MessageBoxes;
class TitleList;
class Waits;

// Drives the mixer's downstream keyer for the main window: Play (with its
// in-wait and its wait for a stop), Stop, Pause, Autotake, the chain that
// walks the cursor on when a title ends ("CursorAutoMove"), and the keyer
// cursor's preview with its retry. The play state itself lives in
// KeyerState; every wait here keeps the event loop running through Waits, so
// device events and other commands run inside it.
class DskPlayer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStopWaitMs = 2000;
    static constexpr int kPlayTries = 3;
    static constexpr int kPlayRetryMs = 100;
    static constexpr int kPreviewRetryMs = 750;
    static constexpr int kMsgDeviceBusy = 133;
    // A title counts as ended this long after the mixer must have taken it
    // out (its time on the keyer for an automatic out, its out effect once
    // the out began) when the mixer never reports its "out end".
    static constexpr int kEndGraceMs = 1000;

    // Uploads the selected titles that are not stored; true when it succeeded.
    using Loader = std::function<bool()>;

    DskPlayer(KeyerState &keyer, TitleList &list, Waits &waits, MessageBoxes &boxes,
              QObject *parent = nullptr);

    void setLink(DeviceLink *link) { m_link = link; }
    void setLoader(Loader loader) { m_load = std::move(loader); }
    // The frame time of the mixer's video format, in milliseconds.
    void setFrameTime(std::function<double()> frameTime) { m_frameTime = std::move(frameTime); }
    // Whether the cursor walks on when the played title ends.
    void setCursorAutoMove(std::function<bool()> autoMove) { m_autoMove = std::move(autoMove); }

    bool connected() const;

    // Keys in the title under the cursor; false (nothing shown) when it could
    // not, or when another Play is still under way.
    bool Play(bool withInWait);
    bool Stop();
    bool Pause();

    // The Operate commands.
    void mnuOperate_PlayClick();
    bool mnuOperate_StopClick() { return Stop(); }
    bool mnuOperate_PauseClick() { return Pause(); }
    // Autotake; a mixer busy changing its settings gets message 133.
    bool mnuOperate_AutotakeClick();

    bool ChainPlay() const { return m_chainPlay; }
    bool PlayPressed() const { return m_playPressed; }
    QTimer &TimerDskPreviewStart() { return m_previewTimer; }
    QTimer &TimerTitleEnd() { return m_endTimer; }
    std::uint16_t previewMemoryNo() const { return m_previewMemoryNo; }

    // The cursor moved to `index`: the mixer previews that title on the keyer.
    void previewTitle(int index);

private:
    void titleEnded(::DskState state, std::uint16_t memoryNo);
    void chainOn(std::uint16_t endedMemoryNo);
    void TimerDskPreviewStartTimer();
    void stateChanged(::DskState state);
    // Where the title was when its end timer starts.
    enum class EndFrom { In, Showing, Out };
    void startEndTimer(std::uint16_t memoryNo, EndFrom from);
    void TimerTitleEndTimer();
    double frameMs() const { return m_frameTime ? m_frameTime() : 0.0; }
    bool quiet() const;
    bool play(bool withInWait);

    KeyerState &m_keyer;
    TitleList &m_list;
    Waits &m_waits;
    MessageBoxes &m_boxes;
    DeviceLink *m_link = nullptr;
    Loader m_load;
    std::function<double()> m_frameTime;
    std::function<bool()> m_autoMove;
    bool m_chainPlay = false;
    bool m_playPressed = false;
    // A Play is under way (its waits run events, Play among them).
    bool m_playing = false;
    QTimer m_previewTimer;
    std::uint16_t m_previewMemoryNo = 0xFFFF;
    QTimer m_endTimer;
    std::uint16_t m_endMemoryNo = 0xFFFF;
};
