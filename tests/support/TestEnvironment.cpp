#include "support/TestEnvironment.h"

#include <QDir>
#include <QStandardPaths>

TestEnvironment::TestEnvironment()
    : m_oldConfig(qgetenv("XDG_CONFIG_HOME")), m_oldData(qgetenv("XDG_DATA_HOME"))
{
    QDir().mkpath(configHome());
    QDir().mkpath(dataHome());
    qputenv("XDG_CONFIG_HOME", configHome().toUtf8());
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    QStandardPaths::setTestModeEnabled(false);
}

TestEnvironment::~TestEnvironment()
{
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
    qputenv("XDG_DATA_HOME", m_oldData);
}

double TestEnvironment::waitScale(double scale)
{
    bool ok = false;
    const double factor = qEnvironmentVariable("TD_TEST_WAIT_FACTOR").toDouble(&ok);
    return ok && factor > 0 ? scale * factor : scale;
}
