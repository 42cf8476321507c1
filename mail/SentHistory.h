#pragma once

#include "ProgramPaths.h"
#include "RecordFile.h"
#include "StoreResult.h"

#include <QString>

// A message as the screen that sends it holds it: recipient, subject, body and the attachment list
// (paths joined by ","), untrimmed.
struct OutgoingMail {
    QString to;
    QString subject;
    QString body;
    QString attachments;
};

// The sent history vbmdata30.data: one record per message handed to the mail library, written
// before the library is called, so a message whose sending fails is in it as well.
class SentHistory {
public:
    explicit SentHistory(const ProgramPaths& paths);

    RecordFile file() const;

    // Appends subject, recipient and body trimmed, the body's line ends as CR LF, with sentAt (the clock text), Live 1, and forces
    // the record to disk before it returns. A missing file is created. The attachment list is not
    // kept. Returns the record number.
    StoreResult<int> StoreSentRecord(const OutgoingMail& mail, const QString& sentAt) const;

private:
    const ProgramPaths& paths_;
};
