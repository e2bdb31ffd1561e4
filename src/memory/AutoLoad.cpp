#include "memory/AutoLoad.h"

#include "core/HandOverOrder.h"

#include "core/MemoryNo.h"
#include "core/MessageBoxes.h"
#include "core/RunOnThread.h"
#include "core/Waits.h"
#include "device/DeviceEventReader.h"
#include "device/DeviceLink.h"
#include "list/TitleList.h"
#include "memory/DeviceMemoryMirror.h"
#include "memory/DskPlayer.h"
#include "memory/KeyerState.h"
#include "resources/MessageTable.h"

#include <QTimer>
#include <algorithm>

namespace {

QString text(int id)
{
    return MessageTable::text(id);
}

} // namespace

AutoLoad::Services AutoLoad::deviceServices(BulkOutTransfer &bulkOut, DeviceMemoryMirror &mirror,
                                            DeviceLink &link)
{
    Services s;
    s.upload = [&bulkOut](TransferItem &item, const BulkOutTransfer::AutoLoadHooks &hooks) {
        return bulkOut.UploadTitleForAutoLoad(item, hooks);
    };
    s.cancelUpload = [&bulkOut] { bulkOut.Cancel(); };
    s.clearTitle = [&mirror](std::uint16_t memoryNo) { return mirror.ClearTitle(memoryNo, false); };
    s.frameTime = [&mirror] { return double(mirror.videoFormat().frameTimeMs); };
    s.connected = [&link] { return link.Connected(); };
    return s;
}

void AutoLoad::follow(DeviceEventReader &reader, DeviceLink &link)
{
    connect(&reader, &DeviceEventReader::inStartRaised, this, &AutoLoad::inStart);
    connect(&reader, &DeviceEventReader::inEndRaised, this, &AutoLoad::inEnd);
    connect(&reader, &DeviceEventReader::outStartRaised, this, &AutoLoad::outStart);
    connect(&reader, &DeviceEventReader::outEndRaised, this, &AutoLoad::outEnd);
    connect(&link, &DeviceLink::connectedStateChanged, this, [this](bool connected) {
        if (!connected)
            abort();
    });
}

AutoLoad::AutoLoad(Services services, QObject *parent) : QObject(parent), m_s(std::move(services))
{
    connect(m_s.keyer, &KeyerState::titleEnded, this,
            [this](::DskState state, std::uint16_t) { keyerEnded(state); });
}

AutoLoad::~AutoLoad()
{
    // Nothing may outlive the run: the workers use the records and this object.
    m_stopRequest = true;
    if (m_running && m_s.cancelUpload)
        m_s.cancelUpload();
    m_loaderTerminate = true;
    m_abort.set();
    m_s.waits->wake();
    m_s.waits->waitUntil([this] { return threadsDone(); }, -1);
    reapWorkers(true);
}

TransferItem *AutoLoad::record(int index)
{
    if (m_records.empty())
        return nullptr;
    const int k = index - m_records.front()->Order;
    return k >= 0 && k < int(m_records.size()) ? m_records[std::size_t(k)].get() : nullptr;
}

void AutoLoad::onUi(const std::function<void()> &f)
{
    runOnThread(*this, f);
}

bool AutoLoad::waitFor(const ManualResetEvent &event, int timeoutMs)
{
    const auto ready = [&] { return event.isSet() || m_abort.isSet(); };
    if (timeoutMs < 0)
        m_s.waits->waitUntil(ready, -1);
    else
        m_s.waits->waitUntil(ready, timeoutMs);
    return !m_abort.isSet() && event.isSet();
}

void AutoLoad::showPlayStatus(int id)
{
    if (id == m_playStatus && id != 0)
        return;
    m_playStatus = id;
    emit playStatusChanged(id ? text(id) : QString());
}

void AutoLoad::setEvents(int count)
{
    if (!m_currentWorker)
        return;
    for (int i = 0; i < count; ++i)
        m_currentWorker->events[i].set();
    m_s.waits->wake();
}

bool AutoLoad::StartAutoLoad()
{
    TitleList &list = *m_s.list;
    if (m_running || list.count() < 1 || (m_s.connected && !m_s.connected()))
        return false;
    reapWorkers(true);
    m_running = true;
    m_finishing = false;
    m_fault = false;
    m_stopRequest = false;
    m_loaderTerminate = false;
    m_uploads = m_clears = 0;
    m_abort.reset();
    // The head row is no title: the run starts at the first one.
    const int start = std::max(1, list.cursor());
    m_records.clear();
    for (int i = start; i <= list.count(); ++i) {
        auto item = std::make_unique<TransferItem>();
        item->Order = i;
        item->Attributes = list.at(i).Attributes;
        item->FileList = list.at(i).FileList;
        if (item->Attributes.memoryNo() != MemoryNo::NotStored) {
            item->LoadState = TransferItem::LoadDone;
            item->Completion.set();
        }
        m_records.push_back(std::move(item));
    }
    m_loaderAlive = true;
    m_loader = std::thread([this] { loaderRun(); });
    PlayAutoLoadTitle(start);
    return true;
}

void AutoLoad::PlayAutoLoadTitle(int index)
{
    if (m_stopRequest) {
        FinishAutoLoad(false);
        return;
    }
    m_currentWorker = nullptr;
    reapWorkers(false);
    TransferItem *rec = record(index);
    if (!rec) {
        FinishAutoLoad(true);
        return;
    }
    m_s.list->SetCursor(index);
    m_playingIndex = index;
    emit playOrderChanged(index);
    showPlayStatus(0);
    for (int round = 0; rec->LoadState == TransferItem::LoadWaitingForMemory; ++round) {
        if (round == kMemoryRounds - 1) {
            ShowMessageById(*m_s.boxes, 1, kMsgNoMemory, MsgError);
            FinishAutoLoad(true);
            return;
        }
        m_s.waits->pause(kMemoryRoundMs);
        if (!m_running || m_finishing)
            return;
    }
    const TitleAttributes &a = m_s.list->at(index).Attributes;
    const double frame = m_s.frameTime ? m_s.frameTime() : 0.0;
    const bool inAuto = a.autoTrigger(Effect::In);
    const int inWait =
        inAuto ? a.waitSecond(Effect::In) * 1000 + int(a.waitFrame(Effect::In) * frame) : 0;
    const bool outAuto = a.autoTrigger(Effect::Out);
    m_current = rec;
    auto worker = std::make_unique<Worker>();
    Worker *w = worker.get();
    m_workers.push_back(std::move(worker));
    m_currentWorker = w;
    w->thread = std::thread([this, w, rec, inAuto, inWait, outAuto] {
        playRun(*w, *rec, inAuto, inWait, outAuto);
        w->done = true;
        m_s.waits->wake();
        threadEnded();
    });
}

void AutoLoad::playRun(Worker &w, TransferItem &item, bool inAuto, int inWaitMs, bool outAuto)
{
    const auto aborted = [this] {
        onUi([this] { m_s.keyer->SetDskState(::DskState::Idle, MemoryNo::None); });
    };
    ManualResetEvent *events = w.events;
    onUi([this] { showPlayStatus(kWaitingForData); });
    if (!waitFor(item.Completion, -1))
        return aborted();
    onUi([this, &item] {
        showPlayStatus(kOnWait);
        emit playEnabled(true, true);
        m_s.keyer->SetDskState(::DskState::OnWait, m_s.list->at(item.Order).Attributes.memoryNo());
    });
    if (inAuto) {
        if (!waitFor(events[0], inWaitMs)) {
            if (m_abort.isSet())
                return aborted();
            bool played = false;
            onUi([this, &played] { played = m_s.player->Play(false); });
            if (!played)
                return aborted();
        }
    }
    if (!waitFor(events[0], -1) || !waitFor(events[1], -1))
        return aborted();
    if (!outAuto) {
        onUi([this] {
            showPlayStatus(kOffWait);
            emit playEnabled(true, true);
            m_s.keyer->SetDskState(::DskState::OffWait, MemoryNo::NotStored);
        });
        if (!waitFor(events[2], -1))
            return aborted();
    }
    if (!waitFor(events[3], -1))
        return aborted();
}

void AutoLoad::loaderRun()
{
    const QString securing = text(kSecuringMemory);
    const int first = m_records.front()->Order;
    const int last = m_records.back()->Order;
    const BulkOutTransfer::AutoLoadHooks hooks{[this] { return m_stopRequest.load(); },
                                               [this] {
                                                   // A cancel the operator asked for is no fault.
                                                   if (!m_stopRequest)
                                                       m_fault = true;
                                                   m_abort.set();
                                                   m_s.waits->wake();
                                               }};
    std::size_t k = 0;
    const auto run = [&] {
        while (true) {
            TransferItem &rec = *m_records[k];
            onUi([&] {
                emit transferOrderChanged(QString::number(rec.Order));
                emit transferStatusChanged(securing);
            });
            if (rec.LoadState == TransferItem::LoadNone) {
                bool waiting = false;
                int roundsOnAir = 0;
                while (true) {
                    if (m_loaderTerminate)
                        return;
                    const int result = m_s.upload(rec, hooks);
                    if (result == BulkOutTransfer::AutoLoadSent) {
                        onUi([&] {
                            ++m_uploads;
                            emit titleLoaded(rec.Order);
                        });
                        break;
                    }
                    if (result == BulkOutTransfer::AutoLoadFailed) {
                        // Not when the operator's Stop cancelled it.
                        onUi([&] {
                            if (m_fault)
                                emit titleLoadFailed(rec.Order);
                        });
                        return;
                    }
                    if (m_stopRequest)
                        return;
                    // The player already waits for this title: the titles
                    // before it have been cleared and nothing else will free
                    // memory (a title larger than the whole memory, or one
                    // that protected titles leave no room for).
                    if (m_playingIndex == rec.Order && ++roundsOnAir > 1) {
                        onUi([this] {
                            if (!m_stopRequest)
                                ShowMessageById(*m_s.boxes, 1, kMsgNoMemory, MsgError);
                            m_fault = true;
                        });
                        m_abort.set();
                        m_s.waits->wake();
                        return;
                    }
                    rec.LoadState = TransferItem::LoadWaitingForMemory;
                    if (!waiting)
                        onUi([&] { emit titleWaitingForMemory(rec.Order); });
                    waiting = true;
                    m_s.waits->waitUntil([this] { return m_loaderTerminate.load(); }, kRetryMs);
                }
                m_s.waits->sleepOnWorker(kAfterLoadMs);
            }
            onUi([this] { emit transferStatusChanged(QString()); });
            // Never a full lap ahead of the title on air.
            const auto ahead = [&] {
                const int playing = m_playingIndex;
                return playing - 1 == rec.Order || (rec.Order == last && playing == first);
            };
            while (ahead()) {
                if (m_loaderTerminate)
                    return;
                m_s.waits->waitUntil([this] { return m_loaderTerminate.load(); }, kAheadMs);
            }
            if (++k == m_records.size()) {
                if (!m_endless)
                    return;
                k = 0;
            }
        }
    };
    run();
    onUi([this] {
        emit transferOrderChanged(QString());
        emit transferStatusChanged(QString());
        m_loaderAlive = false;
    });
    threadEnded();
}

void AutoLoad::threadEnded()
{
    // Queued (from any thread): an ending run takes it up once the caller is on its way out.
    postCall(*this, [this] { completeFinish(); });
}

bool AutoLoad::threadsDone() const
{
    return !m_loaderAlive && std::all_of(m_workers.begin(), m_workers.end(),
                                         [](const auto &w) { return w->done.load(); });
}

void AutoLoad::keyerEnded(::DskState state)
{
    if (!m_running || m_finishing)
        return;
    if (state == ::DskState::Ended) {
        // Whoever ended the title (the mixer, or the player's end timer when
        // the mixer never reported its "out end"), the worker is done with it.
        setEvents(4);
        showPlayStatus(kEnded);
        if (m_stopRequest)
            FinishAutoLoad(false);
        else
            NextAutoLoadTitle();
        return;
    }
    // The keyer went idle: the operator stopped, or a fault ended the title.
    FinishAutoLoad(!m_stopRequest);
}

void AutoLoad::NextAutoLoadTitle()
{
    if (!m_current) {
        FinishAutoLoad(true);
        return;
    }
    int i = m_current->Order;
    // An endless run of one title keeps it in memory and plays it again.
    const bool keep = m_endless && m_records.size() == 1;
    const std::uint16_t memoryNo =
        i <= m_s.list->count() ? m_s.list->at(i).Attributes.memoryNo() : MemoryNo::NotStored;
    if (!keep && MemoryNo::isData(memoryNo) && m_s.clearTitle && m_s.clearTitle(memoryNo)) {
        m_current->Completion.reset();
        m_current->LoadState = TransferItem::LoadNone;
        ++m_clears;
        emit titleCleared(i);
    }
    ++i;
    if (i > m_records.back()->Order || i > m_s.list->count()) {
        if (!m_endless) {
            FinishAutoLoad(false);
            return;
        }
        i = m_records.front()->Order;
    }
    PlayAutoLoadTitle(i);
}

void AutoLoad::FinishAutoLoad(bool fault)
{
    if (!m_running || m_finishing)
        return;
    m_finishing = true;
    m_fault = m_fault || fault;
    m_stopRequest = true;
    m_loaderTerminate = true;
    m_abort.set();
    m_s.waits->wake();
    if (m_s.connected && m_s.connected())
        m_s.player->Stop();
    // A worker may be in the middle of the call that brought us here: the
    // run is over once every thread has ended, which each tells as it goes.
    // Nothing here waits: a wait inside a queued call would hold up the very
    // calls the workers are blocked on.
    threadEnded();
}

void AutoLoad::completeFinish()
{
    if (!m_finishing || !threadsDone())
        return;
    m_currentWorker = nullptr;
    reapWorkers(true);
    m_current = nullptr;
    m_records.clear();
    m_running = false;
    m_finishing = false;
    emit finished(m_fault);
}

void AutoLoad::reapWorkers(bool all)
{
    if (all && m_loader.joinable())
        m_loader.join();
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if ((*it)->done || all) {
            (*it)->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void AutoLoad::inStart()
{
    if (!m_running)
        return;
    setEvents(1);
    showPlayStatus(kOnRunning);
    emit playEnabled(false, false);
}

void AutoLoad::inEnd()
{
    if (!m_running)
        return;
    setEvents(2);
    showPlayStatus(kShowing);
}

void AutoLoad::outStart()
{
    if (!m_running)
        return;
    setEvents(3);
    showPlayStatus(kOffRunning);
    emit playEnabled(false, false);
}

void AutoLoad::outEnd()
{
    if (!m_running)
        return;
    setEvents(4);
    showPlayStatus(kEnded);
}

void AutoLoad::BitBtnPlayClick()
{
    // Only a keyer waiting for its trigger takes one; a late press while the
    // effect already runs changes nothing.
    if (!m_running || !m_s.keyer->blinking())
        return;
    if (!m_s.player->Play(false)) {
        m_abort.set();
        m_s.waits->wake();
    }
}

void AutoLoad::BitBtnStopClick()
{
    m_stopRequest = true;
    if (m_s.cancelUpload)
        m_s.cancelUpload();
    abort();
}

void AutoLoad::BitBtnPauseClick()
{
    m_s.player->Pause();
}

void AutoLoad::abort()
{
    m_abort.set();
    m_s.waits->wake();
}
