#pragma once

#include "ProgramPaths.h"
#include "StoreResult.h"

#include <QString>

#include <array>
#include <optional>

// What a receive session undoes when it ends before its records are safely on disk: the length
// every received-mail folder file, and the sent history (an import files the user's own mail
// there), had before the session appended to it.
//
// The session writes the journal (flushed, with its folder) before its first record and removes
// it (again flushed) once its records are flushed and before it lets the server delete anything.
// A journal found at the next start therefore means that every message of that session is still
// on the server: the records it appended are cut off, so that the next session stores each of
// them once and not twice. Only between the removal and the end of QUIT can a crash leave a
// message both stored and on the server, and then it is stored twice, never lost.
class ReceiveJournal {
public:
    explicit ReceiveJournal(const ProgramPaths& paths);

    QString path() const;

    // Notes the lengths of folders 1 to 10 and of the sent history (a missing file as 0) and
    // flushes the note.
    StoreStatus begin();
    // Removes the note durably: from now on the session's records stay, and so do the ids written
    // for them to the pending id file (ReceivedMessageIds).
    StoreStatus commit() const;
    // The session's own way back when it cannot keep its records: cuts the folders back to the
    // lengths begin() noted, whether or not the note is still on disk, and removes the pending id
    // file and the note.
    StoreStatus undo() const;
    // When a note is left from a session that ended early, cuts each folder file back to its noted
    // length, flushes the files and removes the note. Nothing happens without a note, and a file
    // is never lengthened; a note that cannot be read is removed and cuts nothing. The pending id
    // file goes with the note.
    StoreStatus rollBack() const;

    static constexpr int ReceivedFolders = 10;
    // Folders 1 to 10 and the sent history, in this order.
    static constexpr int NotedFiles = ReceivedFolders + 1;
    using Lengths = std::array<qint64, NotedFiles>;

private:
    StoreStatus cutBackTo(const Lengths& lengths) const;
    StoreStatus removeNote() const;

    const ProgramPaths& paths_;
    std::optional<Lengths> noted_;
};
