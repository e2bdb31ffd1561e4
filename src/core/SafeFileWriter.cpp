#include "core/SafeFileWriter.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

#include <cerrno>
#if defined(Q_OS_WIN)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcSafeFile, "titledeck.core.file", QtWarningMsg)

namespace {

// The temporary file's data on the disk before it takes the old file's name.
bool syncToDisk(QSaveFile &file, QString &why)
{
    const int fd = file.handle();
#if defined(Q_OS_WIN)
    const bool synced = fd >= 0 && _commit(fd) == 0;
#else
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
#endif
    if (!synced)
        why = qt_error_string(errno);
    return synced;
}

// The rename itself on the disk; it has happened already, so a failure here is
// only logged.
void syncFolder(const QString &path)
{
#if !defined(Q_OS_WIN)
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0)
        qCInfo(lcSafeFile) << "folder not synced:" << folder << qt_error_string(errno);
    if (fd >= 0)
        ::close(fd);
#else
    Q_UNUSED(path);
#endif
}

} // namespace

namespace SafeFileWriter {

bool replace(const QString &path, QByteArrayView bytes, QString *why)
{
    QString reason;
    QSaveFile file(path);
    // Unbuffered: a buffered QSaveFile reports the whole size written while the
    // real write fails later (a full disk), and commit() then still renames the
    // short file over the old one.
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (qsizetype done = 0; written && done < bytes.size();) {
        // A short write is followed by another, which then reports the reason.
        const qint64 n = file.write(bytes.data() + done, bytes.size() - done);
        written = n > 0;
        done += written ? qsizetype(n) : 0;
    }
    if (!written)
        reason = file.errorString();
    else if (!syncToDisk(file, reason))
        written = false;
    if (written && !file.commit()) {
        reason = file.errorString();
        written = false;
    } else if (!written && file.isOpen()) {
        // The temporary file is removed; the old file was never touched.
        file.cancelWriting();
        file.commit();
    }
    if (!written) {
        qCInfo(lcSafeFile) << "cannot write" << path << reason;
        if (why)
            *why = reason;
        return false;
    }
    syncFolder(path);
    return true;
}

} // namespace SafeFileWriter
