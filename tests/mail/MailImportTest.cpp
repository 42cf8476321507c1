// Importing what other mail programs keep (mbox, Maildir, .eml) with the real mail library, from
// the class and from the command line, and exporting it again for Python's mailbox module.

#include "FolderFiles.h"
#include "ImportSource.h"
#include "MailImport.h"
#include "MboxExport.h"
#include "NMail.h"
#include "RecordLayouts.h"
#include "SentHistory.h"
#include "SortRuleBook.h"
#include "TestProgramFolder.h"

#include "QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Friend = QStringLiteral("friend@example.jp");
const QString Own = QStringLiteral("me@example.jp");

QByteArray message(const QByteArray& from, const QByteArray& subject, const QByteArray& date, const QByteArray& body,
    const QByteArray& extra = {})
{
    return "From: " + from + "\nTo: someone@example.jp\nSubject: " + subject + "\nDate: " + date + "\n" + extra
        + "MIME-Version: 1.0\nContent-Type: text/plain; charset=us-ascii\n\n" + body;
}

QByteArray crlf(QByteArray text) { return text.replace("\n", "\r\n"); }

// Sources as desktop programs leave them; the messages' dates are not in the order of the files.
struct Sources {
    explicit Sources(const QString& root) : root(root)
    {
        put(QStringLiteral("thunderbird/Inbox"),
            "From - Thu Dec  3 09:00:00 2026\n"
                + message(Friend.toLatin1(), "=?iso-2022-jp?b?GyRCRnxLXDhsJE43b0w+GyhC?=", "Thu, 03 Dec 2026 09:00:00 +0900",
                    "line\n>From quoted\n>>From twice\n")
                + "\nFrom - Wed Dec  2 09:00:00 2026\n"
                + "From: other@example.jp\nSubject: with attachment\nDate: Wed, 02 Dec 2026 09:00:00 +0900\nMIME-Version: 1.0\n"
                  "Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\nContent-Type: text/plain; charset=us-ascii\n\nsee the memo\n"
                  "--b1\nContent-Type: text/plain; name=\"memo.txt\"\nContent-Disposition: attachment; filename=\"memo.txt\"\n\n"
                  "the memo\n--b1--\n"
                + "\nFrom - Tue Dec  1 09:00:00 2026\n"
                + message("other@example.jp", "no final newline", "Tue, 01 Dec 2026 09:00:00 +0900", "last line"));
        put(QStringLiteral("maildir/cur/1764806400.1.host:2,S"),
            crlf(message("other@example.jp", "maildir seen", "Fri, 04 Dec 2026 09:00:00 +0900", "seen body\n")));
        put(QStringLiteral("maildir/new/1764892800.2.host"), message(Own.toLatin1(), "maildir new", "Sat, 05 Dec 2026 09:00:00 +0900", "mine\n"));
        QDir(root).mkpath(QStringLiteral("maildir/tmp"));
        put(QStringLiteral("saved/crlf.eml"), crlf(message("other@example.jp", "eml crlf", "Sun, 06 Dec 2026 09:00:00 +0900", "crlf body\n")));
        put(QStringLiteral("saved/lf.eml"), message("other@example.jp", "eml lf", "Mon, 07 Dec 2026 09:00:00 +0900", "lf body\n"));
        // The first message of the mbox again, saved on its own: one message.
        put(QStringLiteral("saved/again.EML"),
            crlf(message(Friend.toLatin1(), "=?iso-2022-jp?b?GyRCRnxLXDhsJE43b0w+GyhC?=", "Thu, 03 Dec 2026 09:00:00 +0900",
                "line\nFrom quoted\n>From twice\n")));
        // Two different messages under one Message-ID: both are kept.
        put(QStringLiteral("saved/reuse1.eml"),
            message("other@example.jp", "reused id one", "Tue, 08 Dec 2026 09:00:00 +0900", "one\n", "Message-ID: <same@example.jp>\n"));
        put(QStringLiteral("saved/reuse2.eml"),
            message("other@example.jp", "reused id two", "Wed, 09 Dec 2026 09:00:00 +0900", "two\n", "Message-ID: <same@example.jp>\n"));
    }

    void put(const QString& tail, const QByteArray& bytes) const
    {
        const QString path = root + u'/' + tail;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QString root;
};

const QStringList OthersInDateOrder{QStringLiteral("no final newline"), QStringLiteral("with attachment"), QStringLiteral("maildir seen"),
    QStringLiteral("eml crlf"), QStringLiteral("eml lf"), QStringLiteral("reused id one"), QStringLiteral("reused id two")};

class MailImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sourceDir_.isValid());
        sources_ = std::make_unique<Sources>(sourceDir_.path());
        ASSERT_TRUE(SortRuleBook(program_.paths()).append(TestProgramFolder::sortRule(QStringLiteral("友人"), Friend)).ok());
    }

    MailImport::Summary import(const QStringList& paths, int stopAfter = 0)
    {
        MailImport importer(program_.paths(), mail_, {Friend}, QStringLiteral("自分 <%1>").arg(Own));
        importer.setBatchSize(3);
        return importer.run(paths, [&](int done, int) {
            if (done == stopAfter)
                importer.stop();
        });
    }

    QString body(int folder, int record) const
    {
        const auto read = FolderFiles::folderFile(program_.paths(), folder).read(record);
        return read.ok() && read.value() ? read.value()->text(RecordLayouts::MessageField::Body).trimmed() : QString();
    }

    QTemporaryDir sourceDir_;
    std::unique_ptr<Sources> sources_;
    TestProgramFolder program_;
    NMail mail_;
};

TEST_F(MailImportTest, StoresEveryConventionOnceInDateOrderAndNothingTheSecondTime)
{
    const MailImport::Summary first = import({sourceDir_.path()});
    EXPECT_EQ(first.failure, QString());
    EXPECT_EQ(first.refused, QStringList());
    EXPECT_EQ(first.found, 10);
    EXPECT_EQ(first.stored(), 9);
    EXPECT_EQ(first.alreadyThere, 1);
    EXPECT_EQ(program_.storedSubjects(1), QStringList{QStringLiteral("日本語の件名")});
    EXPECT_EQ(program_.storedSubjects(FolderFiles::OthersFolder), OthersInDateOrder);
    EXPECT_EQ(body(1, 1), QStringLiteral("line\r\nFrom quoted\r\n>From twice"));
    EXPECT_EQ(body(FolderFiles::OthersFolder, 1), QStringLiteral("last line"));
    EXPECT_TRUE(body(FolderFiles::OthersFolder, 2).endsWith(QStringLiteral("添付フォルダに展開しました。♪♪♪")));
    EXPECT_EQ(program_.contents(QStringLiteral("添付フォルダ/memo.txt")), QByteArray("the memo"));

    const auto sent = SentHistory(program_.paths()).file().read(1);
    ASSERT_TRUE(sent.ok() && sent.value());
    EXPECT_EQ(sent.value()->text(RecordLayouts::SentField::Subject).trimmed(), QStringLiteral("maildir new"));
    EXPECT_EQ(sent.value()->text(RecordLayouts::SentField::To).trimmed(), QStringLiteral("someone@example.jp"));

    const MailImport::Summary second = import({sourceDir_.path()});
    EXPECT_EQ(second.stored(), 0);
    EXPECT_EQ(second.alreadyThere, 10);
    EXPECT_TRUE(second.succeeded());
    EXPECT_EQ(program_.storedSubjects(FolderFiles::OthersFolder), OthersInDateOrder);
}

TEST_F(MailImportTest, AStoppedImportKeepsWhatItStoredAndTheNextStoresTheRestOnce)
{
    const MailImport::Summary stopped = import({sourceDir_.path()}, 4);
    // The fourth message by date is the second copy of the third.
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.stored(), 3);
    EXPECT_EQ(stopped.alreadyThere, 1);
    // Stopped while the sources are still being searched: nothing more, and said so.
    MailImport early(program_.paths(), mail_, {Friend}, Own);
    early.stop();
    const MailImport::Summary none = early.run({sourceDir_.path()});
    EXPECT_TRUE(none.stopped);
    EXPECT_EQ(none.stored(), 0);
    const MailImport::Summary rest = import({sourceDir_.path()});
    EXPECT_EQ(rest.stored(), 6);
    EXPECT_EQ(rest.alreadyThere, 4);
    EXPECT_EQ(program_.storedSubjects(FolderFiles::OthersFolder), OthersInDateOrder);
}

TEST_F(MailImportTest, AMessageOverTheSizeBoundIsKeptWholeAndMissingSourcesAreNamed)
{
    ASSERT_EQ(mail_.NMailSetOption(NMailApi::OptionMaximumMessageBytes, 1024), 0);
    const QByteArray large = message("other@example.jp", "large", "Thu, 10 Dec 2026 09:00:00 +0900", QByteArray(4000, 'x') + '\n');
    sources_->put(QStringLiteral("big/large.eml"), large);
    const QString missing = sourceDir_.path() + QStringLiteral("/nowhere.mbox");
    const MailImport::Summary summary = import({sourceDir_.path() + QStringLiteral("/big"), missing});
    EXPECT_EQ(summary.stored(), 1);
    ASSERT_EQ(summary.keptWhole.size(), 1);
    EXPECT_TRUE(summary.keptWhole.first().contains(QStringLiteral("「large.eml」"))) << summary.keptWhole.first().toStdString();
    EXPECT_TRUE(summary.line().contains(QStringLiteral("うち 1 通は元のメール全体を添付フォルダに保存"))) << summary.line().toStdString();
    ASSERT_EQ(summary.refused.size(), 1);
    EXPECT_TRUE(summary.refused.first().contains(QStringLiteral("nowhere.mbox")));
    EXPECT_FALSE(summary.succeeded());
    EXPECT_TRUE(body(FolderFiles::OthersFolder, 1).contains(QStringLiteral("「large.eml」")));
    EXPECT_EQ(program_.contents(QStringLiteral("添付フォルダ/large.eml")), large);

    // Exported, the message carries the file its notice names again.
    const QString file = sourceDir_.path() + QStringLiteral("/export.mbox");
    ASSERT_TRUE(MboxExport(program_.paths(), Own).writeFolder(FolderFiles::OthersFolder, file).ok());
    QFile exported(file);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QByteArray text = exported.readAll();
    EXPECT_TRUE(text.contains("Content-Disposition: attachment")) << text.left(2000).toStdString();
    EXPECT_TRUE(text.contains("large.eml")) << text.left(2000).toStdString();
    EXPECT_TRUE(text.contains(large.toBase64().left(76))) << text.left(2000).toStdString();
}

TEST_F(MailImportTest, SpamIsDroppedOnlyWhenAskedAndNotImportedAgain)
{
    MailImport importer(program_.paths(), mail_, {Friend}, Own);
    importer.setSpamTest([](const QString& subject, const QString&, const QString&) { return subject == u"eml lf"; });
    const MailImport::Summary first = importer.run({sourceDir_.path()});
    EXPECT_EQ(first.spamDropped, 1);
    EXPECT_EQ(first.stored(), 8);
    EXPECT_FALSE(program_.storedSubjects(FolderFiles::OthersFolder).contains(QStringLiteral("eml lf")));
    const MailImport::Summary again = import({sourceDir_.path()});
    EXPECT_EQ(again.stored(), 0);
    EXPECT_EQ(again.alreadyThere, 10);
}

// Where an mbox's messages begin and end, with lines longer than a read and CR LF line ends.
TEST(ImportSourceTest, SeparatorsAreFoundOnlyAtLineStartsAndTheBlankLineAfterEachMessageIsNotKept)
{
    QTemporaryDir dir;
    const QByteArray longLine = QByteArray(100 * 1024, 'x') + "From inside a long line\n";
    const QByteArray bytes = "From a\r\nSubject: one\r\n\r\nbody\r\n\r\nFrom b\r\nSubject: two\r\nDate: x\r\n\r\n" + longLine
        + ">From quoted\n\nFrom c\nSubject: three\n\nend";
    const QString path = dir.path() + QStringLiteral("/box");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    ImportSource source;
    source.scan({path});
    ASSERT_EQ(source.messages().size(), 3u);
    const auto read = [&](std::size_t index) { return QByteArray::fromStdString(source.read(source.messages()[index], 1 << 20).value().bytes); };
    EXPECT_EQ(read(0), QByteArray("Subject: one\r\n\r\nbody\r\n"));
    EXPECT_EQ(read(1), "Subject: two\r\nDate: x\r\n\r\n" + longLine + "From quoted\n");
    EXPECT_EQ(read(2), QByteArray("Subject: three\n\nend"));
    // Held in memory up to the bound only: the rest goes to a file, all of it there.
    const auto spilled = source.read(source.messages()[1], 1024).value();
    ASSERT_TRUE(spilled.whole);
    QFile whole(spilled.whole->fileName());
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    EXPECT_EQ(whole.readAll(), read(1));
    EXPECT_EQ(spilled.key, source.read(source.messages()[1], 1 << 20).value().key);
}

TEST_F(MailImportTest, AnExportedFolderReadsBackInPythonsMailbox)
{
    ASSERT_TRUE(import({sourceDir_.path()}).succeeded());
    const QString file = sourceDir_.path() + QStringLiteral("/export.mbox");
    const auto written = MboxExport(program_.paths(), Own).writeFolder(FolderFiles::OthersFolder, file);
    ASSERT_TRUE(written.ok()) << written.error().toStdString();
    EXPECT_EQ(written.value(), 7);
    ASSERT_TRUE(MboxExport(program_.paths(), Own).writeFolder(FolderFiles::SentHistory, file + QStringLiteral(".sent")).ok());
    ASSERT_TRUE(MboxExport(program_.paths(), Own).writeFolder(1, file + QStringLiteral(".1")).ok());

    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral(R"(
import email.policy, json, mailbox, sys
out = []
for path in sys.argv[1:]:
    box = mailbox.mbox(path, factory=lambda f: email.message_from_binary_file(f, policy=email.policy.default), create=False)
    out.append([[str(m['subject']), m.get_body(('plain',)).get_content().replace('\r\n', '\n').strip(), str(m['to'] or '')] for m in box])
print(json.dumps(out))
)"), file, file + QStringLiteral(".sent"), file + QStringLiteral(".1")});
    ASSERT_TRUE(python.waitForFinished(30000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray boxes = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(boxes.size(), 3);
    const QJsonArray others = boxes[0].toArray();
    ASSERT_EQ(others.size(), 7);
    QStringList subjects;
    for (const auto& entry : others)
        subjects << entry.toArray()[0].toString();
    EXPECT_EQ(subjects, OthersInDateOrder);
    EXPECT_EQ(others[0].toArray()[1].toString(), QStringLiteral("last line"));
    EXPECT_EQ(others[3].toArray()[1].toString(), QStringLiteral("crlf body"));
    const QJsonArray sent = boxes[1].toArray();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].toArray()[0].toString(), QStringLiteral("maildir new"));
    EXPECT_EQ(sent[0].toArray()[1].toString(), QStringLiteral("mine"));
    EXPECT_EQ(sent[0].toArray()[2].toString(), QStringLiteral("someone@example.jp"));
    const QJsonArray friends = boxes[2].toArray();
    ASSERT_EQ(friends.size(), 1);
    EXPECT_EQ(friends[0].toArray()[0].toString(), QStringLiteral("日本語の件名"));
    EXPECT_EQ(friends[0].toArray()[1].toString(), QStringLiteral("line\nFrom quoted\n>From twice"));
}

TEST_F(MailImportTest, TheCommandLineImportsWithoutAWindowAndSaysWhatFailed)
{
    program_.putServerSettings("MAIL=" + Own.toLatin1() + "\n");
    const auto run = [&](const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(program_.folder());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // No display: the command must not need one.
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(NEMUROA_EXECUTABLE), QStringList{QStringLiteral("--program-folder"), program_.folder()} + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return std::tuple{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
    };
    const auto [firstCode, firstOut, firstErr] = run({QStringLiteral("--import"), sourceDir_.path()});
    EXPECT_EQ(firstCode, 0) << firstErr.toStdString();
    EXPECT_TRUE(firstOut.startsWith(QStringLiteral("9 通を保存（友人 1、着信 その他 7、送信履歴 1）"))) << firstOut.toStdString();
    const auto [againCode, againOut, againErr] = run({QStringLiteral("--import"), sourceDir_.path()});
    EXPECT_EQ(againCode, 0) << againErr.toStdString();
    EXPECT_TRUE(againOut.startsWith(QStringLiteral("0 通を保存、取り込み済みのため 10 通を省略"))) << againOut.toStdString();
    const auto [missingCode, missingOut, missingErr] = run({QStringLiteral("--import"), QStringLiteral("nowhere.mbox")});
    EXPECT_NE(missingCode, 0);
    EXPECT_TRUE(missingErr.contains(QStringLiteral("nowhere.mbox"))) << missingErr.toStdString();
    const auto [exportCode, exportOut, exportErr] = run({QStringLiteral("--export-mbox"), QStringLiteral("30"), QStringLiteral("sent.mbox")});
    EXPECT_EQ(exportCode, 0) << exportErr.toStdString();
    EXPECT_TRUE(program_.contents(QStringLiteral("sent.mbox")).startsWith("From me@example.jp Sat Dec 5 00:00:00 2026\nFrom: me@example.jp\n"));
}

} // namespace
