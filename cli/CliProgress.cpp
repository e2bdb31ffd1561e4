#include "CliProgress.h"

#include "CliCommand.h"
#include "device/TransferJob.h"
#include "device/TransferSide.h"

#include <algorithm>
#include <unistd.h>

CliProgress::CliProgress(TransferJob &job, QObject *parent)
    : QObject(parent), m_terminal(isatty(STDERR_FILENO))
{
    connect(&job, &TransferJob::statusChanged, this, [this](const QString &status) {
        m_status = status.simplified();
        if (m_terminal) {
            draw();
        } else {
            cliErr() << m_status << "\n";
            cliErr().flush();
        }
    });
    if (m_terminal)
        connect(&job.side(), &TransferSide::progressChanged, this, [this](qint64, int percent) {
            if (percent != m_percent) {
                m_percent = std::clamp(percent, 0, 100);
                draw();
            }
        });
}

CliProgress::~CliProgress()
{
    if (m_drawn) {
        cliErr() << "\n";
        cliErr().flush();
    }
}

void CliProgress::draw()
{
    constexpr int width = 30;
    const int filled = m_percent * width / 100;
    cliErr() << "\r[" << QString(filled, QLatin1Char('#'))
             << QString(width - filled, QLatin1Char(' ')) << "] " << qSetFieldWidth(3) << m_percent
             << qSetFieldWidth(0) << "% " << m_status << "\x1b[K";
    cliErr().flush();
    m_drawn = true;
}
