// One operation of the program on a program folder, without a window, for the crash sweeps: the
// sweep runs it under the file-call interposer, kills it at every call that changes a file, and
// then runs "start" (what the next start of the program does) and a normal session.
//
//   crash_sweep_driver PROGRAM_FOLDER start
//   crash_sweep_driver PROGRAM_FOLDER receive SERVER USER PASSWORD CA_FILE [KEEP_ON_SERVER_DAYS]
//   crash_sweep_driver PROGRAM_FOLDER import SOURCE...
//   crash_sweep_driver PROGRAM_FOLDER delete-one FOLDER RECORD
//   crash_sweep_driver PROGRAM_FOLDER delete-all FOLDER
//   crash_sweep_driver PROGRAM_FOLDER keyword-delete RECORD
//   crash_sweep_driver PROGRAM_FOLDER rule-change RULE
//   crash_sweep_driver PROGRAM_FOLDER settings
//   crash_sweep_driver PROGRAM_FOLDER account
//
// "receive" and "import" do the start-up recovery first (the command line's import does the same), as a start of the program followed by a click on
// the receive tab would. Every message box goes to standard output as one line "box<TAB>title<TAB>
// text"; a failed operation prints "error<TAB>text" and exits with 1.

#include "AccountProfile.h"
#include "AddressBook.h"
#include "FolderFiles.h"
#include "MailImport.h"
#include "MessageBoxService.h"
#include "MessageDeletion.h"
#include "NMail.h"
#include "ProgramPaths.h"
#include "ReceiveSession.h"
#include "ServerSettings.h"
#include "SilentReceiveView.h"
#include "SortRuleBook.h"
#include "SpamKeywordList.h"
#include "StartUpRecovery.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

namespace {

QString oneLine(QString text)
{
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

void print(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

class PrintedMessageBoxes final : public MessageBoxService {
public:
    Answer show(const Request& request) override
    {
        print(QStringLiteral("box\t%1\t%2").arg(request.title, oneLine(request.text)));
        return request.buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
};

int finish(const StoreStatus& status)
{
    if (status.ok())
        return 0;
    print(QStringLiteral("error\t%1").arg(oneLine(status.error())));
    return 1;
}

std::array<QString, 9> sortingAddressesOf(const ProgramPaths& paths)
{
    std::array<QString, 9> sortingAddresses;
    const SortRuleBook rules(paths);
    for (int rule = 1; rule <= SortRuleBook::SortingRules; ++rule) {
        const auto read = rules.read(rule);
        if (read.ok() && read.value())
            sortingAddresses[static_cast<std::size_t>(rule - 1)] = read.value()->RuleAddress;
    }
    return sortingAddresses;
}

int receive(const ProgramPaths& paths, const QStringList& arguments)
{
    if (arguments.size() < 4)
        return 2;
    if (StoreStatus recovered = StartUpRecovery::recover(paths); !recovered.ok())
        return finish(recovered);
    const std::array<QString, 9> sortingAddresses = sortingAddressesOf(paths);
    NMail mail;
    mail.NMailInitializeWinSock();
    mail.NMailSetOptionText(NMailApi::OptionTrustedCaFile, arguments[3]);
    PrintedMessageBoxes boxes;
    SilentView view;
    const SpamKeywordList keywords(paths);
    ReceiveSession session(
        paths, mail, boxes,
        [&](const QString& subject, const QString& sender, const QString& body) {
            const auto hit = keywords.IsSpam(subject, sender, body);
            return hit.ok() && hit.value().has_value();
        },
        sortingAddresses, view);
    ReceiveAccount account{arguments[0], 0, arguments[1], arguments[2]};
    if (arguments.size() > 4)
        account.KeepOnServerDays = arguments[4].toInt();
    const ReceiveSession::Outcome outcome = session.run(account);
    mail.NMailEndWinSock();
    print(QStringLiteral("stored\t%1\tspam\t%2").arg(outcome.storedCount).arg(outcome.spamCount));
    return 0;
}

int importMail(const ProgramPaths& paths, const QStringList& sources)
{
    if (StoreStatus recovered = StartUpRecovery::recover(paths); !recovered.ok())
        return finish(recovered);
    NMail mail;
    mail.NMailInitializeWinSock();
    MailImport importer(paths, mail, sortingAddressesOf(paths), ServerSettings::read(ProgramPaths::inCurrentDirectory(u"vbmail.ini")).MailAddress);
    // Batches of two, so that a sweep crosses the commit of one batch and the start of the next.
    importer.setBatchSize(2);
    const MailImport::Summary summary = importer.run(sources);
    print(QStringLiteral("stored\t%1\talready\t%2").arg(summary.stored()).arg(summary.alreadyThere));
    if (!summary.failure.isEmpty())
        return finish(StoreStatus::failure(summary.failure));
    return summary.refused.isEmpty() ? 0 : finish(StoreStatus::failure(summary.refused.join(u' ')));
}

int deleteOne(const ProgramPaths& paths, int folder, int recordNumber)
{
    const auto shown = FolderFiles::folderFile(paths, folder).read(recordNumber);
    if (!shown.ok())
        return finish(shown.status());
    if (!shown.value())
        return finish(StoreStatus::failure(QStringLiteral("no record %1").arg(recordNumber)));
    return finish(MessageDeletion::deleteOne(paths, folder, recordNumber, *shown.value()));
}

int changeRule(const ProgramPaths& paths, int ruleNumber)
{
    const SortRuleBook rules(paths);
    const auto read = rules.read(ruleNumber);
    if (!read.ok())
        return finish(read.status());
    SortRule rule = read.value().value_or(SortRule{});
    rule.RuleAddress = QStringLiteral("changed@example.jp");
    rule.Memo = QStringLiteral("changed");
    return finish(rules.write(ruleNumber, rule));
}

int writeSettings()
{
    ServerSettings settings;
    settings.SmtpServer = QStringLiteral("smtp.changed.example.jp");
    settings.Pop3Server = QStringLiteral("pop.changed.example.jp");
    settings.MailAddress = QStringLiteral("changed@example.jp");
    settings.UseApop = 1;
    return finish(settings.write(ProgramPaths::inCurrentDirectory(u"vbmail.ini")));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments();
    if (arguments.size() < 3)
        return 2;
    const ProgramPaths paths(arguments[1]);
    // vbmail.ini is addressed in the current directory, which the run command makes the program folder.
    QDir::setCurrent(arguments[1]);
    const QString operation = arguments[2];
    arguments = arguments.mid(3);
    const auto number = [&](qsizetype index) { return index < arguments.size() ? arguments[index].toInt() : 0; };

    if (operation == u"start")
        return finish(StartUpRecovery::recover(paths));
    if (operation == u"receive")
        return receive(paths, arguments);
    if (operation == u"import")
        return importMail(paths, arguments);
    if (operation == u"delete-one")
        return deleteOne(paths, number(0), number(1));
    if (operation == u"delete-all")
        return finish(MessageDeletion::deleteAll(paths, number(0)));
    if (operation == u"address-delete")
        return finish(AddressBook(paths).DeleteAddress(number(0), true));
    if (operation == u"keyword-delete")
        return finish(SpamKeywordList(paths).DeleteKeyword(number(0), true));
    if (operation == u"rule-change")
        return changeRule(paths, number(0));
    if (operation == u"settings")
        return writeSettings();
    if (operation == u"account")
        return finish(AccountProfile(paths).saveAccount(QStringLiteral("changed-id"), QStringLiteral("changed-password")));
    return 2;
}
