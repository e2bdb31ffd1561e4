#include "app/SingleInstance.h"

#include "core/Waits.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QtEndian>

Q_LOGGING_CATEGORY(lcInstance, "titledeck.instance", QtWarningMsg)

namespace {

// A request: the byte count of what follows, then the paths as a QDataStream
// string list. The holder answers one byte once it has taken them.
constexpr quint32 kMaxRequestBytes = 1 << 20;
constexpr qsizetype kMaxPaths = 256;
constexpr char kTaken = 'T';

} // namespace

SingleInstance::SingleInstance(const QString &programFolder, QObject *parent) : QObject(parent)
{
    QDir().mkpath(programFolder);
    const QString folder = QDir(programFolder).absolutePath();
    m_lock =
        std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("VT90_TitleSoft.lock")));
    // Never treat a live holder's lock as stale, however long it runs.
    m_lock->setStaleLockTime(0);

    // The socket lives in the user's runtime folder (short paths, private to
    // the user); its name follows the program folder, as the lock does.
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    const QByteArray key =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    m_serverName =
        QDir(runtime).filePath(QStringLiteral("titledeck-%1.socket").arg(QLatin1String(key)));
}

SingleInstance::~SingleInstance()
{
    release();
}

bool SingleInstance::acquire()
{
    if (m_held)
        return true;
    m_held = m_lock->tryLock(0);
    return m_held;
}

void SingleInstance::release()
{
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    if (m_held)
        m_lock->unlock();
    m_held = false;
}

bool SingleInstance::listen(QString *why)
{
    if (!m_held)
        return false;
    if (m_server)
        return true;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock's holder listens: a socket still there is left from a
    // holder that ended without closing it.
    QLocalServer::removeServer(m_serverName);
    if (!m_server->listen(m_serverName)) {
        if (why)
            *why = m_server->errorString();
        qCWarning(lcInstance) << "files from later starts cannot be taken:"
                              << m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this,
                    [this, socket] { readRequest(socket); });
        }
    });
    return true;
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    if (socket->bytesAvailable() < 4)
        return;
    quint32 size = 0;
    socket->peek(reinterpret_cast<char *>(&size), 4);
    size = qFromBigEndian(size);
    if (size > kMaxRequestBytes) {
        qCWarning(lcInstance) << "request refused:" << size << "bytes";
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(size) + 4)
        return;
    socket->read(4);
    QDataStream in(socket->read(size));
    QStringList paths;
    in >> paths;
    if (in.status() != QDataStream::Ok || paths.size() > kMaxPaths) {
        qCWarning(lcInstance) << "request refused: damaged";
        socket->abort();
        return;
    }
    QStringList absolute;
    for (const QString &path : std::as_const(paths))
        if (QDir::isAbsolutePath(path))
            absolute.append(QDir::cleanPath(path));
    socket->write(&kTaken, 1);
    socket->flush();
    emit filesReceived(absolute);
}

bool SingleInstance::forward(const QStringList &paths, Waits &waits, int timeoutMs) const
{
    QByteArray body;
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out << paths;
    }
    QByteArray request(4, '\0');
    qToBigEndian(quint32(body.size()), request.data());
    request += body;

    QLocalSocket socket;
    bool answered = false;
    bool failed = false;
    QObject::connect(&socket, &QLocalSocket::connected, [&] { socket.write(request); });
    QObject::connect(&socket, &QLocalSocket::readyRead, [&] {
        answered = socket.read(1) == QByteArray(1, kTaken);
        failed = !answered;
        waits.wake();
    });
    QObject::connect(&socket, &QLocalSocket::errorOccurred, [&] {
        failed = true;
        waits.wake();
    });
    socket.connectToServer(m_serverName);
    waits.waitUntil([&] { return answered || failed; }, timeoutMs);
    if (!answered)
        qCWarning(lcInstance) << "the running instance did not take the files:"
                              << socket.errorString();
    return answered;
}
