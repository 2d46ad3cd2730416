#include "app/SingleInstance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace quillbox::app {
namespace {

constexpr int kAnswerMilliseconds = 3000;

QString runtimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists()) {
        return QString::fromLocal8Bit(runtime);
    }
    return QDir::tempPath();
}

QString socketPathFor(const QString& key) {
    const QByteArray digest =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return runtimeFolder() +
           QStringLiteral("/quillbox-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest));
}

}  // namespace

SingleInstance::SingleInstance(const QString& key)
    : m_socketPath(socketPathFor(key)), m_lock(m_socketPath + QStringLiteral(".lock")) {
    m_lock.setStaleLockTime(0);  // only a lock whose process is gone is stale
}

SingleInstance::~SingleInstance() {
    if (m_server) {
        m_server->close();
    }
}

SingleInstance::Claim SingleInstance::claim(const QString& message, int waitMilliseconds) {
    if (m_lock.tryLock(0)) {
        QLocalServer::removeServer(m_socketPath);  // left by a program that died
        m_server = std::make_unique<QLocalServer>();
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (m_server->listen(m_socketPath)) {
            connect(m_server.get(), &QLocalServer::newConnection, this,
                    &SingleInstance::takeConnection);
        }
        return {Outcome::First, {}};
    }
    // The running program may still be starting: try for a while.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kAnswerMilliseconds) {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(500)) {
            socket.write((message + QLatin1Char('\n')).toUtf8());
            socket.waitForBytesWritten(1000);
            // The running program answers one line once it has done the work.
            QElapsedTimer answer;
            answer.start();
            while (!socket.canReadLine() && answer.elapsed() < waitMilliseconds &&
                   socket.state() == QLocalSocket::ConnectedState) {
                socket.waitForReadyRead(100);
            }
            if (socket.canReadLine()) {
                return {Outcome::Told, QString::fromUtf8(socket.readLine()).trimmed()};
            }
            return {Outcome::Unanswered, {}};
        }
        QThread::msleep(100);
    }
    return {Outcome::Unanswered, {}};
}

void SingleInstance::takeConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QString line = QString::fromUtf8(socket->readLine()).trimmed();
                QString reply = onMessage ? onMessage(line) : QStringLiteral("ok");
                reply.replace(QLatin1Char('\n'), QLatin1Char(' '));
                socket->write((reply + QLatin1Char('\n')).toUtf8());
                socket->flush();
            }
        });
    }
}

}  // namespace quillbox::app
