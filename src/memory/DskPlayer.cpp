#include "memory/DskPlayer.h"

#include "core/MemoryNo.h"
#include "core/MessageBoxes.h"
#include "core/Waits.h"
#include "device/DeviceCommands.h"
#include "device/DeviceLink.h"
#include "device/DeviceLogging.h"
#include "list/TitleList.h"
#include "memory/KeyerState.h"

#include <algorithm>

namespace {

// The status byte of a keyer request's answer: 2 accepted, 1 busy, 0 refused.
constexpr char kAccepted = 2;
constexpr char kBusy = 1;
constexpr char kRefused = 0;

bool accepted(const std::optional<QByteArray> &reply)
{
    return reply && !reply->isEmpty() && reply->at(0) == kAccepted;
}

} // namespace

DskPlayer::DskPlayer(KeyerState &keyer, TitleList &list, Waits &waits, MessageBoxes &boxes,
                     QObject *parent)
    : QObject(parent), m_keyer(keyer), m_list(list), m_waits(waits), m_boxes(boxes)
{
    m_previewTimer.setObjectName(QStringLiteral("TimerDskPreviewStart"));
    m_previewTimer.setSingleShot(true);
    connect(&m_previewTimer, &QTimer::timeout, this, &DskPlayer::TimerDskPreviewStartTimer);
    connect(&m_keyer, &KeyerState::titleEnded, this, &DskPlayer::titleEnded);
    m_endTimer.setObjectName(QStringLiteral("TimerTitleEnd"));
    m_endTimer.setSingleShot(true);
    connect(&m_endTimer, &QTimer::timeout, this, &DskPlayer::TimerTitleEndTimer);
    connect(&m_keyer, &KeyerState::dskStateChanged, this, &DskPlayer::stateChanged);
    connect(&m_list, &TitleList::cursorSet, this,
            [this](int index, const QString &) { previewTitle(index); });
}

bool DskPlayer::connected() const
{
    return m_link && m_link->Connected();
}

bool DskPlayer::quiet() const
{
    const ::DskState s = m_keyer.DskState();
    return s == ::DskState::Ended || s == ::DskState::Idle;
}

bool DskPlayer::Play(bool withInWait)
{
    m_previewTimer.stop();
    // A second press while the first still waits (for a stop, a load or its
    // retry) would send the title twice.
    if (m_playing)
        return false;
    m_playing = true;
    const bool played = play(withInWait);
    m_playing = false;
    return played;
}

bool DskPlayer::play(bool withInWait)
{
    const int index = m_list.cursor();
    if (!connected() || m_list.SelectionCount() != 1 || index < 1 || index > m_list.count())
        return false;
    // The title is followed by its memory number from here on: the list may
    // change while the waits below let events run.
    std::uint16_t memoryNo = m_list.at(index).Attributes.memoryNo();

    if (m_keyer.IsDskBusy() && memoryNo != m_list.OnAirMemoryNo()) {
        Stop();
        m_waits.waitUntil([this] { return quiet(); }, kStopWaitMs);
    }

    if (memoryNo == MemoryNo::NotStored) {
        if (!m_load || !m_load())
            return false;
        // The cursor title may have moved while the upload ran.
        const int now = m_list.cursor();
        if (now < 1 || now > m_list.count())
            return false;
        memoryNo = m_list.at(now).Attributes.memoryNo();
        if (!MemoryNo::isData(memoryNo))
            return false;
    }

    if (withInWait) {
        const std::optional<int> title = m_list.FindByMemoryNo(memoryNo);
        if (!title)
            return false;
        const TitleAttributes &a = m_list.at(*title).Attributes;
        const int waitMs =
            a.waitSecond(Effect::In) * 1000 + int(a.waitFrame(Effect::In) * frameMs());
        m_playPressed = false;
        m_keyer.SetDskState(::DskState::OnWait, memoryNo);
        m_waits.waitUntil([this] { return m_playPressed || quiet(); }, waitMs);
        if (quiet() || !connected())
            return false;
    }

    DeviceCommands commands(*m_link);
    for (int attempt = 1;; ++attempt) {
        const std::optional<QByteArray> reply = commands.DskPlay(memoryNo);
        if (!reply)
            return false;
        if (accepted(reply)) {
            // Even when every line of the title is lost, an automatic out
            // ends it in the mixer: a run that waits for it goes on after that.
            const std::optional<int> title = m_list.FindByMemoryNo(memoryNo);
            if (title && m_list.at(*title).Attributes.autoTrigger(Effect::Out))
                startEndTimer(memoryNo, EndFrom::In);
            return true;
        }
        if (attempt == kPlayTries)
            return false;
        m_waits.pause(kPlayRetryMs);
    }
}

bool DskPlayer::Stop()
{
    m_previewTimer.stop();
    if (m_keyer.DskState() == ::DskState::OnWait) {
        // A play that waits for its in-wait gives up; the mixer knows nothing of it.
        m_keyer.SetDskState(::DskState::Idle, m_list.OnAirMemoryNo());
        return true;
    }
    m_chainPlay = false;
    return connected() && accepted(DeviceCommands(*m_link).DskStop());
}

bool DskPlayer::Pause()
{
    if (!connected() || !accepted(DeviceCommands(*m_link).DskPause()))
        return false;
    // The keyer's clock stops: the end of the title can no longer be foreseen.
    m_endTimer.stop();
    return true;
}

void DskPlayer::mnuOperate_PlayClick()
{
    if (m_keyer.DskState() == ::DskState::OnWait) {
        m_playPressed = true;
        return;
    }
    if (Play(false) && m_autoMove && m_autoMove())
        m_chainPlay = true;
}

bool DskPlayer::mnuOperate_AutotakeClick()
{
    if (!connected())
        return false;
    const std::optional<QByteArray> reply = DeviceCommands(*m_link).Autotake();
    if (reply && !reply->isEmpty() && reply->at(0) == kBusy)
        ShowMessageById(m_boxes, 1, kMsgDeviceBusy, MsgError);
    return accepted(reply);
}

void DskPlayer::titleEnded(::DskState state, std::uint16_t memoryNo)
{
    if (!m_chainPlay)
        return;
    m_chainPlay = false;
    if (state != ::DskState::Ended)
        return;
    // The next title is taken up once the event that ended this one has been
    // handled in full, so that the lines of one read stay in their order.
    QTimer::singleShot(0, this, [this, memoryNo] { chainOn(memoryNo); });
}

void DskPlayer::chainOn(std::uint16_t endedMemoryNo)
{
    const std::optional<int> ended = m_list.FindByMemoryNo(endedMemoryNo);
    if (!ended || *ended >= m_list.count())
        return;
    const int next = *ended + 1;
    m_list.SetCursor(next);
    if (!m_list.at(next).Attributes.autoTrigger(Effect::In))
        return;
    m_chainPlay = true;
    if (!Play(true))
        m_chainPlay = false;
}

void DskPlayer::previewTitle(int index)
{
    if (!connected() || index < 1 || index > m_list.count())
        return;
    const std::uint16_t memoryNo = m_list.at(index).Attributes.memoryNo();
    if (!MemoryNo::isData(memoryNo))
        return;
    m_previewTimer.stop();
    DeviceCommands commands(*m_link);
    const std::optional<QByteArray> reply = commands.PreviewStart(memoryNo, true);
    if (reply && !reply->isEmpty() && reply->at(0) == kRefused) {
        commands.PreviewStop(0);
        m_previewMemoryNo = memoryNo;
        m_previewTimer.start(m_waits.scaled(kPreviewRetryMs));
    }
}

void DskPlayer::TimerDskPreviewStartTimer()
{
    m_previewTimer.stop();
    if (connected())
        DeviceCommands(*m_link).PreviewStart(m_previewMemoryNo, true);
}

void DskPlayer::stateChanged(::DskState state)
{
    if (state == ::DskState::Ended || state == ::DskState::Idle) {
        m_endTimer.stop();
        return;
    }
    // The mixer says when a title has left the screen; when that line is
    // lost, the title counts as ended a second after the mixer must have
    // taken it out (started again by each line that comes).
    if (state == ::DskState::OnRunning && m_keyer.OutAuto())
        startEndTimer(m_list.OnAirMemoryNo(), EndFrom::In);
    // Its "in start" lost, so the timer has not started.
    else if (state == ::DskState::Showing && !m_endTimer.isActive())
        startEndTimer(m_list.OnAirMemoryNo(), EndFrom::Showing);
    // An out, manual or automatic.
    else if (state == ::DskState::OffRunning)
        startEndTimer(m_list.OnAirMemoryNo(), EndFrom::Out);
}

void DskPlayer::startEndTimer(std::uint16_t memoryNo, EndFrom from)
{
    const std::optional<int> index = m_list.FindByMemoryNo(memoryNo);
    if (!index)
        return;
    const TitleAttributes &a = m_list.at(*index).Attributes;
    const double frame = frameMs();
    const auto timeMs = [frame](int minutes, int seconds, int frames) {
        return minutes * 60000 + seconds * 1000 + int(frames * frame);
    };
    const int duration = timeMs(a.durMinute(), a.durSecond(), a.durFrame());
    const int out = timeMs(0, a.effTimeSecond(Effect::Out), a.effTimeFrame(Effect::Out));
    const int in = timeMs(0, a.effTimeSecond(Effect::In), a.effTimeFrame(Effect::In));
    // From its in, an automatic out after its duration (or its two effects
    // when they take longer); from the screen, the duration; from an out,
    // the out effect.
    const int leftMs = from == EndFrom::Out       ? out
                       : from == EndFrom::Showing ? std::max(duration, out)
                                                  : std::max(duration, in + out);
    m_endMemoryNo = memoryNo;
    m_endTimer.start(m_waits.scaled(leftMs + kEndGraceMs));
}

void DskPlayer::TimerTitleEndTimer()
{
    if (!m_keyer.IsDskBusy() || m_list.OnAirMemoryNo() != m_endMemoryNo)
        return;
    qCWarning(lcDevice) << "no \"out end\" for memory" << m_endMemoryNo
                        << "after its time on the keyer; taken as ended";
    m_keyer.SetDskState(::DskState::Ended, MemoryNo::None);
}
