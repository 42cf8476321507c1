#include "DemoProgramFolder.h"

#include "AccountProfile.h"
#include "ServerSettings.h"
#include "SortRuleBook.h"
#include "SpamKeywordList.h"

#include <QDir>
#include <QFile>

namespace {

StoreResult<QStringList> readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return StoreStatus::failure(QStringLiteral("「%1」を読めません（%2）。").arg(path, file.errorString()));
    QStringList lines;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).remove(u'\n');
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

} // namespace

DemoProgramFolder::DemoProgramFolder(const ProgramPaths& paths) : paths_(paths) {}

StoreStatus DemoProgramFolder::layOut(const Account& account, const QList<SortRule>& rules, const QStringList& keywords) const
{
    for (const QString& folder : {ProgramPaths::dataFolderName(), QStringLiteral("添付フォルダ"), QStringLiteral("■TextQuickSave"), QStringLiteral("Data")}) {
        // Open to the owner only, as the launcher lays out a user's folder.
        const QString path = paths_.programFolder() + u'/' + folder;
        if (!QDir().mkpath(path) || !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return StoreStatus::failure(QStringLiteral("フォルダ「%1」を作れません。").arg(folder));
    }
    ServerSettings settings;
    settings.Pop3Server = account.pop3Server;
    settings.SmtpServer = account.smtpServer;
    settings.MailAddress = account.mailAddress;
    if (StoreStatus written = settings.write(paths_.path(u"vbmail.ini")); !written.ok())
        return written;
    if (StoreStatus saved = AccountProfile(paths_).saveAccount(account.user, account.password); !saved.ok())
        return saved;

    const SortRuleBook book(paths_);
    for (qsizetype index = 0; index < rules.size(); ++index) {
        if (StoreStatus written = book.write(static_cast<int>(index) + 1, rules.at(index)); !written.ok())
            return written;
    }
    const SpamKeywordList list(paths_);
    for (const QString& keyword : keywords) {
        if (const StoreResult<int> added = list.AddKeyword(keyword); !added.ok())
            return added.status();
    }
    return StoreStatus::success();
}

StoreResult<QList<SortRule>> DemoProgramFolder::readRules(const QString& path)
{
    const StoreResult<QStringList> lines = readLines(path);
    if (!lines.ok())
        return lines.status();
    QList<SortRule> rules;
    for (const QString& line : lines.value()) {
        const qsizetype tab = line.indexOf(u'\t');
        SortRule rule;
        rule.Name = line.left(tab);
        rule.RuleAddress = tab < 0 ? QString() : line.mid(tab + 1);
        rules << rule;
    }
    return rules;
}

StoreResult<QStringList> DemoProgramFolder::readKeywords(const QString& path) { return readLines(path); }
