#pragma once

#include <QObject>
#include <QString>

class TransferJob;

// A transfer's progress on standard error while a device command runs: on a
// terminal one line redrawn in place (a bar, its percent and the status
// text); otherwise one line each time the status text changes (one per frame).
class CliProgress : public QObject
{
    Q_OBJECT

public:
    explicit CliProgress(TransferJob &job, QObject *parent = nullptr);
    // Ends the line redrawn in place.
    ~CliProgress() override;

private:
    void draw();

    bool m_terminal;
    QString m_status;
    int m_percent = 0;
    bool m_drawn = false;
};
