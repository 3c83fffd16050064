#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace corvane {

using namespace Qt::StringLiterals;

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_socketPath(QDir(folder).filePath(u"corvane-setup.socket"_s))
    , m_lock(QDir(folder).filePath(u"corvane-setup.lock"_s))
{
    if (folder.isEmpty() || QDir::isRelativePath(folder)) {
        m_first = true;
        return;
    }
    // Never by age: a wizard may stay open for hours. A dead holder is still detected by its pid.
    m_lock.setStaleLockTime(0);
    if (!m_lock.tryLock(0) && m_lock.error() == QLockFile::LockFailedError)
        return;
    m_first = true;
    if (!m_lock.isLocked())
        return;

    // Ours now: whatever socket is left there belongs to a copy that is gone.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            socket->disconnectFromServer();
            socket->deleteLater();
            emit showRequested();
        }
    });
    m_server->listen(m_socketPath);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

bool SingleInstance::askFirstToShow(std::chrono::milliseconds bound) const
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    const bool reached = socket.waitForConnected(static_cast<int>(bound.count()));
    socket.abort();
    return reached;
}

} // namespace corvane
