#include "RunningCopyLink.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MaxLinkBytes = 64 * 1024;
// The line of an import begins with this word, which no mailto: link is.
const QByteArray ImportPrefix = QByteArrayLiteral("import");

QString canonicalFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(folder).absolutePath()) : canonical;
}

// A folder, not a link to one, of this user's own, that no one else may enter.
bool isPrivateFolder(const QString& folder)
{
    struct stat info {};
    return !folder.isEmpty() && ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// A folder where only its owner can remove or rename what it holds: not writable by others, or
// sticky, as a shared temporary folder is.
bool keepsItsEntries(const QString& folder)
{
    struct stat info {};
    return ::stat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode)
        && ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (info.st_mode & S_ISVTX) != 0);
}

// Whether the process at the other end of a connected socket runs as this user.
bool peerIsThisUser(const QLocalSocket& socket)
{
    struct ucred peer {};
    socklen_t length = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0
        && peer.uid == ::geteuid();
}

} // namespace

RunningCopyLink::RunningCopyLink(QString programFolder, QString socketFolder, QObject* parent)
    : QObject(parent), programFolder_(std::move(programFolder)), socketFolder_(std::move(socketFolder))
{
}

RunningCopyLink::~RunningCopyLink() { close(); }

QString RunningCopyLink::socketFolder(const QString& runtimeFolder, const QString& temporaryFolder)
{
    if (isPrivateFolder(runtimeFolder))
        return runtimeFolder;
    if (temporaryFolder.isEmpty() || !keepsItsEntries(temporaryFolder))
        return {};
    const QString folder = QDir(temporaryFolder).filePath(QStringLiteral("nemuroa-%1").arg(::geteuid()));
    // One another user made first, or one made wider, is never used.
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return isPrivateFolder(folder) ? folder : QString();
}

QString RunningCopyLink::serverName(const QString& socketFolder, const QString& programFolder)
{
    const QByteArray key = QByteArray::number(static_cast<qulonglong>(::geteuid())) + '\0' + canonicalFolder(programFolder).toUtf8();
    return QDir(socketFolder).filePath(
        QStringLiteral("nemuroa-") + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(24)));
}

bool RunningCopyLink::handOver(const QString& socketFolder, const QString& programFolder, const QString& mailto, int timeoutMilliseconds)
{
    QByteArray line = mailto.toUtf8();
    line.replace('\n', ' ');
    return sendLine(socketFolder, programFolder, line, timeoutMilliseconds);
}

bool RunningCopyLink::handOverImport(const QString& socketFolder, const QString& programFolder, const QStringList& paths, int timeoutMilliseconds)
{
    // Each path percent-encoded, so that no character of a file name can end the line or the path.
    QByteArray line = ImportPrefix;
    for (const QString& path : paths)
        line += ' ' + QUrl::toPercentEncoding(path);
    if (line.size() >= MaxLinkBytes)
        return false;
    return sendLine(socketFolder, programFolder, line, timeoutMilliseconds);
}

bool RunningCopyLink::sendLine(const QString& socketFolder, const QString& programFolder, QByteArray line, int timeoutMilliseconds)
{
    if (!isPrivateFolder(socketFolder))
        return false;
    QLocalSocket socket;
    socket.connectToServer(serverName(socketFolder, programFolder));
    if (!socket.waitForConnected(timeoutMilliseconds))
        return false;
    // The link goes to no one but the user's own copy.
    if (!peerIsThisUser(socket)) {
        socket.abort();
        return false;
    }
    socket.write(line.append('\n'));
    // Once written, the line waits in the socket for a copy busy in a long receive session.
    if (!socket.waitForBytesWritten(timeoutMilliseconds))
        return false;
    socket.disconnectFromServer();
    return true;
}

bool RunningCopyLink::listen()
{
    if (!isPrivateFolder(socketFolder_))
        return false;
    const QString name = serverName(socketFolder_, programFolder_);
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

void RunningCopyLink::close()
{
    if (server_)
        server_->close();
}

void RunningCopyLink::acceptConnections()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsThisUser(*socket)) {
            socket->abort();
            continue;
        }
        const auto takeLine = [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxLinkBytes)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(MaxLinkBytes).trimmed();
            socket->disconnectFromServer();
            if (line.startsWith(ImportPrefix + ' ')) {
                QStringList paths;
                for (const QByteArray& path : line.mid(ImportPrefix.size() + 1).split(' '))
                    paths << QUrl::fromPercentEncoding(path);
                emit importReceived(paths);
            } else {
                emit mailtoReceived(QString::fromUtf8(line));
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, takeLine);
        takeLine();
    }
}
