#include "TestMailServers.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr uid_t MailUid = 5000;
constexpr gid_t MailGid = 5000;

QByteArray local(const QString& path) { return QFile::encodeName(path); }

bool makeOwnedDirectory(const QString& path)
{
    if (!QDir().mkpath(path))
        return false;
    return ::chown(local(path).constData(), MailUid, MailGid) == 0;
}

bool writeOwnedFile(const QString& path, std::string_view bytes)
{
    const int fd = ::open(local(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (result <= 0) {
            ::close(fd);
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    const bool ok = ::fsync(fd) == 0 && ::fchown(fd, MailUid, MailGid) == 0;
    return ::close(fd) == 0 && ok;
}

QStringList messageFiles(const QString& maildir)
{
    QFileInfoList found;
    for (const QString& sub : {QStringLiteral("new"), QStringLiteral("cur")})
        found += QDir(maildir + u'/' + sub).entryInfoList(QDir::Files);
    std::sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) { return a.fileName() < b.fileName(); });
    QStringList paths;
    for (const QFileInfo& info : found)
        paths << info.absoluteFilePath();
    return paths;
}

QString defaultStateDirectory() { return QStringLiteral(NEMUROA_MAIL_SERVERS_STATE); }

// Whether the server script ran to success. It bounds each of its own waits on a server, however
// long a loaded machine makes them, so it is waited for without a limit of its own.
bool finished(QProcess& script)
{
    return script.waitForFinished(-1) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

} // namespace

TestMailbox::TestMailbox(QString user, QString password, QString maildir)
    : user_(std::move(user)), password_(std::move(password)), maildir_(std::move(maildir))
{
}

bool TestMailbox::deposit(std::string_view raw) const
{
    static std::atomic<int> counter = 0;
    // Maildir names sort by delivery: a zero-padded clock and counter keep deposits in order.
    const QString name = QStringLiteral("%1.%2_%3.test")
                             .arg(QDateTime::currentMSecsSinceEpoch(), 15, 10, QChar(u'0'))
                             .arg(::getpid())
                             .arg(counter++, 6, 10, QChar(u'0'));
    const QString temporary = maildir_ + QStringLiteral("/tmp/") + name;
    if (!writeOwnedFile(temporary, raw))
        return false;
    return ::rename(local(temporary).constData(), local(maildir_ + QStringLiteral("/new/") + name).constData()) == 0;
}

int TestMailbox::count() const { return static_cast<int>(messageFiles(maildir_).size()); }

std::vector<std::string> TestMailbox::messages() const
{
    std::vector<std::string> all;
    for (const QString& path : messageFiles(maildir_)) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            all.push_back(file.readAll().toStdString());
    }
    return all;
}

void TestMailbox::clear() const
{
    for (const QString& path : messageFiles(maildir_))
        QFile::remove(path);
    QDir(deliveryFolder()).removeRecursively();
}

QString TestMailbox::deliveryFolder() const { return maildir_ + QStringLiteral("/../sent-raw"); }

std::vector<TestMailbox::Delivery> TestMailbox::deliveries() const
{
    std::vector<Delivery> found;
    for (const QFileInfo& info : QDir(deliveryFolder()).entryInfoList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        QFile raw(info.absoluteFilePath());
        QFile envelope(info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".json"));
        if (!raw.open(QIODevice::ReadOnly) || !envelope.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject described = QJsonDocument::fromJson(envelope.readAll()).object();
        Delivery delivery{raw.readAll().toStdString(), described.value(QStringLiteral("mail_from")).toString(), {}, {}};
        for (const QJsonValue& recipient : described.value(QStringLiteral("rcpt_tos")).toArray())
            delivery.recipients.append(recipient.toString());
        for (const QJsonValue& option : described.value(QStringLiteral("mail_options")).toArray())
            delivery.mailOptions.append(option.toString());
        found.push_back(std::move(delivery));
    }
    return found;
}

namespace {

// cp -a, its complaints about files that vanished under it dropped.
bool copyTree(const QString& from, const QString& to)
{
    QProcess copy;
    copy.setStandardErrorFile(QProcess::nullDevice());
    copy.start(QStringLiteral("cp"), {QStringLiteral("-a"), from, to});
    return copy.waitForFinished(-1) && copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0;
}

} // namespace

bool TestMailbox::saveTo(const QString& folder) const
{
    // Dovecot may still be closing the session of a client that vanished: its lock and temporary
    // files come and go meanwhile. The copy is made again until none went away under it, and a
    // lock caught in it is dropped, or the restored mailbox would wait for a holder that is gone.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (!QDir(folder).removeRecursively())
            return false;
        if (!copyTree(maildir_, folder))
            continue;
        for (const QString& lock : QDir(folder).entryList({QStringLiteral("*.lock")}, QDir::Files | QDir::Hidden))
            QFile::remove(folder + u'/' + lock);
        return true;
    }
    return false;
}

bool TestMailbox::restoreFrom(const QString& folder) const
{
    return QDir(maildir_).removeRecursively() && copyTree(folder, maildir_);
}

const TestMailServers& TestMailServers::shared()
{
    static const TestMailServers servers(defaultStateDirectory());
    return servers;
}

TestMailServers::TestMailServers(const QString& stateDirectory) : stateDirectory_(stateDirectory)
{
    QFile file(stateDirectory + QStringLiteral("/servers.env"));
    if (!file.open(QIODevice::ReadOnly)) {
        problem_ = QStringLiteral("the mail_servers fixture has not run (no %1)").arg(file.fileName());
        return;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (key == u"RUNTIME")
            runtime_ = value;
        else if (key == u"POP3_PORT")
            pop3Port_ = value.toInt();
        else if (key == u"POP3S_PORT")
            pop3sPort_ = value.toInt();
        else if (key == u"POP3_NOTLS_PORT")
            pop3NoTlsPort_ = value.toInt();
        else if (key == u"SMTP_PORT")
            smtpPort_ = value.toInt();
        else if (key == u"SMTPS_PORT")
            smtpsPort_ = value.toInt();
        else if (key == u"CA_FILE")
            caFile_ = value;
        else if (key == u"PASSWORD")
            password_ = value;
        else if (key == u"MAIL_ROOT")
            mailRoot_ = value;
        else if (key == u"SCRIPT")
            script_ = value;
    }
    if (pop3Port_ == 0 || smtpPort_ == 0 || password_.isEmpty() || mailRoot_.isEmpty())
        problem_ = QStringLiteral("%1 is incomplete").arg(file.fileName());
}

QString TestMailServers::pop3Server() const { return QStringLiteral("127.0.0.1:%1").arg(pop3Port_); }
QString TestMailServers::pop3sServer() const { return QStringLiteral("pop3s://127.0.0.1:%1").arg(pop3sPort_); }

QString TestMailServers::pop3NoTlsServer() const { return QStringLiteral("127.0.0.1:%1").arg(pop3NoTlsPort_); }
QString TestMailServers::smtpServer() const { return QStringLiteral("127.0.0.1:%1").arg(smtpPort_); }
QString TestMailServers::smtpsServer() const { return QStringLiteral("smtps://127.0.0.1:%1").arg(smtpsPort_); }

TestMailbox TestMailServers::createMailbox(const QString& name) const
{
    const QString home = mailRoot_ + u'/' + name;
    const QString maildir = home + QStringLiteral("/Maildir");
    for (const QString& folder : {home, maildir, maildir + QStringLiteral("/new"), maildir + QStringLiteral("/cur"),
             maildir + QStringLiteral("/tmp")})
        makeOwnedDirectory(folder);

    TestMailbox mailbox(name, password_, maildir);
    mailbox.clear();
    return mailbox;
}

PrivateDovecot::PrivateDovecot(const TestMailServers& servers) : servers_(servers)
{
    QDir().mkpath(servers.runtimeDirectory() + QStringLiteral("/private"));
    QByteArray pattern = local(servers.runtimeDirectory() + QStringLiteral("/private/dovecot.XXXXXX"));
    if (::mkdtemp(pattern.data()))
        directory_ = QFile::decodeName(pattern);
}

PrivateDovecot::~PrivateDovecot() { (void)stop(); }

bool PrivateDovecot::start()
{
    if (directory_.isEmpty())
        return false;
    QStringList arguments = {servers_.script(), QStringLiteral("start-dovecot"), servers_.stateDirectory(), directory_};
    if (pop3Port_ != 0)
        arguments << QString::number(pop3Port_) << QString::number(pop3sPort_);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("bash"), arguments);
    if (!finished(process))
        return false;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("POP3_PORT="))
            pop3Port_ = line.mid(10).toInt();
        else if (line.startsWith("POP3S_PORT="))
            pop3sPort_ = line.mid(11).toInt();
    }
    return pop3Port_ != 0;
}

bool PrivateDovecot::stop()
{
    if (directory_.isEmpty())
        return false;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("bash"), {servers_.script(), QStringLiteral("stop-dovecot"), servers_.stateDirectory(), directory_});
    return finished(process);
}

QString PrivateDovecot::pop3Server() const { return QStringLiteral("127.0.0.1:%1").arg(pop3Port_); }
QString PrivateDovecot::pop3sServer() const { return QStringLiteral("pop3s://127.0.0.1:%1").arg(pop3sPort_); }
