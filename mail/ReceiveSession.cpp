#include "ReceiveSession.h"

#include "AtomicFile.h"
#include "AttachmentWorkFile.h"
#include "ReceiveJournal.h"
#include "TextHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const QString ErrorTitle = QStringLiteral("エラー");
const QString WorkFileName = QStringLiteral("0.txt");
// The marker word of a message that carries an attachment, looked for in the raw text.
bool carriesAttachment(const QString& bodyAsFetched) { return bodyAsFetched.contains(QStringLiteral("attachment"), Qt::CaseSensitive); }

} // namespace

int ChooseFolder(const QString& sender, const std::array<QString, 9>& sortingAddresses)
{
    for (std::size_t rule = 0; rule < sortingAddresses.size(); ++rule) {
        if (sender == sortingAddresses[rule])
            return static_cast<int>(rule) + 1;
    }
    return FolderFiles::OthersFolder;
}

QString AttachmentNotice(const QString& body, const QString& bodyAsFetched)
{
    if (!carriesAttachment(bodyAsFetched))
        return body;
    return body + QStringLiteral("\r\n♪♪♪　添付ファイルがありましので、添付フォルダに展開しました。♪♪♪");
}

QString FinalStatusText(int spamCount, int newCounterSum, bool failedBeforeStoring)
{
    if (spamCount > 0)
        return QStringLiteral("迷惑メール撃退！！");
    if (failedBeforeStoring)
        return QStringLiteral("受信できませんでした");
    return newCounterSum > 0 ? QStringLiteral("新着メールあり。") : QStringLiteral("新着メールなし");
}

ReceiveSession::ReceiveSession(const ProgramPaths& paths, NMailApi& mail, MessageBoxService& messageBoxes,
    SpamTest isSpam, std::array<QString, 9> sortingAddresses, ReceiveView& view)
    : paths_(paths)
    , mail_(mail)
    , messageBoxes_(messageBoxes)
    , isSpam_(std::move(isSpam))
    , sortingAddresses_(std::move(sortingAddresses))
    , view_(view)
    , ids_(paths)
    , marks_(paths)
{
}

QString ReceiveSession::libraryMessage()
{
    QString text;
    mail_.NMailGetMessage(0, text, BufferSize);
    return CutAtNul(text);
}

void ReceiveSession::reportStop(int number, const QString& reason)
{
    stopReported_ = true;
    messageBoxes_.show({QStringLiteral("メッセージ %1 を受信できなかったため、受信を中止しました。"
                                       "このメッセージと残りのメッセージはサーバーに残してあります。\r\n\r\n%2")
                            .arg(number)
                            .arg(reason),
        ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
}

void ReceiveSession::reportFailure()
{
    messageBoxes_.show({libraryMessage(), ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::None});
}

int ReceiveSession::login(int handle, const ReceiveAccount& account)
{
    const auto authenticate = [&] {
        return mail_.NMailPop3Authenticate(handle, account.AccountId, account.AccountPassword, account.UseApop != 0 ? -1 : 0);
    };
    return passwordConsent_ ? passwordConsent_->run(account.Pop3Server, authenticate) : authenticate();
}

ReceiveSession::Outcome ReceiveSession::run(const ReceiveAccount& account)
{
    Outcome outcome;
    touchedFolders_.clear();
    storedFolders_.clear();
    stopped_ = false;
    stopReported_ = false;
    leftOnServerReported_ = false;
    refusedFetches_.clear();
    refusedDeletions_.clear();
    poisonous_.clear();
    sessionDay_ = today_.isValid() ? today_ : QDate::currentDate();
    // Without a server, an ID and a password nothing can be asked: that is no empty mailbox.
    if (account.Pop3Server.isEmpty() || account.AccountId.isEmpty() || account.AccountPassword.isEmpty()) {
        outcome.failed = true;
        return outcome;
    }
    // Without the attachment folder no attachment and no undecodable message can be kept, so
    // nothing could be deleted: the mail stays on the server until the folder is back.
    if (!QFileInfo(paths_.attachmentFolder()).isDir()) {
        outcome.failed = true;
        stopReported_ = true;
        messageBoxes_.show({QStringLiteral("添付フォルダ「%1」がありません。メールはサーバーに残してあります。\r\n"
                                           "このフォルダを作ってから、もう一度受信してください。")
                                .arg(QDir::toNativeSeparators(paths_.attachmentFolder())),
            ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
        return outcome;
    }
    const int handle = mail_.NMailPop3Connect(account.Pop3Server);
    if (handle == NMailApi::ResultStoppedByUser) {
        outcome.stopped = true;
        return outcome;
    }
    if (handle < 0) {
        // A server that cannot be reached, or whose certificate cannot be trusted, is a failure the
        // user must see, not an empty mailbox.
        outcome.failed = true;
        reportFailure();
        return outcome;
    }
    const int count = login(handle, account);
    if (count < 0) {
        outcome.stopped = count == NMailApi::ResultStoppedByUser;
        outcome.failed = !outcome.stopped;
        // A user who has just declined to send the password in clear, or stopped, needs no further box.
        if (outcome.failed && (count != NMailApi::ResultPasswordNeedsTls || !passwordConsent_))
            reportFailure();
        mail_.NMailPop3Close(handle);
        return outcome;
    }
    if (!takeIds(handle, count, account)) {
        mail_.NMailPop3Close(handle);
        if (stopped_)
            return stoppedOutcome(outcome);
        outcome.failed = true;
        return outcome;
    }

    // Noted before the first record is appended: a session cut short is undone at the next start,
    // and its messages, all still on the server, are then stored once rather than twice.
    ReceiveJournal journal(paths_);
    if (count > 0) {
        if (StoreStatus begun = journal.begin(); !begun.ok()) {
            reportStop(1, begun.error());
            mail_.NMailPop3Close(handle);
            return outcome;
        }
    }

    marks_.load(account.Pop3Server, account.AccountId);
    QSet<QString> listed;
    for (int number = 1; number <= count; ++number)
        listed << handlingKey(number);
    marks_.keepOnly(listed);
    QList<int> toFetch;
    for (int number = 1; number <= count; ++number) {
        if ((!idsInUse_ || !ids_.find(serverIds_[number - 1])) && !marks_.isPoisonous(handlingKey(number)))
            toFetch << number;
    }
    mail_.NMailPop3PlanFetches(handle, toFetch);

    std::vector<int> deletions;
    std::vector<int> stored;
    for (int number = 1; number <= count; ++number) {
        const QString id = idsInUse_ ? serverIds_[number - 1] : QString();
        if (const ReceivedMessageIds::Entry* known = idsInUse_ ? ids_.find(id) : nullptr) {
            if (known->state == ReceivedMessageIds::State::Stored && isDueForDeletion(*known, account))
                deletions.push_back(number);
            continue;
        }
        if (marks_.isPoisonous(handlingKey(number))) {
            poisonous_ << QStringLiteral("メッセージ %1").arg(number);
            if (idsInUse_)
                ids_.add(id, sessionDay_, ReceivedMessageIds::State::Refused);
            continue;
        }
        // Without the mark the message is handled all the same: it only guards the next session.
        (void)marks_.begin(handlingKey(number));
        view_.setStatus(QStringLiteral("受信中・・・"));
        view_.showProgress(number, count);
        Incoming message;
        const Fetched fetched = fetch(handle, number, message);
        if (fetched == Fetched::RefusedByServer)
            continue;
        if (fetched == Fetched::RefusedByBound) {
            // Skipped from now on, so that the messages behind it arrive.
            if (idsInUse_)
                ids_.add(id, sessionDay_, ReceivedMessageIds::State::Refused);
            break;
        }
        if (fetched == Fetched::Failed)
            break;
        const QString bodyAsFetched = message.body;
        if (!ExtractAttachments(number, message))
            continue;
        view_.showForSpamTest(message.subject, message.from, message.body);
        if (isSpam_(message.subject, message.from, message.body)) {
            ++outcome.spamCount;
            deletions.push_back(number);
            continue;
        }
        if (!FileIncoming(ChooseFolder(message.from, sortingAddresses_), message, bodyAsFetched, number))
            break;
        ++outcome.storedCount;
        stored.push_back(number);
        if (idsInUse_)
            ids_.add(id, sessionDay_, ReceivedMessageIds::State::Stored);
    }

    // Without ids a poisonous message is known by its number only, which names another message once
    // those before it are gone: it is skipped once, and handled again after that.
    (void)marks_.finish(!idsInUse_);
    // The work file is rewritten in place for every message and removed once the last is through:
    // a file created and deleted per message costs more than the rest of the step.
    AttachmentWorkFile::remove(workFilePath());
    if (stopped_) {
        // Stopped while fetching: nothing is deleted on the server, so nothing of this session may
        // stay, or the next receive would store it a second time.
        if (count > 0)
            takeBackStoredRecords(&journal);
        mail_.NMailPop3Close(handle);
        return stoppedOutcome(outcome);
    }
    const bool kept = keepStoredRecords(count > 0 ? &journal : nullptr);
    if (kept && !account.KeepOnServerDays)
        deletions.insert(deletions.end(), stored.begin(), stored.end());
    deleteOnServer(handle, deletions);
    const int closed = mail_.NMailPop3Close(handle);
    if (stopped_ || closed == NMailApi::ResultStoppedByUser) {
        // Stopped before QUIT went out, with the records already kept: their ids are recorded, so
        // the next receive deletes those messages on the server without storing them again.
        // Without ids they must go, or the next receive would store them a second time.
        if (kept && idsInUse_)
            return stoppedOutcome(outcome, true);
        if (kept && count > 0)
            takeBackStoredRecords(&journal);
        return stoppedOutcome(outcome);
    }
    // A QUIT that fails leaves the messages on the server: the user is told unless the session has
    // already said why it stopped.
    if (closed < 0 && !deletions.empty() && !stopReported_) {
        stopReported_ = true;
        const QString known = idsInUse_ ? QStringLiteral("\r\n\r\nメールはサーバーに残っていますが、受信済みのメールが二度保存されることはありません。")
                                        : QString();
        messageBoxes_.show({libraryMessage() + known, ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
    }
    reportEndNotices();
    outcome.failed = stopReported_;
    return outcome;
}

bool ReceiveSession::takeIds(int handle, int count, const ReceiveAccount& account)
{
    serverIds_.clear();
    idsInUse_ = false;
    const int listed = mail_.NMailPop3GetUidl(handle, serverIds_);
    if (listed == NMailApi::ResultStoppedByUser) {
        stopped_ = true;
        return false;
    }
    if (listed == NMailApi::ResultMessageRefusedByServer && !account.KeepOnServerDays) {
        serverIds_.clear();
        return true;
    }
    const auto stop = [&](const QString& text) {
        stopReported_ = true;
        messageBoxes_.show({text, ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
        return false;
    };
    if (listed == NMailApi::ResultMessageRefusedByServer)
        return stop(QStringLiteral("POP3 サーバー %1 はメッセージ ID の一覧（UIDL）に対応していないため、"
                                   "「受信したメールをサーバーに残す」は使えません。メールはサーバーに残してあります。\r\n"
                                   "サーバー設定でこのチェックを外すと受信できます。\r\n\r\n%2")
                        .arg(account.Pop3Server, libraryMessage()));
    if (listed != count)
        return stop(QStringLiteral("受信を中止しました。メールはサーバーに残してあります。\r\n\r\n%1").arg(libraryMessage()));
    if (StoreStatus loaded = ids_.load(account.Pop3Server, account.AccountId); !loaded.ok())
        return stop(QStringLiteral("受信を中止しました。メールはサーバーに残してあります。\r\n\r\n%1").arg(loaded.error()));
    // The list is complete: ids the server no longer holds are of no more use.
    ids_.keepOnly(QSet<QString>(serverIds_.cbegin(), serverIds_.cend()));
    idsInUse_ = true;
    return true;
}

bool ReceiveSession::isDueForDeletion(const ReceivedMessageIds::Entry& entry, const ReceiveAccount& account) const
{
    if (!account.KeepOnServerDays)
        return true;
    return *account.KeepOnServerDays > 0 && entry.firstStored.daysTo(sessionDay_) > *account.KeepOnServerDays;
}

void ReceiveSession::deleteOnServer(int handle, std::vector<int> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    const QList<int> asked(numbers.cbegin(), numbers.cend());
    QStringList refusals;
    const int result = mail_.NMailPop3DeleteMails(handle, asked, refusals);
    if (result < 0) {
        stopped_ = result == NMailApi::ResultStoppedByUser;
        return; // the connection is gone: the QUIT fails and says so
    }
    for (qsizetype index = 0; index < refusals.size() && index < asked.size(); ++index) {
        if (!refusals[index].isEmpty())
            refusedDeletions_ << QStringLiteral("メッセージ %1: %2").arg(asked[index]).arg(CutAtNul(refusals[index]));
    }
}

void ReceiveSession::reportEndNotices()
{
    QStringList paragraphs;
    if (!refusedFetches_.isEmpty())
        paragraphs << QStringLiteral("サーバーが次のメッセージを渡しませんでした。これらはサーバーに残してあり、次回の受信でもう一度受け取ります。\r\n")
                + refusedFetches_.join(QStringLiteral("\r\n"));
    if (!refusedDeletions_.isEmpty())
        paragraphs << (idsInUse_ ? QStringLiteral("サーバーが次のメッセージの削除を断りました。メッセージはサーバーに残っていますが、二度保存されることはありません。\r\n")
                                 : QStringLiteral("サーバーが次のメッセージの削除を断りました。メッセージはサーバーに残っているため、次回の受信でもう一度保存されます。\r\n"))
                + refusedDeletions_.join(QStringLiteral("\r\n"));
    if (!poisonous_.isEmpty())
        paragraphs << (idsInUse_ ? QStringLiteral("次のメッセージは、受信の途中でプログラムが %1 回続けて終了したメッセージのため、受信せずにサーバーに残しました。次回からも受信しません。\r\n")
                                 : QStringLiteral("次のメッセージは、受信の途中でプログラムが %1 回続けて終了したメッセージのため、今回は受信せずにサーバーに残しました。\r\n"))
                    .arg(MessageHandlingMarks::PoisonousAfter)
                + poisonous_.join(QStringLiteral("\r\n"));
    if (paragraphs.isEmpty())
        return;
    stopReported_ = true;
    messageBoxes_.show({paragraphs.join(QStringLiteral("\r\n\r\n")), ErrorTitle, MessageBoxService::Buttons::Ok,
        MessageBoxService::Icon::Exclamation});
}

QString ReceiveSession::handlingKey(int number) const
{
    return idsInUse_ ? serverIds_[number - 1] : QStringLiteral("#%1").arg(number);
}

QString ReceiveSession::workFilePath() const { return paths_.attachmentFolder() + u'/' + WorkFileName; }

ReceiveSession::Fetched ReceiveSession::fetch(int handle, int number, Incoming& message)
{
    QString subject;
    QString date;
    QString from;
    QString header;
    QString body;
    int result = mail_.NMailPop3GetMailStatus(handle, number, subject, date, from, header, 0);
    if (result >= 0)
        result = mail_.NMailPop3GetMailSize(handle, number);
    if (result >= 0)
        result = mail_.NMailPop3GetMail(handle, number, subject, date, from, header, body, 0, 0);
    if (result >= 0) {
        message = {CutAtNul(subject), CutAtNul(date), CutAtNul(from), CutAtNul(header), CutAtNul(body)};
        return Fetched::Whole;
    }
    if (result == NMailApi::ResultMessageRefusedByServer) {
        refusedFetches_ << QStringLiteral("メッセージ %1: %2").arg(number).arg(libraryMessage());
        return Fetched::RefusedByServer;
    }
    if (result == NMailApi::ResultRefusedByBound) {
        stopReported_ = true;
        const QString after = idsInUse_ ? QStringLiteral("このメッセージはサーバーに残し、次回からは受信しません。")
                                        : QStringLiteral("このメッセージと残りのメッセージはサーバーに残してあります。");
        messageBoxes_.show({QStringLiteral("メッセージ %1 は受信できる大きさか時間の限度を超えたため、受信を中止しました。%2"
                                           "ここまでに受信したメールは保存しました。\r\n\r\n%3")
                                .arg(number)
                                .arg(after, libraryMessage()),
            ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
        return Fetched::RefusedByBound;
    }
    if (result == NMailApi::ResultStoppedByUser)
        stopped_ = true;
    else
        reportStop(number, libraryMessage());
    return Fetched::Failed;
}

bool ReceiveSession::ExtractAttachments(int number, Incoming& message)
{
    const QString folder = paths_.attachmentFolder();
    const QString workFile = workFilePath();
    // A folder that cannot take the work file leaves the work text empty, and the library then
    // reports what it cannot write.
    QString workText = AttachmentWorkFile::write(workFile, message.header, message.body);
    const int result = mail_.NMailAttachmentFileFirst(0, message.subject, message.date, message.from, message.header,
        message.body, folder + u'/', workFile, workText, 0);
    mail_.NMailAttachmentFileClose(0);
    switch (static_cast<std::int16_t>(result)) {
    case -5:
        // Part of the message could not be kept: it is neither stored nor deleted, and comes
        // again next time.
        if (std::exchange(leftOnServerReported_, true))
            return false;
        messageBoxes_.notify(QStringLiteral("添付ファイルをオープンできません\r\n\r\n"
                                            "メッセージ %1 はサーバーに残してあります。\r\n%2")
                                 .arg(number)
                                 .arg(libraryMessage()),
            MessageBoxService::Icon::Exclamation);
        return false;
    case -6:
        messageBoxes_.notify(QStringLiteral("分割されたメールが全て揃っていません"));
        break;
    default:
        break;
    }
    message.subject = CutAtNul(message.subject);
    message.date = CutAtNul(message.date);
    message.from = CutAtNul(message.from);
    message.header = CutAtNul(message.header);
    message.body = CutAtNul(message.body);
    return true;
}

bool ReceiveSession::FileIncoming(int folder, const Incoming& message, const QString& bodyAsFetched, int number)
{
    const MessageFields fields{message.subject, message.from, message.date, AttachmentNotice(message.body, bodyAsFetched)};
    view_.showMessage(fields);
    const RecordFile file = FolderFiles::folderFile(paths_, folder);
    const auto next = file.nextRecordNumber();
    StoreStatus status = next.ok() ? StoreMessage(paths_, folder, next.value(), fields) : next.status();
    if (!status.ok()) {
        reportStop(number, status.error());
        return false;
    }
    touchedFolders_.insert(folder);
    storedFolders_.push_back(folder);
    // Counted once stored, so the counter never promises a message that is not in the folder.
    view_.raiseNewCounter(folder);
    return true;
}

StoreStatus ReceiveSession::flushTouchedFolders()
{
    for (const int folder : touchedFolders_) {
        const RecordFile file = FolderFiles::folderFile(paths_, folder);
        StoreStatus status = file.sync();
        if (status.ok())
            status = AtomicFile::syncDirectoryOf(file.path());
        if (!status.ok())
            return status;
    }
    return StoreStatus::success();
}

bool ReceiveSession::keepStoredRecords(const ReceiveJournal* journal)
{
    StoreStatus status = flushTouchedFolders();
    const bool writeIds = idsInUse_ && ids_.changed();
    // A message recorded as received is never fetched again: its attachments must be on disk first.
    if (status.ok() && writeIds && mail_.NMailAttachmentFileFlush(0) < 0)
        status = StoreStatus::failure(libraryMessage());
    if (status.ok() && writeIds)
        status = ids_.writePending();
    if (status.ok() && journal)
        status = journal->commit();
    if (status.ok()) {
        // Committed with the journal's removal; a rename that fails now is done at the next settle.
        if (writeIds)
            (void)ids_.commitPending();
        return true;
    }
    // The messages stay on the server, so the records of this session go: were they kept, the next
    // session would store every one of them a second time. What cannot be undone now is undone at
    // the next start, as long as the journal is still there.
    if (journal)
        takeBackStoredRecords(journal);
    else
        QFile::remove(ids_.pendingPath());
    if (!stopReported_) {
        stopReported_ = true;
        messageBoxes_.show({QStringLiteral("受信したメールをディスクに書き込めませんでした。"
                                           "メッセージはサーバーに残してあります。\r\n\r\n%1")
                                .arg(status.error()),
            ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
    }
    return false;
}

void ReceiveSession::takeBackStoredRecords(const ReceiveJournal* journal)
{
    (void)journal->undo();
    for (const int folder : storedFolders_)
        view_.lowerNewCounter(folder);
    storedFolders_.clear();
}

ReceiveSession::Outcome ReceiveSession::stoppedOutcome(Outcome outcome, bool recordsKept)
{
    outcome.stopped = true;
    if (!recordsKept) {
        outcome.storedCount = 0;
        outcome.spamCount = 0;
    }
    return outcome;
}
