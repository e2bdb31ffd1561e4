#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <memory>

namespace {

QtMessageHandler quiet = [](QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "fatal: %s\n", qPrintable(text));
        std::abort();
    }
};

QTemporaryDir &scratch()
{
    // In TMPDIR when it is set (scripts/fuzz.sh sets a folder of its own, removed
    // afterwards, so that a target ended by a finding leaves nothing behind),
    // else in /dev/shm, which keeps the many small writes off the disk.
    const bool shm =
        !qEnvironmentVariableIsSet("TMPDIR") && QDir(QStringLiteral("/dev/shm")).exists();
    static QTemporaryDir dir((shm ? QStringLiteral("/dev/shm") : QDir::tempPath()) +
                             QStringLiteral("/titledeck-fuzz-XXXXXX"));
    if (!dir.isValid())
        FuzzSupport::broken("scratch folder", __FILE__, __LINE__);
    return dir;
}

} // namespace

namespace FuzzSupport {

void start(int *argc, char ***argv)
{
    static std::unique_ptr<QCoreApplication> app(new QCoreApplication(*argc, *argv));
    qInstallMessageHandler(quiet);
    QLoggingCategory::setFilterRules(QStringLiteral("*=false"));
}

QString scratchFile(const QString &name)
{
    return scratch().filePath(name);
}

void writeFile(const QString &path, const std::uint8_t *data, std::size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        broken("scratch file written", __FILE__, __LINE__);
}

} // namespace FuzzSupport
