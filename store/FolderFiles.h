#pragma once

#include "ProgramPaths.h"
#include "RecordFile.h"
#include "StoreResult.h"

#include <QString>

// The eleven store files of mail: folders 1 to 9 (sorting folders), 10 (all other received
// mail) and 11, the sent history.
namespace FolderFiles {

constexpr int FirstFolder = 1;
constexpr int OthersFolder = 10;
constexpr int SentHistory = 11;

bool isFolder(int folder);

QString FolderFilePath(const ProgramPaths& paths, int folder);
QString TempFilePath(const ProgramPaths& paths, int folder);

// The store file of a folder with its record layout (message record, or sent record for 11).
RecordFile folderFile(const ProgramPaths& paths, int folder);

} // namespace FolderFiles

// What a received message puts into a record: the texts of the message view fields.
struct MessageFields {
    QString subject;
    QString from;
    QString date;
    QString body;
};

// Writes a received message as record n of folder k (1 to 10); every text is trimmed first.
StoreStatus StoreMessage(const ProgramPaths& paths, int folder, int recordNumber, const MessageFields& fields);
