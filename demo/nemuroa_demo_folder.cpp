// Lays out the demo's program folder from the demo seed (rules.tsv, keywords.txt) and the demo
// servers' addresses; scripts/demo.sh runs it.
//   nemuroa-demo-folder FOLDER SEED_DIR POP3_SERVER SMTP_SERVER MAIL_ADDRESS USER PASSWORD
#include "DemoProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QTextStream errors(stderr);
    if (arguments.size() != 8) {
        errors << "usage: nemuroa-demo-folder FOLDER SEED_DIR POP3_SERVER SMTP_SERVER MAIL_ADDRESS USER PASSWORD" << Qt::endl;
        return 2;
    }
    if (!QDir().mkpath(arguments.at(1))) {
        errors << "cannot make " << arguments.at(1) << Qt::endl;
        return 1;
    }
    const ProgramPaths paths(QDir(arguments.at(1)).absolutePath());
    const QString seed = arguments.at(2);
    const auto rules = DemoProgramFolder::readRules(seed + QStringLiteral("/rules.tsv"));
    const auto keywords = DemoProgramFolder::readKeywords(seed + QStringLiteral("/keywords.txt"));
    if (!rules.ok() || !keywords.ok()) {
        errors << (rules.ok() ? keywords.error() : rules.error()) << Qt::endl;
        return 1;
    }
    const DemoProgramFolder::Account account{arguments.at(3), arguments.at(4), arguments.at(5), arguments.at(6), arguments.at(7)};
    if (const StoreStatus laidOut = DemoProgramFolder(paths).layOut(account, rules.value(), keywords.value()); !laidOut.ok()) {
        errors << laidOut.error() << Qt::endl;
        return 1;
    }
    return 0;
}
