#pragma once

#include "FolderFiles.h"
#include "MessageBoxService.h"
#include "MessageHandlingMarks.h"
#include "NMailApi.h"
#include "PlainPasswordConsent.h"
#include "ProgramPaths.h"
#include "ReceiveJournal.h"
#include "ReceivedMessageIds.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <vector>

// The account a receive session logs in with, taken afresh for every session.
struct ReceiveAccount {
    QString Pop3Server;
    std::int16_t UseApop = 0;
    QString AccountId;
    QString AccountPassword;
    // The option "受信したメールをサーバーに残す": the days a stored message stays on the server
    // before it is deleted there (0: it stays). Unset: every stored message is deleted at once.
    std::optional<int> KeepOnServerDays{};
};

// What a running session shows; the main window implements it with its own controls.
class ReceiveView {
public:
    virtual ~ReceiveView() = default;
    // The status bar (Label17).
    virtual void setStatus(const QString& text) = 0;
    // Message number of count is being fetched; also the moment to repaint the window.
    virtual void showProgress(int messageNumber, int messageCount) = 0;
    // The view fields (Text7, Text8, Text9, rtfEd): both the display of the message and the
    // staging area it is stored from.
    virtual void showMessage(const MessageFields& fields) = 0;
    // Before the spam test: the subject in the subject field, the sender in the date field (the
    // date comes when the message is filed) and the body, the sender field left as it is.
    virtual void showForSpamTest(const QString& subject, const QString& sender, const QString& body) = 0;
    // The New counter of folder 1 to 10 goes up by one.
    virtual void raiseNewCounter(int folder) = 0;
    // It goes down by one again: a stored message was taken back.
    virtual void lowerNewCounter(int folder) = 0;
};

// Plain exact-substring keyword matching over subject, sender and body.
using SpamTest = std::function<bool(const QString& subject, const QString& sender, const QString& body)>;

// One receive session: empties the POP3 mailbox, dropping spam and filing every other message into
// the folder its sender chooses. A message is deleted on the server only when it was dropped as
// spam or its record is on disk: deletions are sent after the touched folder files are flushed,
// and the server applies them only at QUIT, so a crash or a dropped connection at any instant
// leaves every unstored message on the server. A receive journal (ReceiveJournal) undoes at the
// next start the records of a session that ended before its records were flushed, so that those
// messages are stored once, not twice.
//
// When the server lists unique ids (UIDL), the id of every stored message is kept
// (ReceivedMessageIds) in the same step as its record, and a message whose id is known is never
// fetched again: it is deleted on the server instead, at once or, when the account keeps mail on
// the server, once its days are up. A deletion or QUIT that fails therefore never stores a
// message twice.
//
// Before a message is fetched its mark is written (MessageHandlingMarks): a message during whose
// handling the program died twice in a row is left on the server and named at the end of the next
// session, so that one such message cannot keep the messages behind it from ever arriving.
class ReceiveSession {
public:
    struct Outcome {
        int spamCount = 0;
        int storedCount = 0;
        // The session could not connect, log in or receive everything: the user has been told,
        // unless the account lacked a server, an ID or a password (then nothing was connected).
        bool failed = false;
        // The user stopped the session during a network wait and the server deleted nothing. The
        // records of the session were taken back, or, once kept with their ids, stay (the next
        // receive deletes those messages without storing them again).
        bool stopped = false;
    };

    ReceiveSession(const ProgramPaths& paths, NMailApi& mail, MessageBoxService& messageBoxes, SpamTest isSpam,
        std::array<QString, 9> sortingAddresses, ReceiveView& view);

    // Asks for the user's consent when the server offers no TLS; without it such a server gets no
    // password and the login fails.
    void setPasswordConsent(PlainPasswordConsent& consent) { passwordConsent_ = &consent; }

    // The day a stored message is recorded as first stored; the system's date when not set.
    void setToday(QDate today) { today_ = today; }

    Outcome run(const ReceiveAccount& account);

    static constexpr int BufferSize = 8192;

private:
    struct Incoming {
        QString subject;
        QString date;
        QString from;
        QString header;
        QString body;
    };

    // Failed: the session cannot go on; the user has been told, unless the user stopped it.
    enum class Fetched { Whole, RefusedByServer, RefusedByBound, Failed };
    Fetched fetch(int handle, int number, Incoming& message);
    // UIDL and the ids stored before; false when the session cannot go on (the user has been told).
    bool takeIds(int handle, int count, const ReceiveAccount& account);
    bool isDueForDeletion(const ReceivedMessageIds::Entry& entry, const ReceiveAccount& account) const;
    // What names message number in the handling marks: its id, or its number on a server without ids.
    QString handlingKey(int number) const;
    // Stops at the first failure other than a refusal; a stop by the user sets stopped_.
    void deleteOnServer(int handle, std::vector<int> numbers);
    void reportEndNotices();
    // False when part of the message cannot be kept: it is then left on the server.
    bool ExtractAttachments(int number, Incoming& message);
    QString workFilePath() const;
    bool FileIncoming(int folder, const Incoming& message, const QString& bodyAsFetched, int number);
    StoreStatus flushTouchedFolders();
    // Flushes the records, writes their ids and drops the journal (when given); on failure cuts the
    // records off again and tells the user. True when the stored messages may be deleted on the server.
    bool keepStoredRecords(const ReceiveJournal* journal);
    // Cuts off the records of this session and lowers the New counters they raised.
    void takeBackStoredRecords(const ReceiveJournal* journal);
    // The outcome of a session the user stopped; its counts stand only when its records were kept.
    static Outcome stoppedOutcome(Outcome outcome, bool recordsKept = false);
    void reportStop(int number, const QString& reason);
    void reportFailure();
    int login(int handle, const ReceiveAccount& account);
    QString libraryMessage();

    const ProgramPaths& paths_;
    NMailApi& mail_;
    MessageBoxService& messageBoxes_;
    SpamTest isSpam_;
    std::array<QString, 9> sortingAddresses_;
    ReceiveView& view_;
    PlainPasswordConsent* passwordConsent_ = nullptr;
    std::set<int> touchedFolders_;
    // The folder of every record stored in this session, in order.
    std::vector<int> storedFolders_;
    bool stopped_ = false;
    bool stopReported_ = false;
    // A full disk fails every later message the same way: the user hears of the first one only.
    bool leftOnServerReported_ = false;
    QDate today_;
    QDate sessionDay_;
    ReceivedMessageIds ids_;
    // The server's UIDL list, message n's id at n - 1; empty when the server gives none.
    QStringList serverIds_;
    bool idsInUse_ = false;
    // Messages the server would not give or delete, "メッセージ n: its words", told once at the end.
    QStringList refusedFetches_;
    QStringList refusedDeletions_;
    MessageHandlingMarks marks_;
    // Messages left on the server because the program died while handling them, told at the end.
    QStringList poisonous_;
};

// Folder 1 to 9 whose sorting address equals the sender exactly (case-sensitive, the sender
// untrimmed), the first such rule winning; 10 when none does.
int ChooseFolder(const QString& sender, const std::array<QString, 9>& sortingAddresses);

// The body to store: the body as the library left it, followed by a line break and a notice when
// the body as fetched holds the word "attachment".
QString AttachmentNotice(const QString& body, const QString& bodyAsFetched);

// The status-bar text that ends a session. A session that failed before it stored anything never
// reports "no new mail".
QString FinalStatusText(int spamCount, int newCounterSum, bool failedBeforeStoring = false);
