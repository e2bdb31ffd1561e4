#include "device/DeviceEventReader.h"

#include "core/MemoryNo.h"
#include "core/Waits.h"
#include "device/DeviceLink.h"
#include "device/DeviceLogging.h"
#include "device/EventPipeReader.h"

DeviceEventReader::DeviceEventReader(DeviceLink &link, QObject *parent)
    : QObject(parent), m_link(link)
{
    m_timer.setInterval(kTickMs);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DeviceEventReader::TimerGetVT90InfoTimer);

    m_reader = std::make_unique<EventPipeReader>(
        link.EventPipe(), *this, [this](quint64 generation, const QByteArray &data, bool ok) {
            onReadDone(generation, data, ok);
        });

    connect(&link, &DeviceLink::eventPollingStartRequested, this,
            &DeviceEventReader::StartEventPolling);
    connect(&link, &DeviceLink::eventPollingStopRequested, this,
            &DeviceEventReader::StopEventPolling);
}

DeviceEventReader::~DeviceEventReader()
{
    m_polling = false;
    m_timer.stop();
    m_reader.reset(); // answers still queued are dropped with this object
}

void DeviceEventReader::StartEventPolling()
{
    // The event pipe was opened afresh with this connection.
    m_eventPipeAlive = false;
    m_pendingText.clear();
    m_polling = true;
    ++m_generation;
    m_readPending = false;
    m_timer.start();
}

void DeviceEventReader::StopEventPolling()
{
    m_polling = false;
    ++m_generation;
    m_timer.stop();
}

void DeviceEventReader::TimerGetVT90InfoTimer()
{
    if (!m_polling || m_readPending)
        return;
    if (!m_link.EventPipe().isOpen())
        return; // stays off until the next connect
    m_readPending = true;
    m_reader->read(m_generation, m_link.waits().scaled(kReadTimeoutMs));
}

void DeviceEventReader::onReadDone(quint64 generation, const QByteArray &data, bool ok)
{
    if (generation != m_generation)
        return; // answer to a read from before the last stop or start
    m_readPending = false;
    if (ok && !data.isEmpty()) {
        processRead(data);
        m_link.waits().wake(); // a wait on another thread may be for the keyer's lines
    }
    if (m_polling)
        m_timer.start();
}

void DeviceEventReader::processRead(const QByteArray &data)
{
    m_eventPipeAlive = true;
    int start = 0;
    int i = 0;
    for (; i < data.size(); ++i) {
        const char c = data[i];
        if (c == '\r') {
            const QString line = m_pendingText + QString::fromLatin1(data.mid(start, i - start));
            m_pendingText.clear();
            start = i + 1;
            handleLine(line);
        } else if (c == '\0') {
            break;
        }
    }
    // Whatever follows the last carriage return is the start of the next line,
    // whether the read ended with a zero byte or filled the whole buffer.
    if (i > start)
        m_pendingText += QString::fromLatin1(data.mid(start, i - start));
    if (m_pendingText.size() > kMaxPendingText)
        m_pendingText = m_pendingText.right(kMaxPendingText);
}

bool DeviceEventReader::numberAfter(const QString &line, int skip, int &number) const
{
    bool ok = false;
    const int value = line.mid(skip).trimmed().toInt(&ok, 10);
    // A memory number is 16 bits; anything else is no number.
    ok = ok && value >= 0 && value <= 0xFFFF;
    if (ok)
        number = value;
    return ok;
}

void DeviceEventReader::handleLine(const QString &line)
{
    emit lineReceived(line);
    int number = 0;
    if (line.contains(QLatin1String("in start"))) {
        if (!numberAfter(line, 15, number)) {
            qCWarning(lcDevice) << "event line without a memory number ignored:" << line;
            // The "in end" that follows keeps the title the keyer knows.
            m_inStartNumber = MemoryNo::NotStored;
            return;
        }
        m_inStartNumber = number;
        emit inStartRaised(number);
        emit SetDskState(DskState::OnRunning, number);
    } else if (line.contains(QLatin1String("in end"))) {
        emit inEndRaised();
        emit SetDskState(DskState::Showing, m_inStartNumber);
    } else if (line.contains(QLatin1String("out start"))) {
        if (!numberAfter(line, 16, number)) {
            qCWarning(lcDevice) << "event line without a memory number ignored:" << line;
            m_outStartNumber = MemoryNo::NotStored;
            return;
        }
        m_outStartNumber = number;
        emit outStartRaised(number);
        emit SetDskState(DskState::OffRunning, number);
    } else if (line.contains(QLatin1String("out end"))) {
        emit outEndRaised();
        emit SetDskState(DskState::Ended, MemoryNo::None);
    }
}
