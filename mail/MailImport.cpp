#include "MailImport.h"

#include "AtomicFile.h"
#include "FolderFiles.h"
#include "SentHistory.h"
#include "TextHelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <utility>

namespace {

QString folderName(int folder, const QStringList& names)
{
    if (folder == FolderFiles::SentHistory)
        return QStringLiteral("送信履歴");
    if (folder <= names.size() && !names[folder - 1].trimmed().isEmpty())
        return names[folder - 1].trimmed();
    if (folder == FolderFiles::OthersFolder)
        return QStringLiteral("着信 その他");
    return QStringLiteral("フォルダ%1").arg(folder);
}

} // namespace

QString AddressOf(const QString& sender)
{
    const qsizetype open = sender.lastIndexOf(u'<');
    const qsizetype close = sender.lastIndexOf(u'>');
    if (open >= 0 && close > open)
        return sender.mid(open + 1, close - open - 1).trimmed();
    return sender.trimmed();
}

QString HeaderFieldValue(const QString& header, const QString& name)
{
    const QStringList lines = header.split(QRegularExpression(QStringLiteral("\r?\n")));
    const QString prefix = name + u':';
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(prefix, Qt::CaseInsensitive))
            continue;
        QString value = lines[i].mid(prefix.size());
        while (i + 1 < lines.size() && (lines[i + 1].startsWith(u' ') || lines[i + 1].startsWith(u'\t')))
            value += u' ' + lines[++i].trimmed();
        return value.trimmed();
    }
    return {};
}

int MailImport::Summary::stored() const
{
    int count = 0;
    for (const auto& [folder, stored] : storedPerFolder)
        count += stored;
    return count;
}

QString MailImport::Summary::line(const QStringList& folderNames) const
{
    QStringList perFolder;
    for (const auto& [folder, count] : storedPerFolder)
        perFolder << QStringLiteral("%1 %2").arg(folderName(folder, folderNames)).arg(count);
    QString text = QStringLiteral("%1 通を保存").arg(stored());
    if (!perFolder.isEmpty())
        text += QStringLiteral("（%1）").arg(perFolder.join(QStringLiteral("、")));
    text += QStringLiteral("、取り込み済みのため %1 通を省略").arg(alreadyThere);
    if (spamDropped > 0)
        text += QStringLiteral("、迷惑メール %1 通を削除").arg(spamDropped);
    if (!keptWhole.isEmpty())
        text += QStringLiteral("（うち %1 通は元のメール全体を添付フォルダに保存）").arg(keptWhole.size());
    if (!refused.isEmpty())
        text += QStringLiteral("、%1 件を取り込めませんでした").arg(refused.size());
    if (stopped)
        text += QStringLiteral("（中止しました）");
    return text + QStringLiteral("。");
}

MailImport::MailImport(const ProgramPaths& paths, NMailApi& mail, std::array<QString, 9> sortingAddresses, QString ownAddress)
    : paths_(paths)
    , mail_(mail)
    , sortingAddresses_(std::move(sortingAddresses))
    , ownAddress_(std::move(ownAddress))
    , keys_(paths)
    , journal_(paths)
{
}

QString MailImport::libraryMessage()
{
    QString text;
    mail_.NMailGetMessage(0, text, ReceiveSession::BufferSize);
    return CutAtNul(text);
}

bool MailImport::isOwnAddress(const QString& sender) const
{
    const QString own = AddressOf(ownAddress_);
    return !own.isEmpty() && AddressOf(sender).compare(own, Qt::CaseInsensitive) == 0;
}

MailImport::Summary MailImport::run(const QStringList& paths, const Progress& progress)
{
    Summary summary;
    if (!QFileInfo(paths_.attachmentFolder()).isDir()) {
        summary.failure = QStringLiteral("添付フォルダ「%1」がありません。").arg(QDir::toNativeSeparators(paths_.attachmentFolder()));
        return summary;
    }
    if (StoreStatus loaded = keys_.load(keyAccount(), keyUser()); !loaded.ok()) {
        summary.failure = loaded.error();
        return summary;
    }
    ImportSource source;
    source.scan(paths, [this] { return stopRequested_.load(); });
    // A search cut short found only part of the messages.
    const bool searchStopped = stopRequested_;
    for (const QString& path : source.unreadable())
        summary.refused << QStringLiteral("%1: 読めません").arg(QDir::toNativeSeparators(path));
    summary.found = static_cast<int>(source.messages().size());
    int done = 0;
    int inBatch = 0;
    for (const ImportSource::Message& message : source.messages()) {
        if (stopRequested_)
            break;
        if (!journalOpen_) {
            if (StoreStatus begun = journal_.begin(); !begun.ok()) {
                summary.failure = begun.error();
                break;
            }
            journalOpen_ = true;
        }
        const Handled handled = handle(source, message, summary);
        if (handled == Handled::Failed)
            break;
        if (handled == Handled::Stored && ++inBatch >= batchSize_) {
            inBatch = 0;
            if (!commit(summary))
                break;
        }
        if (progress)
            progress(++done, summary.found);
    }
    summary.stopped = searchStopped || (stopRequested_ && done < summary.found);
    if (journalOpen_)
        (void)commit(summary);
    return summary;
}

MailImport::Handled MailImport::handle(const ImportSource& source, const ImportSource::Message& message, Summary& summary)
{
    const QString name = message.inMbox
        ? QStringLiteral("%1（%2 バイト目から）").arg(QDir::toNativeSeparators(source.files()[message.file])).arg(message.offset)
        : QDir::toNativeSeparators(source.files()[message.file]);
    auto read = source.read(message, MemoryBound);
    if (!read.ok()) {
        summary.refused << read.error();
        return Handled::Refused;
    }
    const QString& key = read.value().key;
    if (keys_.find(key)) {
        ++summary.alreadyThere;
        return Handled::Skipped;
    }
    QString subject;
    QString date;
    QString from;
    QString header;
    QString body;
    const QString wholeFile = read.value().whole ? read.value().whole->fileName() : QString();
    const int loaded = mail_.NMailLoadMessage(read.value().bytes, wholeFile, subject, date, from, header, body);
    if (loaded < 0) {
        summary.refused << QStringLiteral("%1: %2").arg(name, libraryMessage());
        return Handled::Refused;
    }
    const QString bodyAsFetched = CutAtNul(body);
    QString workText;
    const int extracted = mail_.NMailAttachmentFileFirst(
        0, subject, date, from, header, body, paths_.attachmentFolder() + u'/', QString(), workText, 0);
    mail_.NMailAttachmentFileClose(0);
    // A message whose attachment cannot be written is not recorded as imported: it comes again
    // with the next import. An incomplete split message is stored, as a receive stores it.
    if (static_cast<std::int16_t>(extracted) == -5) {
        summary.refused << QStringLiteral("%1: %2").arg(name, libraryMessage());
        return Handled::Refused;
    }
    subject = CutAtNul(subject);
    date = CutAtNul(date);
    from = CutAtNul(from);
    header = CutAtNul(header);
    body = AttachmentNotice(CutAtNul(body), bodyAsFetched);
    const QDate day = today_.isValid() ? today_ : QDate::currentDate();
    if (isSpam_ && isSpam_(subject, from, body)) {
        ++batchSpam_;
        keys_.add(key, day, ReceivedMessageIds::State::Refused);
        return Handled::Skipped;
    }
    int folder = FolderFiles::SentHistory;
    StoreStatus stored = StoreStatus::success();
    if (isOwnAddress(from)) {
        const auto appended = SentHistory(paths_).StoreSentRecord({HeaderFieldValue(header, QStringLiteral("To")), subject, body, {}}, date);
        stored = appended.ok() ? StoreStatus::success() : appended.status();
    } else {
        folder = ChooseFolder(from, sortingAddresses_);
        const auto next = FolderFiles::folderFile(paths_, folder).nextRecordNumber();
        stored = next.ok() ? StoreMessage(paths_, folder, next.value(), {subject, from, date, body}) : next.status();
    }
    if (!stored.ok()) {
        summary.failure = QStringLiteral("%1: %2").arg(name, stored.error());
        (void)journal_.undo();
        journalOpen_ = false;
        touchedFolders_.clear();
        batchStored_.clear();
        batchKeptWhole_.clear();
        batchSpam_ = 0;
        return Handled::Failed;
    }
    touchedFolders_.insert(folder);
    ++batchStored_[folder];
    if (loaded == 2)
        batchKeptWhole_ << QStringLiteral("%1: %2").arg(name, body);
    keys_.add(key, day, ReceivedMessageIds::State::Stored);
    return Handled::Stored;
}

bool MailImport::commit(Summary& summary)
{
    StoreStatus status = StoreStatus::success();
    for (const int folder : touchedFolders_) {
        const RecordFile file = FolderFiles::folderFile(paths_, folder);
        status = file.sync();
        if (status.ok())
            status = AtomicFile::syncDirectoryOf(file.path());
        if (!status.ok())
            break;
    }
    // A message recorded as imported is never read again: its attachments must be on disk first.
    if (status.ok() && mail_.NMailAttachmentFileFlush(0) < 0)
        status = StoreStatus::failure(libraryMessage());
    if (status.ok() && keys_.changed())
        status = keys_.writePending();
    if (status.ok())
        status = journal_.commit();
    journalOpen_ = false;
    if (status.ok()) {
        // Committed with the journal's removal; a rename that fails now is done at the next settle.
        (void)keys_.commitPending();
        for (const auto& [folder, count] : batchStored_)
            summary.storedPerFolder[folder] += count;
        summary.spamDropped += batchSpam_;
        summary.keptWhole << batchKeptWhole_;
    } else {
        (void)journal_.undo();
        summary.failure = QStringLiteral("取り込んだメールをディスクに書き込めませんでした。%1").arg(status.error());
    }
    touchedFolders_.clear();
    batchStored_.clear();
    batchKeptWhole_.clear();
    batchSpam_ = 0;
    return status.ok();
}
