#pragma once

#include "ProgramPaths.h"
#include "SortRule.h"
#include "StoreResult.h"

#include <QList>
#include <QString>
#include <QStringList>

// The demo's program folder: the four folders, vbmail.ini (beside them: the demo starts the
// program there), the account, the sort rules and the spam keywords, all written through the
// store's own classes so that every byte is where the program expects it.
class DemoProgramFolder {
public:
    struct Account {
        QString pop3Server;
        QString smtpServer;
        QString mailAddress;
        QString user;
        QString password;
    };

    explicit DemoProgramFolder(const ProgramPaths& paths);

    [[nodiscard]] StoreStatus layOut(const Account& account, const QList<SortRule>& rules, const QStringList& keywords) const;

    // The demo seed's rules.tsv: one rule a line, name TAB mail address, UTF-8.
    static StoreResult<QList<SortRule>> readRules(const QString& path);
    // The demo seed's keywords.txt: one keyword a line, UTF-8.
    static StoreResult<QStringList> readKeywords(const QString& path);

private:
    const ProgramPaths& paths_;
};
