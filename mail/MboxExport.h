#pragma once

#include "ProgramPaths.h"
#include "Record.h"
#include "StoreResult.h"

#include <QString>

#include <string>

// Writes stored mail in forms any mail program reads: a folder as an mbox file (mboxrd: every
// line that begins with "From " after any number of ">" gets one ">" more), or one message as an
// .eml file. Each message is built as the program builds mail it sends (OutgoingMessage): From,
// Date and Subject of the record (To for sent mail), the body as UTF-8 text, and the files that
// the body names in the attachment folder attached again while they are still there.
class MboxExport {
public:
    // ownAddress: MAIL of vbmail.ini, the sender of sent mail.
    MboxExport(const ProgramPaths& paths, QString ownAddress);

    // Folder 1 to 10, or FolderFiles::SentHistory; the file is replaced as a whole. The number of
    // messages written.
    StoreResult<int> writeFolder(int folder, const QString& file) const;
    // Record recordNumber of folder as one message, CR LF line ends.
    StoreStatus writeMessage(int folder, int recordNumber, const QString& file) const;

    // The message of a record as built for a file.
    StoreResult<std::string> messageOf(int folder, const Record& record) const;

    // The folder number the command line names: 1 to 10, or 30 for the sent history; 0 for none.
    static int folderOfFileNumber(const QString& text);

private:
    QStringList attachmentsNamedIn(const QString& body) const;

    const ProgramPaths& paths_;
    QString ownAddress_;
};
