#pragma once

#include <QByteArray>
#include <QObject>

class PipeChannel;

// Reads the event pipe on a thread of its own, so that a device that is slow
// to answer never holds up the user-interface thread. Each request reads up
// to 64 bytes and answers with readDone on the requester's thread.
class EventPipeReader : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadSize = 64;

    explicit EventPipeReader(PipeChannel &pipe) : m_pipe(pipe) {}

public slots:
    void read(quint64 generation, int timeoutMilliseconds);

signals:
    void readDone(quint64 generation, const QByteArray &data, bool ok);

private:
    PipeChannel &m_pipe;
};
