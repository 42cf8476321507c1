#include "RunningCopyLink.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr qint64 MaxLinkBytes = 64 * 1024;

QString canonicalFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
}

} // namespace

RunningCopyLink::RunningCopyLink(QString programFolder, QObject* parent) : QObject(parent), programFolder_(std::move(programFolder)) {}

RunningCopyLink::~RunningCopyLink() = default;

QString RunningCopyLink::serverName(const QString& programFolder)
{
    const QByteArray key = QByteArray::number(static_cast<qulonglong>(::getuid())) + '\0' + canonicalFolder(programFolder).toUtf8();
    return QStringLiteral("nemuroa-") + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24));
}

bool RunningCopyLink::handOver(const QString& programFolder, const QString& mailto, int timeoutMilliseconds)
{
    QLocalSocket socket;
    socket.connectToServer(serverName(programFolder));
    if (!socket.waitForConnected(timeoutMilliseconds))
        return false;
    QByteArray line = mailto.toUtf8();
    line.replace('\n', ' ').append('\n');
    socket.write(line);
    // Once written, the line waits in the socket for a copy busy in a long receive session.
    if (!socket.waitForBytesWritten(timeoutMilliseconds))
        return false;
    socket.disconnectFromServer();
    return true;
}

bool RunningCopyLink::listen()
{
    const QString name = serverName(programFolder_);
    // Listening would put a new socket in place of a running copy's, so ask first.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000))
        return false;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name)) {
        if (server_->serverError() != QAbstractSocket::AddressInUseError)
            return false;
        QLocalServer::removeServer(name);
        if (!server_->listen(name))
            return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &RunningCopyLink::acceptConnections);
    return true;
}

void RunningCopyLink::acceptConnections()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto takeLine = [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxLinkBytes)
                    socket->abort();
                return;
            }
            const QString mailto = QString::fromUtf8(socket->readLine(MaxLinkBytes)).trimmed();
            socket->disconnectFromServer();
            emit mailtoReceived(mailto);
        };
        connect(socket, &QLocalSocket::readyRead, this, takeLine);
        takeLine();
    }
}
