#include "CommandLineWork.h"

#include "MailImport.h"
#include "MboxExport.h"
#include "ProgramFolderLock.h"
#include "RecordLayouts.h"
#include "RunningCopyLink.h"
#include "ServerSettings.h"
#include "SortRuleBook.h"
#include "StartUpRecovery.h"
#include "TextHelpers.h"

#include <QDir>

StoreResult<std::array<QString, 9>> CommandLineWork::sortingAddresses(const ProgramPaths& paths)
{
    std::array<QString, 9> addresses;
    const RecordFile file = SortRuleBook(paths).file();
    for (int rule = 1; rule <= SortRuleBook::SortingRules; ++rule) {
        const auto record = file.read(rule);
        if (!record.ok())
            return record.status();
        if (record.value())
            addresses[static_cast<std::size_t>(rule - 1)] = TrimBlanks(record.value()->text(RecordLayouts::SortRuleField::RuleAddress));
    }
    return addresses;
}

int CommandLineWork::importMail(const StartOptions& options, const QString& socketFolder, NMailApi& mail, QTextStream& out, QTextStream& err)
{
    const ProgramPaths paths(options.programFolder);
    ProgramFolderLock lock(paths);
    if (lock.acquire() == ProgramFolderLock::Outcome::HeldByAnotherCopy) {
        if (RunningCopyLink::handOverImport(socketFolder, options.programFolder, options.importPaths)) {
            out << QStringLiteral("取り込みを起動中のネムロアに渡しました。進み具合と結果はその取り込みの画面に表示されます。") << Qt::endl;
            return 0;
        }
        err << lock.heldByAnotherCopyText() << Qt::endl;
        return 1;
    }
    if (!QFileInfo(paths.dataFolder()).isDir()) {
        err << QStringLiteral("データフォルダ「%1」がありません。").arg(QDir::toNativeSeparators(paths.dataFolder())) << Qt::endl;
        return 1;
    }
    // A run that was ended in the middle of storing is put right first, as a start does.
    if (StoreStatus recovered = StartUpRecovery::recover(paths); !recovered.ok()) {
        err << recovered.error() << Qt::endl;
        return 1;
    }
    const auto addresses = sortingAddresses(paths);
    if (!addresses.ok()) {
        err << addresses.error() << Qt::endl;
        return 1;
    }
    const ServerSettings settings = ServerSettings::read(ProgramPaths::inCurrentDirectory(u"vbmail.ini"));
    (void)mail.NMailInitializeWinSock();
    MailImport import(paths, mail, addresses.value(), settings.MailAddress);
    const MailImport::Summary summary = import.run(options.importPaths);
    const auto names = SortRuleBook(paths).names();
    out << summary.line(names.ok() ? names.value() : QStringList()) << Qt::endl;
    for (const QString& kept : summary.keptWhole)
        err << QStringLiteral("元のメール全体を添付フォルダに保存しました: %1").arg(kept) << Qt::endl;
    for (const QString& refused : summary.refused)
        err << QStringLiteral("取り込めませんでした: %1").arg(refused) << Qt::endl;
    if (!summary.failure.isEmpty())
        err << QStringLiteral("取り込みを中止しました: %1").arg(summary.failure) << Qt::endl;
    return summary.succeeded() ? 0 : 1;
}

int CommandLineWork::exportMbox(const StartOptions& options, QTextStream& out, QTextStream& err)
{
    const ProgramPaths paths(options.programFolder);
    const ServerSettings settings = ServerSettings::read(ProgramPaths::inCurrentDirectory(u"vbmail.ini"));
    const auto written = MboxExport(paths, settings.MailAddress).writeFolder(options.exportFolder, options.exportFile);
    if (!written.ok()) {
        err << QStringLiteral("書き出せませんでした: %1").arg(written.error()) << Qt::endl;
        return 1;
    }
    out << QStringLiteral("%1 通を %2 に書き出しました。").arg(written.value()).arg(QDir::toNativeSeparators(options.exportFile)) << Qt::endl;
    return 0;
}
