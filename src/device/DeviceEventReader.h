#pragma once

#include "core/DskState.h"
#include "core/MemoryNo.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class DeviceLink;
class EventPipeReader;

// The device event reader: from connect to disconnect, every 20 ms, it reads
// the mixer's event lines from the event pipe and turns the four keyer events
// ("in start", "in end", "out start", "out end") into SetDskState calls and
// auto-load signals. The reads run on a thread of their own; the lines are
// handled on the user-interface thread.
class DeviceEventReader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTickMs = 20;
    static constexpr int kReadTimeoutMs = 100;
    static constexpr int kMaxPendingText = 1024;

    explicit DeviceEventReader(DeviceLink &link, QObject *parent = nullptr);
    ~DeviceEventReader() override;

    void StartEventPolling();
    void StopEventPolling();
    bool polling() const { return m_polling; }
    QTimer &TimerGetVT90Info() { return m_timer; }

    // Feeds the bytes of one read (what the tick does with each read's answer).
    void processRead(const QByteArray &data);

    QString PendingText() const { return m_pendingText; }
    bool EventPipeAlive() const { return m_eventPipeAlive; }
    void resetEventPipeAlive() { m_eventPipeAlive = false; }
    int InStartNumber() const { return m_inStartNumber; }
    int OutStartNumber() const { return m_outStartNumber; }

signals:
    // Every complete line, for the window's text box.
    void lineReceived(const QString &line);
    // The keyer's play state changes (SetDskState).
    void SetDskState(DskState state, int memoryNo);
    // The auto-load window's signals.
    void inStartRaised(int number);
    void inEndRaised();
    void outStartRaised(int number);
    void outEndRaised();

private:
    void TimerGetVT90InfoTimer();
    void onReadDone(quint64 generation, const QByteArray &data, bool ok);
    void handleLine(const QString &line);
    bool numberAfter(const QString &line, int skip, int &number) const;

    DeviceLink &m_link;
    QTimer m_timer;
    bool m_polling = false;
    bool m_readPending = false;
    quint64 m_generation = 0;

    QString m_pendingText;
    bool m_eventPipeAlive = false;
    // The numbers of the last "in start" and "out start"; NotStored (which
    // keeps the title on the keyer) before the first, or after one without a number.
    int m_inStartNumber = MemoryNo::NotStored;
    int m_outStartNumber = MemoryNo::NotStored;
    std::unique_ptr<EventPipeReader> m_reader; // last: its answers use everything above
};
