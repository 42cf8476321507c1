#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// The line between copies of the program started on the same program folder by the same user: the
// first copy listens, and a later start hands its mailto: link over and ends, so that two copies
// never work on the same files. The channel is a local socket named from the folder and the user,
// open to that user only.
class RunningCopyLink : public QObject {
    Q_OBJECT
public:
    explicit RunningCopyLink(QString programFolder, QObject* parent = nullptr);
    ~RunningCopyLink() override;

    static QString serverName(const QString& programFolder);

    // Gives the link (may be empty: the running copy then only comes to the front) to a copy
    // running on the folder; true once that copy has confirmed it.
    [[nodiscard]] static bool handOver(const QString& programFolder, const QString& mailto, int timeoutMilliseconds = 3000);

    // Starts answering later starts. A socket left behind by a copy that crashed is replaced;
    // false when a running copy answers on it or the socket cannot be made.
    [[nodiscard]] bool listen();

signals:
    // A later start handed this over (empty when it had no mailto: link).
    void mailtoReceived(const QString& mailto);

private:
    void acceptConnections();

    QString programFolder_;
    QLocalServer* server_ = nullptr;
};
