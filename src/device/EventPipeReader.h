#pragma once

#include <QByteArray>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class PipeChannel;
class QObject;

// Reads the event pipe on a thread of its own, so that a device that is slow
// to answer never holds up the user-interface thread. Each request reads up
// to 64 bytes; the answer is queued to the receiver's thread. A request made
// while one is waiting replaces it. The thread ends, after the read in
// progress, when the reader goes.
class EventPipeReader
{
public:
    static constexpr int kReadSize = 64;
    using Answer = std::function<void(quint64 generation, const QByteArray &data, bool ok)>;

    // answer runs on receiver's thread; the receiver must outlive the reader.
    EventPipeReader(PipeChannel &pipe, QObject &receiver, Answer answer);
    EventPipeReader(const EventPipeReader &) = delete;
    EventPipeReader &operator=(const EventPipeReader &) = delete;
    ~EventPipeReader();

    void read(quint64 generation, int timeoutMilliseconds);

private:
    struct Request
    {
        quint64 generation;
        int timeoutMilliseconds;
    };

    void run();

    PipeChannel &m_pipe;
    QObject &m_receiver;
    Answer m_answer;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Request> m_request;
    bool m_stop = false;
    std::thread m_thread; // last: starts once everything it uses is set up
};
