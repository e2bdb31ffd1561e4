#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT (a desktop session that ends, `kill`, a closed
// terminal) reach the program as a signal of this object, delivered by the
// event loop like any other event, so that the window can write what a normal
// end writes. A second such signal while the first waits (a window that no
// longer takes events) ends the process at once.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // Ends the process by `signalNumber`, as if it had never been caught, so
    // that whoever started it sees how it ended.
    [[noreturn]] static void endBy(int signalNumber);

signals:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
