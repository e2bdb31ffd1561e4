#pragma once

#include <QString>
#include <QTemporaryDir>

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at fresh temporary folders for the
// lifetime of the object, so a test never touches the user's settings or data.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }
    QString dataHome() const { return m_dir.path() + QStringLiteral("/data"); }
    // A path below the temporary root.
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    // A test's wait scale stretched by TD_TEST_WAIT_FACTOR (default 1), for
    // runs that slow every thread down, such as ThreadSanitizer's.
    static double waitScale(double scale);

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
    QByteArray m_oldData;
};
