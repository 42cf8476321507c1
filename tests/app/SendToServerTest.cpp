#include "QtTestSuites.h"
#include "AddressBook.h"
#include "BoxKeyAnswerer.h"
#include "ComposeScreen.h"
#include "FolderFiles.h"
#include "MainFormHarness.h"
#include "NMail.h"
#include "QtMessageBoxService.h"
#include "ScriptedSmtpServer.h"
#include "RecordLayouts.h"
#include "ScriptedServer.h"
#include "SendController.h"
#include "SendRun.h"
#include "TestMailServers.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace Names = WidgetNames;
using RecordLayouts::MessageField;
using RecordLayouts::SentField;

// Sending through the real main window and the real mail library to the test SMTP sink, which
// delivers into the test dovecot, so what was sent can be received again.
class SendToServerTest : public QObject {
    Q_OBJECT

private:
    const TestMailServers& servers = TestMailServers::shared();
    std::unique_ptr<TestProgramFolder> folder;
    std::unique_ptr<NMail> library;
    std::unique_ptr<MainFormHarness> harness;
    std::optional<TestMailbox> box;
    QString subject = QStringLiteral("見積書の件①㈱～（ご確認ください）");
    QString body = QStringLiteral("山田様\n\nお世話になっております。①②③ ㈱ Ⅰ 髙 ～ ﾊﾝｶｸ\n以上です。");

    void start(const QString& mailboxName, MessageBoxService* boxes = nullptr, const QString& smtpServer = QString())
    {
        box.emplace(servers.createMailbox(mailboxName));
        folder->putServerSettings("SMTP=" + (smtpServer.isEmpty() ? servers.smtpServer() : smtpServer).toUtf8() + "\r\nPOP3=" + servers.pop3Server().toUtf8()
            + "\r\nMAIL=" + box->address().toUtf8() + "\r\n");
        folder->put(QStringLiteral("★MailData/iniIdPass.ini"),
            "[EXEINI]\r\nNAME=" + box->user().toUtf8() + "\r\nNAME2=" + box->password().toUtf8() + "\r\nNAME3=1\r\n");
        harness = boxes ? std::make_unique<MainFormHarness>(*folder, *library, *boxes) : std::make_unique<MainFormHarness>(*folder, *library);
        QVERIFY(harness->start());
        library->NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
    }
    QString attachment(const QString& name, const QByteArray& bytes) const
    {
        folder->put(name, bytes);
        return folder->path(name);
    }
    void compose(const QString& to, const QString& attachments) const { compose(to, subject, attachments); }
    void compose(const QString& to, const QString& subjectText, const QString& attachments) const
    {
        harness->clickTab(2);
        harness->find<QLineEdit>(Names::ToText)->setText(to);
        harness->find<QLineEdit>(Names::SubjectText)->setText(subjectText);
        harness->find<QPlainTextEdit>(Names::BodyText)->setPlainText(body);
        harness->find<QLineEdit>(Names::AttachText)->setText(attachments);
        QTest::mouseClick(harness->find<QPushButton>(Names::Command14), Qt::LeftButton);
    }
    QList<Record> sentRecords() const
    {
        QList<Record> found;
        (void)FolderFiles::folderFile(folder->paths(), FolderFiles::SentHistory).forEach([&](int, std::string_view bytes) {
            found.append(Record(RecordLayouts::Sent, std::string(bytes)));
            return true;
        });
        return found;
    }

private slots:
    void init()
    {
        QVERIFY2(servers.ok(), qPrintable(servers.problem()));
        folder = std::make_unique<TestProgramFolder>();
        library = std::make_unique<NMail>();
    }
    void cleanup()
    {
        harness.reset();
        library.reset();
        folder.reset();
    }

    void aComposedMailGoesOutAndComesBackWithSubjectBodyAndAttachmentsExactly()
    {
        start(QStringLiteral("send_round_trip"));
        QByteArray binary;
        for (int i = 0; i < 5000; ++i)
            binary.append(static_cast<char>(i * 13));
        const QString attachments = attachment(QStringLiteral("御見積書①.txt"), QByteArray("見積の中身\r\n"))
            + u',' + attachment(QStringLiteral("data.bin"), binary);

        compose(box->address(), attachments);

        QCOMPARE(harness->messageBoxes.texts(), QStringList());
        QCOMPARE(harness->form().statusText(), ComposeScreen::finishedStatus());
        const QList<Record> records = sentRecords();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].text(SentField::To).trimmed(), box->address());
        QCOMPARE(records[0].text(SentField::Subject).trimmed(), subject);
        QCOMPARE(records[0].live(), 1);
        QCOMPARE(box->count(), 1);

        // Received again on the receive tab, into the others folder.
        harness->clickTab(3);
        QCOMPARE(folder->storedSubjects(10), QStringList{subject});
        const Record received = *FolderFiles::folderFile(folder->paths(), 10).read(1).value();
        const QString receivedBody = received.text(MessageField::Body).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QVERIFY2(receivedBody.contains(body), qPrintable(receivedBody));
        QCOMPARE(folder->contents(QStringLiteral("添付フォルダ/御見積書①.txt")), QByteArray("見積の中身\r\n"));
        QCOMPARE(folder->contents(QStringLiteral("添付フォルダ/data.bin")), binary);
        QCOMPARE(box->count(), 0);
    }

    void aRecipientTheServerRefusesKeepsItsRecordAndShowsTheReplyOnce()
    {
        start(QStringLiteral("send_refused"));
        // The sink has no mailbox for a local part with a slash and refuses the recipient.
        compose(QStringLiteral("no/body@localhost"), QString());
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests[0].title, SendController::sendErrorTitle());
        QVERIFY2(harness->messageBoxes.requests[0].text.contains(QStringLiteral("550")), qPrintable(harness->messageBoxes.requests[0].text));
        QCOMPARE(sentRecords().size(), 1);
        QCOMPARE(harness->form().statusText(), SendRun::nothingSentText());
    }

    void aBulkSendGoesOnPastARefusedEntryOverOneLogin()
    {
        start(QStringLiteral("send_bulk"));
        const AddressBook book(folder->paths());
        for (const QString& address : {box->address(), QStringLiteral("no/body@localhost"), box->address()})
            QVERIFY(book.RegisterAddress(QStringLiteral("宛先"), address).ok());
        harness->clickTab(2);
        QTest::mouseClick(harness->find<QRadioButton>(Names::Option2), Qt::LeftButton);
        compose(QStringLiteral("全員"), QString());
        QCOMPARE(harness->messageBoxes.requests.size(), 2);
        QVERIFY(harness->messageBoxes.requests[0].text.contains(QStringLiteral("550")));
        QCOMPARE(harness->messageBoxes.requests[1].text, QStringLiteral("3 件中 2 件を送信しました。1 件は送信していません。"));
        QCOMPARE(sentRecords().size(), 3);
        QCOMPARE(box->count(), 2);
    }

    void aBulkSendNamesTheMessageLeftWithoutAnAnswerAtTheEndAndGoesOn()
    {
        // The first message's connection is dropped after its last byte, before any answer.
        const ScriptedServer server(ScriptedServer::smtp({{{1, "."}, ScriptedServer::Answer({}, ScriptedServer::Answer::Then::Close)}}));
        folder->putServerSettings("SMTP=" + server.address().toUtf8() + "\r\nPOP3=" + servers.pop3Server().toUtf8()
            + "\r\nMAIL=taro@example.jp\r\n");
        harness = std::make_unique<MainFormHarness>(*folder, *library);
        QVERIFY(harness->start());
        const AddressBook book(folder->paths());
        for (const QString& address : {QStringLiteral("first@example.jp"), QStringLiteral("second@example.jp")})
            QVERIFY(book.RegisterAddress(QStringLiteral("宛先"), address).ok());
        harness->clickTab(2);
        QTest::mouseClick(harness->find<QRadioButton>(Names::Option2), Qt::LeftButton);
        compose(QStringLiteral("全員"), QString());

        // Then the tally: the screen keeps the mail, as one of the two may not have arrived.
        QCOMPARE(harness->messageBoxes.requests.size(), 2);
        QCOMPARE(harness->messageBoxes.requests[1].text, QStringLiteral("2 件中 1 件を送信しました。1 件は届いたかどうか確かめられません。"));
        QCOMPARE(harness->messageBoxes.requests[0].title, SendController::sendErrorTitle());
        const QString text = harness->messageBoxes.requests[0].text;
        QVERIFY2(text.contains(QStringLiteral("1 通目（宛先 first@example.jp）")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("second@example.jp")), qPrintable(text));
        QCOMPARE(sentRecords().size(), 2);
        QCOMPARE(server.connections(), 2);
    }

    void anAddressBeyondAsciiIsRefusedInABoxWhenTheServerCannotTakeIt()
    {
        // The sink offers SMTPUTF8; this server does not. The message is refused right after its
        // greeting, before the password would be asked about.
        ScriptedSmtpServer server;
        QtMessageBoxService boxes;
        start(QStringLiteral("send_utf8_refused"), &boxes, server.server());
        boxes.setParentWindow(&harness->form());
        BoxKeyAnswerer answers({Qt::Key_Return});
        compose(QStringLiteral("山田@example.jp"), QString());
        QCOMPARE(answers.titles().size(), 1);
        QCOMPARE(answers.titles().last(), SendController::sendErrorTitle());
        QVERIFY2(answers.texts().last().contains(QStringLiteral("SMTPUTF8")), qPrintable(answers.texts().last()));
        QCOMPARE(server.received().find("MAIL FROM"), std::string::npos);
    }

    // The whole of what a user types into one send, read back by three readers that share no code
    // with the program (tests/mail/check_sent_message.py).
    void oneSendReachesEveryRecipientAndEveryReaderRecoversSubjectNamesAndBytes()
    {
        // Short mailbox names: the recipient box holds 60 bytes.
        start(QStringLiteral("r_a"));
        const TestMailbox second = servers.createMailbox(QStringLiteral("r_b"));
        const TestMailbox third = servers.createMailbox(QStringLiteral("r_c"));
        const QString longSubject = QStringLiteral("令和八年度第三四半期の営業報告書および来期予算案についての最終確認のお願い（至急）").left(40);
        QCOMPARE(longSubject.size(), 40);
        const QString to = QStringLiteral("\"山田, 太郎\" <%1>、%2; %3").arg(box->address(), second.address(), third.address());
        QByteArray binary;
        for (int i = 0; i < 7000; ++i)
            binary.append(static_cast<char>(i * 31));
        const QString firstName = QStringLiteral("令和八年度　第三四半期　営業報告書（最終版・社外秘）①㈱～.txt");
        const QString secondName = QStringLiteral("取引先一覧表と連絡先の更新について（二〇二六年十二月現在）.bin");
        const QString firstPath = attachment(firstName, QByteArray("報告書の中身\r\n"));
        const QString secondPath = attachment(secondName, binary);

        compose(to, longSubject, firstPath + u',' + secondPath);

        QVERIFY2(harness->messageBoxes.texts().isEmpty(), qPrintable(harness->messageBoxes.texts().join(u'\n')));
        QCOMPARE(harness->form().statusText(), ComposeScreen::finishedStatus());
        const QStringList envelope{box->address(), second.address(), third.address()};
        for (const TestMailbox* mailbox : {static_cast<const TestMailbox*>(&*box), &second, &third}) {
            const std::vector<TestMailbox::Delivery> deliveries = mailbox->deliveries();
            QCOMPARE(deliveries.size(), std::size_t(1));
            QCOMPARE(deliveries[0].recipients, envelope);
        }

        QTemporaryDir work;
        QFile raw(work.filePath(QStringLiteral("sent.eml")));
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write(QByteArray::fromStdString(box->deliveries()[0].raw));
        raw.close();
        const QJsonObject expected{
            {QStringLiteral("subject"), longSubject},
            {QStringLiteral("to"), QJsonArray{QJsonArray{QStringLiteral("山田, 太郎"), box->address()}, QJsonArray{QString(), second.address()},
                                       QJsonArray{QString(), third.address()}}},
            {QStringLiteral("attachments"), QJsonArray{QJsonArray{firstName, firstPath}, QJsonArray{secondName, secondPath}}},
        };
        QFile described(work.filePath(QStringLiteral("expected.json")));
        QVERIFY(described.open(QIODevice::WriteOnly));
        described.write(QJsonDocument(expected).toJson());
        described.close();
        QProcess check;
        check.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(NEMUROA_CHECK_SENT_MESSAGE), raw.fileName(), described.fileName()});
        QVERIFY(check.waitForFinished(120000));
        QVERIFY2(check.exitCode() == 0, (check.readAllStandardOutput() + check.readAllStandardError()).constData());
    }
};

NEMUROA_QTEST_SUITE(SendToServerTest)
#include "SendToServerTest.moc"
