#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// The line between copies of the program started on the same program folder by the same user: the
// first copy listens, and a later start hands its mailto: link over and ends, so that two copies
// never work on the same files. The channel is a local socket named from the folder, in a folder
// only the user can reach (socketFolder()); each side also checks that the other runs as the same
// user. The socket is removed when the copy ends.
class RunningCopyLink : public QObject {
    Q_OBJECT
public:
    RunningCopyLink(QString programFolder, QString socketFolder, QObject* parent = nullptr);
    ~RunningCopyLink() override;

    // The folder for the socket: runtimeFolder ($XDG_RUNTIME_DIR) when it is a folder of the
    // user's own that no one else may enter; otherwise the folder "nemuroa-UID" in
    // temporaryFolder, made with mode 0700 and used only when it is, without following a link, a
    // folder of the user's own that no one else may enter, in a parent where no other user can
    // replace it. Empty when there is no such folder: the copy then runs without the hand-over.
    static QString socketFolder(const QString& runtimeFolder, const QString& temporaryFolder);

    static QString serverName(const QString& socketFolder, const QString& programFolder);

    // Gives the link (may be empty: the running copy then only comes to the front) to a copy
    // running on the folder; true once that copy has confirmed it.
    [[nodiscard]] static bool handOver(
        const QString& socketFolder, const QString& programFolder, const QString& mailto, int timeoutMilliseconds = 3000);

    // Gives an import of the sources at paths (absolute) to a copy running on the folder, which
    // runs it in its import window; true once that copy has taken it.
    [[nodiscard]] static bool handOverImport(
        const QString& socketFolder, const QString& programFolder, const QStringList& paths, int timeoutMilliseconds = 3000);

    // Starts answering later starts. A socket left behind by a copy that crashed is replaced;
    // false when a running copy answers on it or the socket cannot be made.
    [[nodiscard]] bool listen();
    // Stops answering and removes the socket (also done on destruction).
    void close();

signals:
    // A later start handed this over (empty when it had no mailto: link).
    void mailtoReceived(const QString& mailto);
    // A later start handed over an import of these sources.
    void importReceived(const QStringList& paths);

private:
    void acceptConnections();
    static bool sendLine(const QString& socketFolder, const QString& programFolder, QByteArray line, int timeoutMilliseconds);

    QString programFolder_;
    QString socketFolder_;
    QLocalServer* server_ = nullptr;
};
