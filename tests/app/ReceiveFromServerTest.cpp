#include "QtTestSuites.h"
#include "FolderFiles.h"
#include "LoopbackPort.h"
#include "MainFormHarness.h"
#include "NMail.h"
#include "Pop3Session.h"
#include "ReceiveSession.h"
#include "RecordLayouts.h"
#include "ScriptedServer.h"
#include "ScriptedPop3Server.h"
#include "SpamKeywordList.h"
#include "TestMailServers.h"
#include "TestProgramFolder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <memory>
#include <optional>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using RecordLayouts::MessageField;
using namespace Qt::StringLiterals;

namespace {

std::string message(const std::string& from, const std::string& subjectHeader, const std::string& body,
    const std::string& contentType = "text/plain; charset=UTF-8")
{
    return "From: " + from + "\nTo: user@localhost\nSubject: " + subjectHeader
        + "\nDate: Mon, 7 Dec 2026 09:00:00 +0900\nMIME-Version: 1.0\nContent-Type: " + contentType
        + "\nContent-Transfer-Encoding: 8bit\n\n" + body + "\n";
}

std::string withAttachment(const std::string& from)
{
    return "From: " + from
        + "\nTo: user@localhost\nSubject: =?UTF-8?B?5aCx5ZGK5pu4?=\nDate: Mon, 7 Dec 2026 09:05:00 +0900\nMIME-Version: 1.0\n"
          "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain; charset=UTF-8\n"
          "Content-Transfer-Encoding: 8bit\n\n添付を送ります。\n--b\nContent-Type: text/plain; name=\"report.txt\"\n"
          "Content-Disposition: attachment; filename*=UTF-8''%E5%A0%B1%E5%91%8A.txt\nContent-Transfer-Encoding: base64\n\n"
          "5YaF5a65\n--b--\n";
}

QByteArray corpusFile(const QString& name)
{
    QFile file(QStringLiteral(NEMUROA_MAIL_CORPUS "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A message of 1.2 MB, over the 1 MB cap the tests set.
QByteArray overTheSizeCap()
{
    QByteArray raw = "From: big@example.jp\nTo: user@localhost\nSubject: too large\nDate: Mon, 7 Dec 2026 09:00:00 +0900\n\n";
    while (raw.size() < 1200 * 1024)
        raw += "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz\n";
    return raw;
}

constexpr int SmallSizeCap = 1024 * 1024;

int modeOf(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? static_cast<int>(status.st_mode & 0777) : -1;
}

} // namespace

// Receiving from the test dovecot through the real main window and the real mail library.
class ReceiveFromServerTest : public QObject {
    Q_OBJECT

private:
    const TestMailServers& servers = TestMailServers::shared();
    std::unique_ptr<TestProgramFolder> folder;
    std::unique_ptr<NMail> library;
    std::unique_ptr<MainFormHarness> harness;
    std::optional<TestMailbox> box;

    void prepare(const QString& mailboxName, const QString& pop3Server)
    {
        box.emplace(servers.createMailbox(mailboxName));
        folder->putServerSettings("POP3=" + pop3Server.toUtf8() + "\r\n");
        putAccount(box->password());
    }
    void useScriptedServer(const ScriptedPop3Server& server, const QByteArray& moreSettings = {})
    {
        const QByteArray name = server.server().toUtf8();
        folder->putServerSettings("POP3=" + name + "\r\nPLAINPASS=" + name + "\r\n" + moreSettings);
        folder->put(QStringLiteral("★MailData/iniIdPass.ini"), "[EXEINI]\r\nNAME=taro\r\nNAME2=secret\r\nNAME3=1\r\n");
    }
    void putAccount(const QString& password)
    {
        folder->put(QStringLiteral("★MailData/iniIdPass.ini"),
            "[EXEINI]\r\nNAME=" + box->user().toUtf8() + "\r\nNAME2=" + password.toUtf8() + "\r\nNAME3=1\r\n");
    }
    void start(bool trustTestCa = true)
    {
        statusTrail.clear();
        harness = std::make_unique<MainFormHarness>(*folder, *library);
        QVERIFY(harness->start());
        if (trustTestCa)
            library->NMailSetOptionText(NMailApi::OptionTrustedCaFile, servers.caFile());
        harness->services.processEvents = [this] {
            statusTrail.append(harness->form().statusText());
            QCoreApplication::processEvents();
            harness->clock.tick();
        };
    }
    QStringList statusTrail;

private slots:
    void init()
    {
        QVERIFY2(servers.ok(), qPrintable(servers.problem()));
        folder = std::make_unique<TestProgramFolder>();
        library = std::make_unique<NMail>();
        SortRule first;
        first.Name = QStringLiteral("取引先");
        first.RuleAddress = QStringLiteral("partner@example.jp");
        folder->putSortRules({first});
    }
    void cleanup()
    {
        harness.reset();
        library.reset();
        folder.reset();
    }

    void sortsDropsSpamExtractsAttachmentsAndEmptiesTheMailbox()
    {
        prepare(QStringLiteral("receive_all"), servers.pop3Server());
        QVERIFY(SpamKeywordList(folder->paths()).AddKeyword(u"未承諾広告").ok());
        QVERIFY(box->deposit(message("partner@example.jp", "=?ISO-2022-JP?B?GyRCMnE1RBsoQg==?=", "お世話になります。①㈱")));
        QVERIFY(box->deposit(message("ad@example.com", "sale", "未承諾広告です")));
        QVERIFY(box->deposit(withAttachment("Partner@example.jp")));
        start();

        harness->clickTab(3);

        QCOMPARE(folder->storedSubjects(1), QStringList{QStringLiteral("会議")});
        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("報告書")});
        const Record first = *FolderFiles::folderFile(folder->paths(), 1).read(1).value();
        QCOMPARE(first.text(MessageField::Body).trimmed(), QStringLiteral("お世話になります。①㈱"));
        const Record attached = *FolderFiles::folderFile(folder->paths(), 10).read(1).value();
        QVERIFY(attached.text(MessageField::Body).trimmed().startsWith(QStringLiteral("添付を送ります。")));
        QVERIFY(attached.text(MessageField::Body).trimmed().endsWith(QStringLiteral("♪♪♪　添付ファイルがありましので、添付フォルダに展開しました。♪♪♪")));
        QCOMPARE(folder->contents(QStringLiteral("添付フォルダ/報告.txt")), QByteArray("内容"));
        QVERIFY(!folder->exists(QStringLiteral("添付フォルダ/0.txt")));
        QCOMPARE(harness->form().newCounter(1), QStringLiteral("1"));
        QCOMPARE(harness->form().newCounter(10), QStringLiteral("1"));
        QCOMPARE(box->count(), 0);
        QCOMPARE(harness->messageBoxes.requests.size(), 0);
    }

    // Mail as people send it (pictures between text, list footers, bounces, damaged and
    // unlabelled mail, HTML newsletters) arrives through the real session with the senders' text,
    // as the folder stores it: code page 932, each field cut at its width.
    void everydayMailIsStoredAsItsSendersWroteIt()
    {
        QFile file(QStringLiteral(NEMUROA_MAIL_CORPUS "/everyday/expected.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject all = QJsonDocument::fromJson(file.readAll()).object();
        QVERIFY(all.size() >= 18);
        prepare(QStringLiteral("receive_everyday"), servers.pop3Server());
        for (auto entry = all.begin(); entry != all.end(); ++entry)
            QVERIFY(box->deposit(corpusFile(u"everyday/"_s + entry.key()).toStdString()));
        start();

        harness->clickTab(3);

        QCOMPARE(harness->messageBoxes.requests.size(), 0);
        QCOMPARE(box->count(), 0);
        // Where each message is filed is the sorting's business: all of them are looked at.
        QStringList stored;
        const auto fields = [](const Record& record) {
            return QStringList {record.text(MessageField::Subject), record.text(MessageField::From),
                record.text(MessageField::Date), record.text(MessageField::Body)}
                .join(u'|');
        };
        for (int number = 1; number <= 10; ++number) {
            (void)FolderFiles::folderFile(folder->paths(), number).forEach([&](int, std::string_view bytes) {
                stored << fields(Record(RecordLayouts::Message, std::string(bytes)));
                return true;
            });
        }
        QCOMPARE(stored.size(), all.size());
        for (auto entry = all.begin(); entry != all.end(); ++entry) {
            const QJsonObject expected = entry.value().toObject();
            Record asStored(RecordLayouts::Message);
            asStored.setText(MessageField::Subject, expected[u"subject"].toString());
            asStored.setText(MessageField::From, expected[u"from"].toString());
            asStored.setText(MessageField::Date, expected[u"date"].toString());
            asStored.setText(MessageField::Body,
                AttachmentNotice(expected[u"body"].toString(), expected[u"notice"].toBool() ? u"attachment"_s : QString()));
            QVERIFY2(stored.contains(fields(asStored)), qPrintable(entry.key()));
            for (const QJsonValue& name : expected[u"attachments"].toArray())
                QVERIFY2(folder->exists(u"添付フォルダ/"_s + name.toString()), qPrintable(name.toString()));
        }
    }

    // Each hostile message between two ordinary ones: the ordinary ones arrive, the hostile one is
    // stored (its raw source kept whole when the library cannot take it apart), nothing is lost,
    // and the server keeps nothing, since everything was kept.
    void aHostileMessageIsKeptAndTheMailAroundItArrives_data()
    {
        QTest::addColumn<QByteArray>("hostile");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("bodyHolds");
        QTest::addColumn<bool>("keptWhole");
        QTest::addColumn<QString>("extracted");

        QByteArray longField = "From: long@example.jp\nTo: user@localhost\nSubject: long field\nX-Long: x";
        while (longField.size() < 300 * 1024)
            longField += "\n xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
        longField += "\n\nbody\n";

        QTest::newRow("container types only mentioned") << corpusFile(u"fuzz/mentions_container_types_320_times.eml"_s)
                                                        << u"old mail"_s << u"An archive of old mail follows."_s << false
                                                        << u"archive.txt"_s;
        QTest::newRow("multiparts nested too deep") << corpusFile(u"fuzz/multipart_nested_70_levels.eml"_s) << u"nested 70"_s
                                                    << u"入れ子"_s << true << QString();
        QTest::newRow("messages nested too deep") << corpusFile(u"fuzz/nested_message_70_levels.eml"_s) << u"forwarded 70"_s
                                                  << u"入れ子"_s << true << QString();
        QTest::newRow("boundaries never closed") << corpusFile(u"fuzz/unclosed_boundaries_70_levels.eml"_s) << u"unclosed"_s
                                                 << u"入れ子"_s << true << QString();
        for (const auto& [file, subject] : {std::pair{u"boundary_pieces_nested_70_levels"_s, u"pieces 70"_s},
                 std::pair{u"boundary_charset_nested_70_levels"_s, u"charset 70"_s},
                 std::pair{u"empty_boundary_nested_70_levels"_s, u"empty 70"_s}, std::pair{u"digest_nested_70_levels"_s, u"digest 70"_s}}) {
            QTest::newRow(qPrintable(u"nesting written as "_s + file)) << corpusFile(u"fuzz/"_s + file + u".eml"_s) << subject
                                                                       << u"入れ子"_s << true << QString();
        }
        QTest::newRow("more parts than the walk visits") << corpusFile(u"fuzz/parts_1001.eml"_s) << u"many parts"_s
                                                         << u"部分が多すぎる"_s << true << QString();
        QTest::newRow("more header fields than the scan reads") << corpusFile(u"fuzz/header_2100_fields.eml"_s)
                                                                << u"many fields"_s << u"ヘッダー"_s << true << QString();
        QTest::newRow("a header field past the scan limit") << longField << u"long field"_s << u"ヘッダー"_s << true << QString();
        QTest::newRow("over the size cap") << overTheSizeCap() << u"too large"_s << u"大きすぎる"_s << true << QString();
        QTest::newRow("one line longer than the size cap")
            << QByteArray("From: line@example.jp\nTo: user@localhost\nSubject: one long line\n\n") + QByteArray(2500 * 1024, 'x') + '\n'
            << u"one long line"_s << u"大きすぎる"_s << true << QString();
        QTest::newRow("a split part that can never join") << corpusFile(u"fuzz/split_part_numbered_past_its_total.eml"_s)
                                                         << u"split bad"_s << u"番号が正しくない"_s << true << QString();
        QTest::newRow("line breaks in encoded words") << corpusFile(u"fuzz/encoded_line_break_in_subject.eml"_s)
                                                      << u"Re: invoice  Bcc: attacker@example.com"_s << u"body"_s << false
                                                      << QString();
        QTest::newRow("encoded words no charset reads") << corpusFile(u"fuzz/undecodable_encoded_words.eml"_s)
                                                        << u"日 =?UTF-8?B?!!!!?= =?UTF-8?B?//8=?= 本"_s << u"body"_s << false
                                                        << QString();
    }
    void aHostileMessageIsKeptAndTheMailAroundItArrives()
    {
        QFETCH(QByteArray, hostile);
        QFETCH(QString, subject);
        QFETCH(QString, bodyHolds);
        QFETCH(bool, keptWhole);
        QFETCH(QString, extracted);
        QVERIFY(!hostile.isEmpty());
        prepare(QStringLiteral("receive_hostile_%1").arg(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_')), servers.pop3Server());
        QVERIFY(box->deposit(message("a@example.jp", "before", "first")));
        QVERIFY(box->deposit(hostile.toStdString()));
        QVERIFY(box->deposit(message("b@example.jp", "after", "last")));
        start();
        library->NMailSetOption(NMailApi::OptionMaximumMessageBytes, SmallSizeCap);
        const mode_t previousMask = ::umask(027);

        harness->clickTab(3);
        ::umask(previousMask);

        QCOMPARE(harness->messageBoxes.requests.size(), 0);
        QCOMPARE(folder->storedSubjects(10), (QStringList{u"before"_s, subject, u"after"_s}));
        QCOMPARE(box->count(), 0);
        const QString body = FolderFiles::folderFile(folder->paths(), 10).read(2).value()->text(MessageField::Body);
        QVERIFY2(body.contains(bodyHolds), qPrintable(body));
        const QRegularExpressionMatch named = QRegularExpression(u"元のメール全体を添付フォルダの「(.+)」に保存しました"_s).match(body);
        QCOMPARE(named.hasMatch(), keptWhole);
        if (keptWhole) {
            const QString kept = u"添付フォルダ/"_s + named.captured(1);
            QCOMPARE(folder->contents(kept).replace("\r\n", "\n"), hostile);
            QCOMPARE(modeOf(folder->path(kept)), 0600);
        }
        if (!extracted.isEmpty()) {
            QVERIFY(folder->exists(u"添付フォルダ/"_s + extracted));
            QCOMPARE(modeOf(folder->path(u"添付フォルダ/"_s + extracted)), 0600);
        }
    }

    void aMessageThatCannotBeKeptStaysOnTheServerAndTheMailAroundItArrives()
    {
        prepare(QStringLiteral("receive_cannot_keep"), servers.pop3Server());
        QVERIFY(box->deposit(message("a@example.jp", "before", "first")));
        QVERIFY(box->deposit(overTheSizeCap().toStdString()));
        QVERIFY(box->deposit(message("b@example.jp", "after", "last")));
        start();
        library->NMailSetOption(NMailApi::OptionMaximumMessageBytes, SmallSizeCap);
        // No file of this process may grow past 512 KB: the over-size message cannot be kept.
        rlimit previous {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = previous;
        small.rlim_cur = 512 * 1024;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);

        harness->clickTab(3);
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(folder->storedSubjects(10), (QStringList{u"before"_s, u"after"_s}));
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(u"メッセージ 2 "_s));
        QCOMPARE(box->count(), 1);
        QVERIFY(box->messages().front().find("Subject: too large") != std::string::npos);
    }

    void aMissingAttachmentFolderIsNamedAndTheMailStaysOnTheServer()
    {
        prepare(QStringLiteral("receive_no_attachment_folder"), servers.pop3Server());
        QVERIFY(box->deposit(message("a@example.jp", "kept", "body")));
        QVERIFY(box->deposit(withAttachment("b@example.jp")));
        QVERIFY(QDir(folder->path(u"添付フォルダ"_s)).removeRecursively());
        start();

        harness->clickTab(3);

        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(QDir::toNativeSeparators(folder->path(u"添付フォルダ"_s))));
        QCOMPARE(folder->storedSubjects(10), QStringList());
        QCOMPARE(box->count(), 2);
    }

    void aWrongPasswordShowsTheServersReplyUnderError()
    {
        prepare(QStringLiteral("receive_wrong_password"), servers.pop3Server());
        putAccount(QStringLiteral("wrong"));
        QVERIFY(box->deposit(message("a@example.jp", "kept", "body")));
        start();
        harness->clickTab(3);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests.first().title, QStringLiteral("エラー"));
        QVERIFY(!harness->messageBoxes.requests.first().text.isEmpty());
        QCOMPARE(box->count(), 1);
    }

    // The messages stored before the server went away are known by their ids: the next receive
    // deletes them without storing them again and fetches the rest.
    void theServerStoppingMidSessionStoresEveryMessageOnceByTheNextReceive()
    {
        PrivateDovecot dovecot(servers);
        QVERIFY(dovecot.start());
        prepare(QStringLiteral("receive_server_stops"), dovecot.pop3Server());
        // Message 2 is larger than what the library asks for ahead, so it is still on the server
        // when the server goes.
        const std::string beyondTheFetchWindow(Pop3Session::MaximumBytesInFlight + 1, 'x');
        for (int i = 1; i <= 3; ++i)
            QVERIFY(box->deposit(message("a@example.jp", "message " + std::to_string(i), i == 2 ? beyondTheFetchWindow : "body")));
        start();
        bool stopped = false;
        connect(&harness->form(), &QWidget::windowTitleChanged, &harness->form(), [&](const QString& title) {
            if (!stopped && title.endsWith(QStringLiteral("2/3")))
                stopped = dovecot.stop();
        });

        harness->clickTab(3);

        QVERIFY(stopped);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(QStringLiteral("メッセージ 2 ")));
        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("message 1")});
        QCOMPARE(box->count(), 3);

        QVERIFY(dovecot.start());
        harness->clickTab(3);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(folder->storedSubjects(10), (QStringList{u"message 1"_s, u"message 2"_s, u"message 3"_s}));
        QCOMPARE(box->count(), 0);
    }

    // The same bad endings as on the scripted library, over a real connection: after the next
    // receive every message is stored once and the server keeps only what it refused to give up.
    void aBadEndingOnARealConnectionStoresEveryMessageOnceByTheNextReceive_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("storedFirst");
        QTest::addColumn<QStringList>("storedInTheEnd");
        QTest::addColumn<QStringList>("leftInTheEnd");
        QTest::addColumn<int>("retrievals");
        QTest::addColumn<bool>("pipelining");
        const QStringList all{u"m1"_s, u"m2"_s, u"m3"_s, u"m4"_s, u"m5"_s};
        const QStringList allButTwo{u"m1"_s, u"m3"_s, u"m4"_s, u"m5"_s};
        // A server that takes commands ahead of its replies must end the same way.
        for (const bool pipelining : {false, true}) {
            const char* mode = pipelining ? " (pipelined)" : " (one at a time)";
            // Retrievals answered in both sessions: never one of a message already stored.
            QTest::addRow("connection dropped in message 3%s", mode) << 0 << QStringList{u"m1"_s, u"m2"_s} << all << QStringList() << 3 + 3 << pipelining;
            QTest::addRow("DELE refused for message 2%s", mode) << 1 << all << all << QStringList{u"m2"_s} << 5 << pipelining;
            QTest::addRow("QUIT refused%s", mode) << 2 << all << all << QStringList() << 5 << pipelining;
            QTest::addRow("RETR refused for message 2%s", mode) << 3 << allButTwo << allButTwo << QStringList{u"m2"_s} << 4 << pipelining;
        }
    }
    void aBadEndingOnARealConnectionStoresEveryMessageOnceByTheNextReceive()
    {
        QFETCH(int, fault);
        QFETCH(QStringList, storedFirst);
        QFETCH(QStringList, storedInTheEnd);
        QFETCH(QStringList, leftInTheEnd);
        QFETCH(int, retrievals);
        QFETCH(bool, pipelining);
        std::vector<std::string> raw;
        for (int i = 1; i <= 5; ++i)
            raw.push_back(message("a@example.jp", "m" + std::to_string(i), "body"));
        ScriptedPop3Server server(raw);
        QVERIFY(server.listening());
        ScriptedPop3Server::Faults faults;
        if (fault == 0)
            faults.droppedInRetrieval = 3;
        else if (fault == 1)
            faults.refusedDeletion = 2;
        else if (fault == 2)
            faults.refusesQuit = true;
        else
            faults.refusedRetrieval = 2;
        faults.offersPipelining = pipelining;
        server.setFaults(faults);
        useScriptedServer(server);
        start();

        harness->clickTab(3);
        QCOMPARE(folder->storedSubjects(10), storedFirst);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests.first().title, u"エラー"_s);

        // Only a refusal for good outlasts the session.
        faults.droppedInRetrieval = 0;
        faults.refusesQuit = false;
        server.setFaults(faults);
        harness->clickTab(3);
        QCOMPARE(folder->storedSubjects(10), storedInTheEnd);
        QStringList left;
        for (const std::string& kept : server.messages())
            left << QString::fromStdString(kept.substr(kept.find("Subject: ") + 9, 2));
        QCOMPARE(left, leftInTheEnd);
        QCOMPARE(static_cast<int>(server.retrievals().size()), retrievals);
        QCOMPARE(server.mostCommandsAhead() > 0, pipelining);
    }

    void aServerWithoutUidlIsRefusedWhenMailIsToBeKeptAndNothingIsDeleted()
    {
        ScriptedPop3Server server({message("a@example.jp", "m1", "body"), message("a@example.jp", "m2", "body")});
        QVERIFY(server.listening());
        server.setFaults({.offersUidl = false});
        useScriptedServer(server, "KEEPONSERVER=3\r\n");
        start();
        harness->clickTab(3);
        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(u"UIDL"_s));
        QCOMPARE(folder->storedSubjects(10), QStringList());
        QCOMPARE(server.messages().size(), 2u);
        QVERIFY(server.retrievals().empty());
    }

    void keptOnTheServerEachMessageArrivesOnceAndTheMailboxStaysWhole()
    {
        prepare(QStringLiteral("receive_keep_on_server"), servers.pop3Server());
        folder->putServerSettings("POP3=" + servers.pop3Server().toUtf8() + "\r\nKEEPONSERVER=0\r\n");
        // Enough kept that the one new message later asks for its own size, not for a listing of all.
        QStringList subjects;
        for (int i = 1; i <= 8; ++i) {
            subjects << u"kept %1"_s.arg(i);
            QVERIFY(box->deposit(message("a@example.jp", subjects.back().toStdString(), "body")));
        }
        start();
        harness->clickTab(3);
        QCOMPARE(box->count(), 8);
        QVERIFY(box->deposit(message("c@example.jp", "new", "body")));
        harness->clickTab(3);
        harness->clickTab(3);
        QCOMPARE(folder->storedSubjects(10), subjects + QStringList{u"new"_s});
        QCOMPARE(box->count(), 9);
        QCOMPARE(harness->messageBoxes.requests.size(), 0);
    }

    // N = 1: messages first stored two days ago go, the one stored yesterday stays.
    void keptForOneDayOnlyTheOlderCopiesAreDeleted()
    {
        prepare(QStringLiteral("receive_keep_one_day"), servers.pop3Server());
        folder->putServerSettings("POP3=" + servers.pop3Server().toUtf8() + "\r\nKEEPONSERVER=1\r\n");
        for (const char* subject : {"old1", "old2", "recent"})
            QVERIFY(box->deposit(message("a@example.jp", subject, "body")));
        start();
        harness->clickTab(3);
        QCOMPARE(box->count(), 3);
        const QString idFile = u"★MAilData/received.ids"_s;
        QByteArray ids = folder->contents(idFile);
        const QByteArray today = QDate::currentDate().toString(u"yyyy-MM-dd"_s).toLatin1();
        for (const int daysAgo : {2, 2, 1})
            ids.replace(ids.indexOf(today), today.size(), QDate::currentDate().addDays(-daysAgo).toString(u"yyyy-MM-dd"_s).toLatin1());
        folder->put(idFile, ids);

        harness->clickTab(3);
        QCOMPARE(box->count(), 1);
        QVERIFY(box->messages().front().find("Subject: recent") != std::string::npos);
        QCOMPARE(folder->storedSubjects(10), (QStringList{u"old1"_s, u"old2"_s, u"recent"_s}));
        QCOMPARE(harness->messageBoxes.requests.size(), 0);
    }

    // With the option off the ids change nothing a user sees: the records are byte for byte those
    // of a server without UIDL, and the server is emptied.
    void withTheOptionOffTheRecordsAreThoseOfAServerWithoutIds()
    {
        const std::vector<std::string> raw{message("partner@example.jp", "one", "本文①"), withAttachment("b@example.jp")};
        prepare(QStringLiteral("receive_option_off"), servers.pop3Server());
        for (const std::string& each : raw)
            QVERIFY(box->deposit(each));
        start();
        harness->clickTab(3);
        QCOMPARE(box->count(), 0);
        const QByteArray withIds = folder->contents(u"★MAilData/vbmdata10.data"_s) + folder->contents(u"★MAilData/vbmdata1.data"_s);
        harness.reset();
        // One program folder at a time: each makes itself the current directory, where vbmail.ini is.
        folder.reset();
        folder = std::make_unique<TestProgramFolder>();
        SortRule first;
        first.RuleAddress = QStringLiteral("partner@example.jp");
        folder->putSortRules({first});
        ScriptedPop3Server server(raw);
        server.setFaults({.offersUidl = false});
        useScriptedServer(server);
        start();
        harness->clickTab(3);
        QVERIFY(server.messages().empty());
        QCOMPARE(folder->contents(u"★MAilData/vbmdata10.data"_s) + folder->contents(u"★MAilData/vbmdata1.data"_s), withIds);
        QVERIFY(!withIds.isEmpty());
    }

    void aMessageThatNeverEndsIsNamedWithItsReasonAndTheSessionEnds()
    {
        // Message 1 is whole; message 2, listed at 100 bytes, goes on for 20 MB.
        const std::string filler = "X-Filler: " + std::string(60, 'a') + "\r\n";
        std::string endless = "+OK\r\n";
        while (endless.size() < 20 * 1024 * 1024)
            endless += filler;
        const ScriptedServer server(ScriptedServer::pop3({{"LIST", ScriptedServer::Answer("+OK\r\n1 200\r\n2 100\r\n.\r\n")},
            {"RETR 1", ScriptedServer::Answer("+OK\r\nFrom: a@example.jp\r\nSubject: whole\r\n\r\nbody\r\n.\r\n")},
            {"RETR 2", ScriptedServer::Answer(endless + ".\r\n")}}));
        box.emplace(servers.createMailbox(QStringLiteral("receive_endless_message")));
        folder->putServerSettings("POP3=" + server.address().toUtf8() + "\r\n");
        putAccount(box->password());
        start();
        PlainPasswordConsent consent = harness->form().plainPasswordConsent();
        QVERIFY(consent.remember(server.address()).ok());

        harness->clickTab(3);

        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        const QString text = harness->messageBoxes.requests.first().text;
        QVERIFY2(text.contains(QStringLiteral("メッセージ 2 ")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("超えても終わらなかった")), qPrintable(text));
        QCOMPARE(folder->storedSubjects(10), QStringList{QStringLiteral("whole")});
        QVERIFY(statusTrail.contains(QStringLiteral("新着メールあり。")));
    }

    void aConnectionThatFailsShowsTheLibrarysTextAndNeverNoNewMail_data()
    {
        QTest::addColumn<bool>("unreachable");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no server listening") << true << QStringLiteral("接続できません");
        QTest::newRow("certificate not trusted") << false << QStringLiteral("証明書を信頼できません");
    }
    void aConnectionThatFailsShowsTheLibrarysTextAndNeverNoNewMail()
    {
        QFETCH(bool, unreachable);
        QFETCH(QString, reason);
        QString server = servers.pop3Server();
        if (unreachable)
            server = QStringLiteral("127.0.0.1:%1").arg(portWithNoListener());
        prepare(QStringLiteral("receive_connect_fails"), server);
        QVERIFY(box->deposit(message("a@example.jp", "kept", "body")));
        start(false);

        harness->clickTab(3);

        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests.first().title, QStringLiteral("エラー"));
        QVERIFY2(harness->messageBoxes.requests.first().text.contains(reason), qPrintable(harness->messageBoxes.requests.first().text));
        QVERIFY(statusTrail.contains(QStringLiteral("受信できませんでした")));
        QVERIFY(!statusTrail.contains(QStringLiteral("新着メールなし")));
        QCOMPARE(box->count(), 1);
    }

    void aServerWithoutTlsGetsThePasswordOnlyOnceTheUserAgrees_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("no") << false;
        QTest::newRow("yes") << true;
    }
    void aServerWithoutTlsGetsThePasswordOnlyOnceTheUserAgrees()
    {
        QFETCH(bool, agree);
        const QString server = servers.pop3NoTlsServer();
        prepare(QStringLiteral("receive_without_tls"), server);
        QVERIFY(box->deposit(message("a@example.jp", "first", "body")));
        start();
        harness->messageBoxes.answers = {agree ? MessageBoxService::Answer::Yes : MessageBoxService::Answer::No};

        harness->clickTab(3);

        QCOMPARE(harness->messageBoxes.requests.size(), 1);
        QCOMPARE(harness->messageBoxes.requests.first().buttons, MessageBoxService::Buttons::YesNo);
        QVERIFY(harness->messageBoxes.requests.first().text.contains(server));
        QCOMPARE(box->count(), agree ? 0 : 1);
        QCOMPARE(folder->storedSubjects(10), agree ? QStringList{QStringLiteral("first")} : QStringList{});
        QCOMPARE(folder->contents(QStringLiteral("vbmail.ini")).contains("PLAINPASS=" + server.toUtf8() + "\r\n"), agree);
        QCOMPARE(statusTrail.contains(QStringLiteral("受信できませんでした")), !agree);

        // A yes is asked once; a no is asked again next time.
        QVERIFY(box->deposit(message("a@example.jp", "second", "body")));
        harness->messageBoxes.answers = {MessageBoxService::Answer::No};
        harness->clickTab(3);
        QCOMPARE(harness->messageBoxes.requests.size(), agree ? 1 : 2);
        QCOMPARE(box->count(), agree ? 0 : 2);
    }
};

NEMUROA_QTEST_SUITE(ReceiveFromServerTest)
#include "ReceiveFromServerTest.moc"
