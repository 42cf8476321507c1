#include "FolderFiles.h"

#include "RecordLayouts.h"
#include "TextHelpers.h"

namespace FolderFiles {
namespace {
int fileNumber(int folder) { return folder == SentHistory ? 30 : folder; }
} // namespace

bool isFolder(int folder) { return folder >= FirstFolder && folder <= SentHistory; }

QString FolderFilePath(const ProgramPaths& paths, int folder)
{
    return paths.dataFile(QStringLiteral("vbmdata%1.data").arg(fileNumber(folder)));
}

QString TempFilePath(const ProgramPaths& paths, int folder)
{
    return paths.dataFile(QStringLiteral("VBMDATA%1.TMP").arg(fileNumber(folder)));
}

RecordFile folderFile(const ProgramPaths& paths, int folder)
{
    return RecordFile(FolderFilePath(paths, folder), folder == SentHistory ? RecordLayouts::Sent : RecordLayouts::Message);
}

} // namespace FolderFiles

StoreStatus StoreMessage(const ProgramPaths& paths, int folder, int recordNumber, const MessageFields& fields)
{
    using RecordLayouts::MessageField;
    Record record(RecordLayouts::Message);
    record.setText(MessageField::Subject, TrimBlanks(fields.subject));
    record.setText(MessageField::From, TrimBlanks(fields.from));
    record.setText(MessageField::Date, TrimBlanks(fields.date));
    record.setText(MessageField::Body, TrimBlanks(fields.body));
    return FolderFiles::folderFile(paths, folder).write(recordNumber, record);
}
