#include "FakeNMail.h"
#include "FolderFiles.h"
#include "RecordLayouts.h"
#include "SendRun.h"
#include "StoreTestFolder.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

using RecordLayouts::SentField;

namespace {

constexpr int SentLength = 32574;

class RecordingView final : public SendRunView {
public:
    void showProgress(int number, int count) override { progress.append(QStringLiteral("%1/%2").arg(number).arg(count)); }
    void reportSendFailure(const QString& text) override { sendFailures.append(text); }
    void reportHistoryFailure(const QString& text) override { historyFailures.append(text); }
    void reportUnconfirmed(const QString& text) override { unconfirmed.append(text); }
    void reportRefusedRecipient(const QString& text) override { refusedRecipients.append(text); }
    void reportHistoryReplacement(const QString& text) override { historyReplacements.append(text); }

    QStringList progress;
    QStringList sendFailures;
    QStringList historyFailures;
    QStringList unconfirmed;
    QStringList refusedRecipients;
    QStringList historyReplacements;
};

class SendRunTest : public ::testing::Test {
protected:
    SendRun::Outcome run(const QStringList& recipients)
    {
        MailSender sender(mail, account);
        SendRun send(SentHistory(folder.paths()), sender, [] { return QStringLiteral(" 2026/12/06 13:45:12 "); }, view);
        return send.run(recipients, boxes);
    }
    QList<Record> records() const
    {
        QList<Record> found;
        const StoreStatus read = FolderFiles::folderFile(folder.paths(), FolderFiles::SentHistory).forEach([&](int, std::string_view bytes) {
            found.append(Record(RecordLayouts::Sent, std::string(bytes)));
            return true;
        });
        EXPECT_TRUE(read.ok());
        return found;
    }
    QStringList recipientsSentTo() const
    {
        QStringList to;
        for (const FakeNMail::SentMail& sent : mail.sent)
            to.append(sent.to);
        return to;
    }

    StoreTestFolder folder;
    FakeNMail mail;
    RecordingView view;
    SendAccount account{QStringLiteral("smtp.example.jp"), QStringLiteral("me@example.jp"), QStringLiteral("taro"), QStringLiteral("secret")};
    OutgoingMail boxes{QStringLiteral(" to@example.jp "), QStringLiteral("　件名 "), QStringLiteral("\r\n本文\r\n"), QStringLiteral("/a.txt,/b.txt")};
};

TEST_F(SendRunTest, OneMessageIsRecordedTrimmedBeforeTheLibraryGetsItAsItStands)
{
    mail.whileSending = [&](const FakeNMail::SentMail&) { EXPECT_EQ(records().size(), 1); };

    const SendRun::Outcome outcome = run({boxes.to});

    EXPECT_EQ(outcome.sent, 1);
    ASSERT_EQ(mail.sent.size(), 1);
    const FakeNMail::SentMail& sent = mail.sent.first();
    EXPECT_EQ(sent.server, account.SmtpServer);
    EXPECT_EQ(sent.to, boxes.to);
    EXPECT_EQ(sent.from, account.MailAddress);
    EXPECT_EQ(sent.subject, boxes.subject);
    EXPECT_EQ(sent.body, boxes.body);
    EXPECT_EQ(sent.attachments, boxes.attachments);
    // The account goes to the library before the send.
    EXPECT_EQ(mail.textOptions.value(NMailApi::OptionSmtpUser), QStringLiteral("taro"));
    EXPECT_EQ(mail.textOptions.value(NMailApi::OptionSmtpPassword), QStringLiteral("secret"));
    EXPECT_LT(mail.calls.indexOf(QStringLiteral("NMailSetOptionText(4, secret)")), mail.calls.indexOf(QRegularExpression(QStringLiteral("NMailSmtpSendMail.*"))));

    const QList<Record> stored = records();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0].text(SentField::To).trimmed(), QStringLiteral("to@example.jp"));
    EXPECT_EQ(stored[0].text(SentField::Subject).trimmed(), QStringLiteral("件名"));
    EXPECT_EQ(stored[0].text(SentField::Body).trimmed(), QStringLiteral("本文"));
    EXPECT_EQ(stored[0].text(SentField::SentAt).trimmed(), QStringLiteral("2026/12/06 13:45:12"));
    EXPECT_EQ(stored[0].live(), 1);
    EXPECT_EQ(stored[0].bytes().substr(32482, 90), std::string(90, '\0'));
    EXPECT_TRUE(view.sendFailures.isEmpty());
}

TEST_F(SendRunTest, BulkSendGoesToEachRecipientInOrderAndKeepsTheBoxesRecipientInEveryRecord)
{
    const QStringList recipients{QStringLiteral("a@example.jp"), QStringLiteral("b@example.jp"), QStringLiteral("c@example.jp")};
    run(recipients);
    EXPECT_EQ(recipientsSentTo(), recipients);
    EXPECT_EQ(view.progress, QStringList({QStringLiteral("1/3"), QStringLiteral("2/3"), QStringLiteral("3/3")}));
    const QList<Record> stored = records();
    ASSERT_EQ(stored.size(), 3);
    EXPECT_EQ(stored[0].bytes(), stored[1].bytes());
    EXPECT_EQ(stored[1].bytes(), stored[2].bytes());
    EXPECT_EQ(stored[0].text(SentField::To).trimmed(), QStringLiteral("to@example.jp"));
}

struct FailureCase {
    const char* name;
    QList<int> results;
    int calls;
    int records;
    int reports;
    bool mentionsTheRest;
};

class SendRunFailures : public SendRunTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SendRunFailures, ARefusedMessageIsReportedAndTheRestStillGoUnlessTheServerCannotBeUsed)
{
    const FailureCase& failure = GetParam();
    mail.sendResults = failure.results;
    mail.errorText = QStringLiteral("550 no such mailbox");
    const SendRun::Outcome outcome = run({QStringLiteral("a@x"), QStringLiteral("b@x"), QStringLiteral("c@x")});
    EXPECT_EQ(mail.sent.size(), failure.calls);
    EXPECT_EQ(records().size(), failure.records);
    ASSERT_EQ(view.sendFailures.size(), failure.reports);
    EXPECT_TRUE(view.sendFailures.first().startsWith(QStringLiteral("550 no such mailbox")));
    EXPECT_EQ(view.sendFailures.last().contains(SendRun::notTriedText(2)), failure.mentionsTheRest);
    EXPECT_EQ(outcome.stopped, failure.mentionsTheRest);
}

INSTANTIATE_TEST_SUITE_P(Results, SendRunFailures,
    ::testing::Values(FailureCase{"RefusedMiddle", {0, -1, 0}, 3, 3, 1, false},
        // Only the sign of the 16-bit result counts.
        FailureCase{"RefusedAsSixteenBits", {65535, 0, 0}, 3, 3, 1, false},
        FailureCase{"NotConnected", {NMailApi::SendNotConnected}, 1, 1, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SendRunTest, MessagesLeftWithoutAnAnswerAreNamedInOneLastBoxAndTheRestStillGo)
{
    struct Case {
        const char* name;
        QList<int> results;
        int calls;
        int failureBoxes;
        QStringList named;
        QStringList notNamed;
    };
    const Case cases[] = {
        {"unanswered first and last", {NMailApi::ResultSentUnconfirmed, 0, NMailApi::ResultSentUnconfirmed}, 3, 0,
            {QStringLiteral("1 通目（宛先 a@x）"), QStringLiteral("3 通目（宛先 c@x）")}, {QStringLiteral("2 通目")}},
        // The box of the failure that stops the run comes first; the unanswered one is still named.
        {"then the server is gone", {NMailApi::ResultSentUnconfirmed, NMailApi::SendNotConnected}, 2, 1,
            {QStringLiteral("1 通目（宛先 a@x）")}, {QStringLiteral("2 通目"), QStringLiteral("3 通目")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view = {};
        mail.sent.clear();
        mail.sendResults = c.results;
        mail.errorText = QStringLiteral("応答がありませんでした");
        const SendRun::Outcome outcome = run({QStringLiteral("a@x"), QStringLiteral("b@x"), QStringLiteral("c@x")});
        EXPECT_EQ(mail.sent.size(), c.calls);
        EXPECT_EQ(view.sendFailures.size(), c.failureBoxes);
        EXPECT_EQ(outcome.unconfirmed, c.named.size());
        ASSERT_EQ(view.unconfirmed.size(), 1);
        EXPECT_TRUE(view.unconfirmed.first().contains(mail.errorText));
        for (const QString& named : c.named)
            EXPECT_TRUE(view.unconfirmed.first().contains(named)) << named.toStdString();
        for (const QString& notNamed : c.notNamed)
            EXPECT_FALSE(view.unconfirmed.first().contains(notNamed)) << notNamed.toStdString();
    }
}

// Every way a run can end, and what the screen is then told: only a run in which every message
// was taken counts as sent; any other keeps the boxes and says how much went.
TEST_F(SendRunTest, OnlyARunThatSentEveryMessageCountsAsSent)
{
    struct Case {
        const char* name;
        QStringList recipients;
        QList<int> results;
        bool historyBlocked;
        bool allSent;
        QString status;
        // What the last box of the run says, besides the library's words; empty: no box.
        QString lastBoxSays;
    };
    const QStringList one{QStringLiteral("a@x")};
    const QStringList three{QStringLiteral("a@x"), QStringLiteral("b@x"), QStringLiteral("c@x")};
    const int notConnected = NMailApi::SendNotConnected;
    const int unconfirmed = NMailApi::ResultSentUnconfirmed;
    const Case cases[] = {
        {"one sent", one, {0}, false, true, QString(), QString()},
        {"all three sent", three, {0, 0, 0}, false, true, QString(), QString()},
        {"one refused", one, {-1}, false, false, SendRun::nothingSentText(), SendRun::nothingSentText()},
        {"server unreachable", one, {notConnected}, false, false, SendRun::nothingSentText(), SendRun::nothingSentText()},
        {"time-out without an answer", one, {unconfirmed}, false, false,
            QStringLiteral("1 件中 0 件を送信しました。1 件は届いたかどうか確かめられません。"), QStringLiteral("1 通目（宛先 a@x）")},
        {"history cannot be written", one, {}, true, false, SendRun::nothingSentText(), QStringLiteral("送信履歴に書き込めない")},
        {"recipient refused before sending", {QStringLiteral("a@x, bob")}, {}, false, false, SendRun::nothingSentText(),
            SendRun::nothingSentText()},
        {"no recipient at all", {}, {}, false, false, SendRun::nothingSentText(), QString()},
        {"bulk, the middle refused", three, {0, -1, 0}, false, false,
            QStringLiteral("3 件中 2 件を送信しました。1 件は送信していません。"), SendRun::messageNotSentText(2, QStringLiteral("b@x"))},
        {"bulk, the server gone after the first", three, {0, notConnected}, false, false,
            QStringLiteral("3 件中 1 件を送信しました。2 件は送信していません。"), SendRun::notTriedText(1)},
        {"bulk, the first unanswered", three, {unconfirmed, 0, 0}, false, false,
            QStringLiteral("3 件中 2 件を送信しました。1 件は届いたかどうか確かめられません。"), QStringLiteral("1 通目（宛先 a@x）")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StoreTestFolder own;
        if (c.historyBlocked) {
            ASSERT_TRUE(QDir().mkpath(FolderFiles::FolderFilePath(own.paths(), FolderFiles::SentHistory)));
        }
        view = {};
        mail.sent.clear();
        mail.sendResults = c.results;
        mail.errorText = QStringLiteral("エラーの理由");
        MailSender sender(mail, account);
        SendRun send(SentHistory(own.paths()), sender, [] { return QStringLiteral("2026/12/06 13:45:12"); }, view);

        const SendRun::Outcome outcome = send.run(c.recipients, boxes);

        EXPECT_EQ(outcome.allSent(), c.allSent);
        if (!c.allSent) {
            EXPECT_EQ(SendRun::notSentStatus(outcome), c.status);
        }
        const QStringList shown = view.sendFailures + view.historyFailures + view.unconfirmed + view.refusedRecipients;
        if (c.lastBoxSays.isEmpty()) {
            EXPECT_EQ(shown, QStringList());
        } else {
            ASSERT_FALSE(shown.isEmpty());
            EXPECT_TRUE(shown.last().contains(c.lastBoxSays)) << shown.last().toStdString();
        }
    }
}

TEST_F(SendRunTest, ASentRecordThatCannotBeWrittenStopsTheSendBeforeTheLibraryIsCalled)
{
    ASSERT_TRUE(QDir().mkpath(FolderFiles::FolderFilePath(folder.paths(), FolderFiles::SentHistory)));
    EXPECT_FALSE(run({QStringLiteral("a@x"), QStringLiteral("b@x")}).allSent());
    EXPECT_TRUE(mail.sent.isEmpty());
    ASSERT_EQ(view.historyFailures.size(), 1);
    EXPECT_TRUE(view.historyFailures.first().contains(SendRun::notTriedText(1)));
}

TEST_F(SendRunTest, ARecipientThatIsNoAddressIsNamedAndNothingIsStoredOrSent)
{
    struct Case {
        QString typed;
        QString named;
    };
    const Case cases[] = {
        {QStringLiteral("alice@example.jp, bob"), QStringLiteral("「bob」")},
        {QStringLiteral("a@example.jp; b@example.jp、山田 <c@example-compa"), QStringLiteral("「山田 <c@example-compa」")},
        {QStringLiteral("  "), QStringLiteral("宛先が入力されていません")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        view.refusedRecipients.clear();
        const SendRun::Outcome outcome = run({c.typed});
        EXPECT_FALSE(outcome.allSent());
        ASSERT_EQ(view.refusedRecipients.size(), 1);
        EXPECT_TRUE(view.refusedRecipients.first().contains(c.named)) << view.refusedRecipients.first().toStdString();
        EXPECT_TRUE(view.refusedRecipients.first().contains(SendRun::nothingSentText()));
    }
    EXPECT_TRUE(mail.sent.isEmpty());
    EXPECT_TRUE(records().isEmpty());

    // Separated recipients go to the library in one call, as typed.
    const QString several = QStringLiteral("\"山田, 太郎\" <a@example.jp>; b@example.jp、c@example.jp");
    EXPECT_TRUE(run({several}).allSent());
    ASSERT_EQ(mail.sent.size(), 1);
    EXPECT_EQ(mail.sent.first().to, several);
}

TEST_F(SendRunTest, CharactersTheHistoryCannotHoldAreToldOncePerSend)
{
    boxes.subject = QStringLiteral("ご案内😀");
    boxes.body = QStringLiteral("𠮷野です");
    run({QStringLiteral("a@example.jp"), QStringLiteral("b@example.jp"), QStringLiteral("c@example.jp")});
    ASSERT_EQ(view.historyReplacements.size(), 1);
    EXPECT_EQ(view.historyReplacements.first(), SendRun::historyReplacementText(QStringLiteral("😀𠮷")));
    EXPECT_EQ(mail.sent.first().subject, boxes.subject);
    EXPECT_EQ(records().first().text(SentField::Subject).trimmed(), QStringLiteral("ご案内?"));

    view.historyReplacements.clear();
    boxes.subject = QStringLiteral("ご案内①㈱～");
    boxes.body = QStringLiteral("本文");
    run({QStringLiteral("a@example.jp")});
    EXPECT_TRUE(view.historyReplacements.isEmpty());
}

TEST_F(SendRunTest, TheStoredBodyHoldsCrLfWhateverLineEndsTheBoxHad)
{
    boxes.body = QStringLiteral("一行目\n二行目\r三行目\r\n四行目");
    run({boxes.to});
    EXPECT_EQ(records().first().text(SentField::Body).trimmed(), QStringLiteral("一行目\r\n二行目\r\n三行目\r\n四行目"));
}

TEST_F(SendRunTest, AMissingSentHistoryIsCreated)
{
    run({boxes.to});
    EXPECT_EQ(StoreTestFolder::contents(FolderFiles::FolderFilePath(folder.paths(), FolderFiles::SentHistory)).size(), SentLength);
}

} // namespace
