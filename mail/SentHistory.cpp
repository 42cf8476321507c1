#include "SentHistory.h"

#include "FolderFiles.h"
#include "RecordLayouts.h"
#include "TextHelpers.h"

SentHistory::SentHistory(const ProgramPaths& paths) : paths_(paths) {}

RecordFile SentHistory::file() const { return FolderFiles::folderFile(paths_, FolderFiles::SentHistory); }

StoreResult<int> SentHistory::StoreSentRecord(const OutgoingMail& mail, const QString& sentAt) const
{
    using RecordLayouts::SentField;
    Record record(RecordLayouts::Sent);
    record.setText(SentField::Subject, TrimBlanks(mail.subject));
    record.setText(SentField::To, TrimBlanks(mail.to));
    // Received records and the screens' text boxes hold CR LF; so does every record written here.
    QString body = TrimBlanks(mail.body);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(u'\r', u'\n');
    body.replace(u'\n', QStringLiteral("\r\n"));
    record.setText(SentField::Body, body);
    record.setText(SentField::SentAt, TrimBlanks(sentAt));
    const RecordFile history = file();
    const auto appended = history.append(record);
    if (!appended.ok())
        return appended;
    if (StoreStatus synced = history.sync(); !synced.ok())
        return synced;
    return appended;
}
