#include "ReceiveSession.h"

#include "AtomicFile.h"
#include "Cp932Codec.h"
#include "ReceiveJournal.h"
#include "TextHelpers.h"

#include <QFile>

#include <utility>
#include <vector>

namespace {

const QString ErrorTitle = QStringLiteral("エラー");
const QString WorkFileName = QStringLiteral("0.txt");

// The work file's lines, each followed by CR LF, as a line-by-line reading gives them back: a line
// ends at CR LF, CR or LF.
QString linesOf(const QString& text)
{
    QString lines;
    lines.reserve(text.size() + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            lines += QStringLiteral("\r\n");
        } else {
            lines += c;
        }
    }
    if (!lines.isEmpty() && !lines.endsWith(QStringLiteral("\r\n")))
        lines += QStringLiteral("\r\n");
    return lines;
}

// The marker word of a message that carries an attachment, looked for in the raw text.
bool carriesAttachment(const QString& bodyAsFetched) { return bodyAsFetched.contains(QStringLiteral("attachment"), Qt::CaseSensitive); }

bool isSplitPart(const QString& header) { return header.contains(QStringLiteral("message/partial"), Qt::CaseInsensitive); }

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

QString FinalStatusText(int spamCount, int newCounterSum)
{
    if (spamCount > 0)
        return QStringLiteral("迷惑メール撃退！！");
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

ReceiveSession::Outcome ReceiveSession::run(const ReceiveAccount& account)
{
    Outcome outcome;
    touchedFolders_.clear();
    stopReported_ = false;
    if (account.Pop3Server.isEmpty())
        return outcome;
    const int handle = mail_.NMailPop3Connect(account.Pop3Server);
    if (handle == -1)
        return outcome;
    if (account.AccountId.isEmpty() || account.AccountPassword.isEmpty()) {
        mail_.NMailPop3Close(handle);
        return outcome;
    }
    const int count = mail_.NMailPop3Authenticate(handle, account.AccountId, account.AccountPassword, account.UseApop != 0 ? -1 : 0);
    if (count < 0) {
        messageBoxes_.show({libraryMessage(), ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::None});
        mail_.NMailPop3Close(handle);
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

    std::vector<int> spam;
    std::vector<int> stored;
    for (int number = 1; number <= count; ++number) {
        view_.setStatus(QStringLiteral("受信中・・・"));
        view_.showProgress(number, count);
        Incoming message;
        if (!fetch(handle, number, message))
            break;
        const QString bodyAsFetched = message.body;
        // An attachment or a part of a split message that could not be written would be lost with
        // the message on the server: the message stays there, with the rest, for a session that can
        // write it. The box of the attachment step has told the user.
        if (ExtractAttachments(message) == -5 && (carriesAttachment(bodyAsFetched) || isSplitPart(message.header))) {
            stopReported_ = true;
            break;
        }
        view_.showForSpamTest(message.subject, message.from, message.body);
        if (isSpam_(message.subject, message.from, message.body)) {
            ++outcome.spamCount;
            spam.push_back(number);
            continue;
        }
        if (!FileIncoming(ChooseFolder(message.from, sortingAddresses_), message, bodyAsFetched, number))
            break;
        ++outcome.storedCount;
        stored.push_back(number);
    }

    // The work file is rewritten in place for every message and removed once the last is through:
    // a file created and deleted per message costs more than the rest of the step.
    QFile::remove(workFilePath());
    std::vector<int> deletions = spam;
    if (count > 0 && keepStoredRecords(journal))
        deletions.insert(deletions.end(), stored.begin(), stored.end());
    for (const int number : deletions)
        mail_.NMailPop3DeleteMail(handle, number);
    // A QUIT that fails leaves the messages on the server, to be received again: the user is told
    // unless the session has already said why it stopped.
    if (mail_.NMailPop3Close(handle) < 0 && !deletions.empty() && !stopReported_)
        messageBoxes_.show({libraryMessage(), ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
    return outcome;
}

QString ReceiveSession::workFilePath() const { return paths_.attachmentFolder() + u'/' + WorkFileName; }

bool ReceiveSession::fetch(int handle, int number, Incoming& message)
{
    QString subject;
    QString date;
    QString from;
    QString header;
    if (mail_.NMailPop3GetMailStatus(handle, number, subject, date, from, header, 0) < 0) {
        reportStop(number, libraryMessage());
        return false;
    }
    const int size = mail_.NMailPop3GetMailSize(handle, number);
    if (size < 0) {
        reportStop(number, libraryMessage());
        return false;
    }
    QString body(size + 1, u' ');
    if (mail_.NMailPop3GetMail(handle, number, subject, date, from, header, body, 0, 0) < 0) {
        reportStop(number, libraryMessage());
        return false;
    }
    message = {CutAtNul(subject), CutAtNul(date), CutAtNul(from), CutAtNul(header), CutAtNul(body)};
    return true;
}

int ReceiveSession::ExtractAttachments(Incoming& message)
{
    const QString folder = paths_.attachmentFolder();
    const QString workFile = workFilePath();
    const QString content = message.header + QStringLiteral("\r\n") + message.body + QStringLiteral("\r\n");
    // The work text is the work file read back line by line; a folder that cannot take the work
    // file leaves it empty, and the library then reports what it cannot write.
    QString workText;
    QFile work(workFile);
    // Written over the previous message's text and then cut to length, so the file keeps its
    // blocks instead of giving them back and taking them again for every message.
    if (work.open(QIODevice::ReadWrite)) {
        const std::string bytes = Cp932Codec::encode(content);
        if (work.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size())
            && work.resize(static_cast<qint64>(bytes.size())) && work.seek(0)) {
            const QByteArray written = work.readAll();
            workText = linesOf(Cp932Codec::decode(std::string_view(written.constData(), static_cast<std::size_t>(written.size()))));
        }
        work.close();
    }

    const int result = mail_.NMailAttachmentFileFirst(0, message.subject, message.date, message.from, message.header,
        message.body, folder + u'/', workFile, workText, 0);
    mail_.NMailAttachmentFileClose(0);
    switch (static_cast<std::int16_t>(result)) {
    case -5:
        messageBoxes_.notify(QStringLiteral("添付ファイルをオープンできません"));
        break;
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
    return static_cast<std::int16_t>(result);
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

bool ReceiveSession::keepStoredRecords(const ReceiveJournal& journal)
{
    StoreStatus status = flushTouchedFolders();
    if (status.ok())
        status = journal.commit();
    if (status.ok())
        return true;
    // The messages stay on the server, so the records of this session go: were they kept, the next
    // session would store every one of them a second time. What cannot be undone now is undone at
    // the next start, as long as the journal is still there.
    (void)journal.undo();
    if (!stopReported_) {
        stopReported_ = true;
        messageBoxes_.show({QStringLiteral("受信したメールをディスクに書き込めませんでした。"
                                           "メッセージはサーバーに残してあります。\r\n\r\n%1")
                                .arg(status.error()),
            ErrorTitle, MessageBoxService::Buttons::Ok, MessageBoxService::Icon::Exclamation});
    }
    return false;
}
