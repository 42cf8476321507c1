// Receiving survives a crash, a power cut or a full disk at every call that changes a file: each
// message ends up stored exactly once or still on the server, never twice (the ids of stored
// messages change with the records), no record file is torn, the id file is whole, and the parts
// of split messages are never lost. Every sweep runs with mail deleted on the server and with
// mail kept there.

#include "SweepRunner.h"
#include "TestMailServers.h"

#include "ProgramPaths.h"
#include "ReceivedMessageIds.h"
#include "Record.h"
#include "RecordLayouts.h"
#include "SortRuleBook.h"
#include "SpamKeywordList.h"
#include "StartUpRecovery.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const QString FriendAddress = QStringLiteral("friend@example.jp");
const QString SpamKeyword = QStringLiteral("SPAMWORD");

std::string header(const std::string& from, const std::string& subject, const std::string& id)
{
    return "From: " + from + "\nTo: sweep@localhost\nSubject: " + subject + "\nDate: Mon, 7 Dec 2026 10:00:00 +0900\nMessage-ID: <"
        + id + "@example.jp>\nMIME-Version: 1.0\n";
}

std::string plain(const std::string& token, const std::string& from)
{
    return header(from, token, token) + "Content-Type: text/plain; charset=us-ascii\n\nThe body of " + token + ".\n";
}

std::string attachmentContent(const std::string& token) { return "the attachment of " + token + "\n"; }

std::string withAttachment(const std::string& token)
{
    const QByteArray encoded = QByteArray::fromStdString(attachmentContent(token)).toBase64();
    return header("other@example.jp", token, token) + "Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\n"
        + "Content-Type: text/plain; charset=us-ascii\n\nSee the attachment.\n--b1\n"
        + "Content-Type: text/plain; name=\"" + token + ".txt\"\nContent-Disposition: attachment; filename=\"" + token
        + ".txt\"\nContent-Transfer-Encoding: base64\n\n" + encoded.toStdString() + "\n--b1--\n";
}

// Part n of 3 of a split message whose enclosed message has the subject "whole-<id>".
std::string part(const std::string& id, int number)
{
    std::string body;
    if (number == 1)
        body = "Subject: whole-" + id + "\nContent-Type: text/plain; charset=us-ascii\n\nfirst line of " + id + "\n";
    else
        body = (number == 2 ? "second line of " : "third line of ") + id + "\n";
    const std::string token = "split" + id + "-" + std::to_string(number);
    return header("splitter@example.jp", token, token) + "Content-Type: message/partial; id=\"" + id + "@example.jp\"; number="
        + std::to_string(number) + "; total=3\n\n" + body;
}

QString keptPartsFolder(const QString& programFolder, const std::string& id)
{
    // A set is named by its sender's address and its id.
    const QByteArray set = QByteArray::fromStdString("splitter@example.jp\n" + id + "@example.jp");
    const QByteArray hash = QCryptographicHash::hash(set, QCryptographicHash::Sha256).toHex().left(32);
    return programFolder + QStringLiteral("/添付フォルダ/.nmail-split/") + QString::fromLatin1(hash);
}

// What one swept session receives: tokens are the subjects the records must carry.
struct Mailbox {
    std::vector<std::string> raw;
    std::vector<std::string> kept;        // stored once, or still on the server
    std::vector<std::string> spam;        // never stored
    std::vector<std::string> attachments; // their file appears, or the message is still on the server
    std::vector<int> keptParts;           // parts of split message B kept, or still on the server
};

Mailbox sweptMailbox()
{
    Mailbox box;
    // Three records in each of two folders: every further plain message would repeat the same
    // calls on the same files, and each costs the sweeps about seven more points.
    for (int n = 1; n <= 6; ++n) {
        const std::string token = "m" + std::to_string(100 + n);
        box.raw.push_back(plain(token, n % 2 ? FriendAddress.toStdString() : "other@example.jp"));
        box.kept.push_back(token);
    }
    for (int n = 1; n <= 4; ++n) {
        const std::string token = "att" + std::to_string(n);
        box.raw.push_back(withAttachment(token));
        box.kept.push_back(token);
        box.attachments.push_back(token);
    }
    for (int n = 1; n <= 3; ++n) {
        const std::string token = "spam" + std::to_string(n);
        box.raw.push_back(plain(token + " " + SpamKeyword.toStdString(), "spammer@example.jp"));
        box.spam.push_back(token + " " + SpamKeyword.toStdString());
    }
    // The last part of A, whose first two parts came in an earlier session, and two parts of B.
    box.raw.push_back(part("A", 3));
    box.kept.push_back("whole-A");
    for (int n = 1; n <= 2; ++n) {
        box.raw.push_back(part("B", n));
        box.kept.push_back("splitB-" + std::to_string(n));
        box.keptParts.push_back(n);
    }
    return box;
}

bool onServer(const std::vector<std::string>& messages, const std::string& subjectLine)
{
    for (const std::string& message : messages) {
        if (message.find("\nSubject: " + subjectLine + "\n") != std::string::npos)
            return true;
    }
    return false;
}

// The parameter: received mail is kept on the server.
class ReceiveSweep : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(servers_.ok()) << servers_.problem().toStdString();
        ASSERT_TRUE(root_.isValid());
        // The sessions the sweeps start trust the test servers' authority alone, as they would with
        // the system's store beside it: reading that store of some hundred certificates took a
        // third of every session, and a sweep starts a thousand.
        const QString noCertificates = root_.path() + QStringLiteral("/no-certificates");
        ASSERT_TRUE(QDir().mkpath(noCertificates));
        qputenv("SSL_CERT_FILE", QFile::encodeName(servers_.caFile()));
        qputenv("SSL_CERT_DIR", QFile::encodeName(noCertificates));
        template_ = root_.path() + QStringLiteral("/template");
        for (int lane = 0; lane < 2; ++lane) {
            lanes_.push_back({servers_.createMailbox(QStringLiteral("crash_sweep_%1").arg(lane)),
                root_.path() + QStringLiteral("/program%1").arg(lane), root_.path() + QStringLiteral("/image%1").arg(lane),
                root_.path() + QStringLiteral("/server%1").arg(lane)});
        }
        work_ = lanes_[0].work;
        for (const QString& folder : {QStringLiteral("★MAilData"), QStringLiteral("添付フォルダ"), QStringLiteral("■TextQuickSave"), QStringLiteral("Data")})
            QDir().mkpath(template_ + u'/' + folder);
        const ProgramPaths paths(template_);
        SortRule rule;
        rule.Name = QStringLiteral("友人");
        rule.RuleAddress = FriendAddress;
        ASSERT_TRUE(SortRuleBook(paths).append(rule).ok());
        ASSERT_TRUE(SpamKeywordList(paths).AddKeyword(SpamKeyword).ok());
        // An earlier session: two messages and the first two parts of A.
        ASSERT_TRUE(deposit(lanes_[0], {plain("old1", FriendAddress.toStdString()), plain("old2", "other@example.jp"), part("A", 1), part("A", 2)}));
        const DriverRun earlier = SweepRunner::run(template_, receiveArguments(lanes_[0]));
        ASSERT_EQ(earlier.exitCode, 0) << earlier.output.toStdString();
        ASSERT_EQ(lanes_[0].box.count(), keepOnServer() ? 4 : 0);
        ASSERT_TRUE(QFileInfo::exists(keptPartsFolder(template_, "A") + QStringLiteral("/part-0002.eml")));
        for (int folder = 1; folder <= 10; ++folder)
            before_[folder] = SweepRunner::contents(paths.dataFile(QStringLiteral("vbmdata%1.data").arg(folder)));
    }

    // One of two sweeps run side by side, each with a mailbox and folders of its own.
    struct Lane {
        TestMailbox box;
        QString work;
        QString image;
        QString serverCopy;
    };

    static bool keepOnServer() { return GetParam(); }

    QStringList receiveArguments(const Lane& lane) const
    {
        QStringList arguments{QStringLiteral("receive"), servers_.pop3Server(), lane.box.user(), lane.box.password(), servers_.caFile()};
        if (keepOnServer())
            arguments << QStringLiteral("0");
        return arguments;
    }

    static bool deposit(const Lane& lane, const std::vector<std::string>& messages)
    {
        lane.box.clear();
        for (const std::string& message : messages) {
            if (!lane.box.deposit(message))
                return false;
        }
        return true;
    }

    // Runs point(lane, k) for k = first ... last on both lanes at once; the failures they report.
    std::vector<std::string> sweep(long first, long last, const std::function<std::string(const Lane&, long)>& point) const
    {
        std::vector<std::string> failures;
        std::mutex guard;
        std::vector<std::thread> threads;
        for (std::size_t index = 0; index < lanes_.size(); ++index) {
            threads.emplace_back([&, index] {
                for (long k = first + static_cast<long>(index); k <= last; k += static_cast<long>(lanes_.size())) {
                    const std::string problems = point(lanes_[index], k);
                    if (!problems.empty()) {
                        const std::lock_guard lock(guard);
                        failures.push_back(problems);
                    }
                }
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        std::sort(failures.begin(), failures.end());
        return failures;
    }

    // What is wrong with the folder after a normal session; empty when all is well.
    std::string check(const Lane& lane, const QString& folder) const
    {
        std::string problems;
        const auto fail = [&](const std::string& what) { problems += what + "; "; };
        const QString torn = SweepRunner::tornRecordFiles(folder);
        if (!torn.isEmpty())
            fail(torn.toStdString());
        const ProgramPaths paths(folder);
        ReceivedMessageIds ids(paths);
        if (const StoreStatus loaded = ids.load(servers_.pop3Server(), lane.box.user()); !loaded.ok())
            fail("the id file is not whole: " + loaded.error().toStdString());
        for (int folderNumber = 1; folderNumber <= 10; ++folderNumber) {
            const QByteArray now = SweepRunner::contents(paths.dataFile(QStringLiteral("vbmdata%1.data").arg(folderNumber)));
            if (!now.startsWith(before_.at(folderNumber)))
                fail("folder " + std::to_string(folderNumber) + " lost records it held before");
        }
        const auto stored = SweepRunner::storedSubjects(folder);
        const std::vector<std::string> server = lane.box.messages();
        const auto count = [&](const std::string& subject) {
            const auto found = stored.find(subject);
            return found == stored.end() ? 0 : found->second;
        };
        const Mailbox mailbox = sweptMailbox();
        for (const std::string& token : mailbox.kept) {
            const int times = count(token);
            const std::string serverSubject = token == "whole-A" ? "splitA-3" : token;
            const bool waiting = onServer(server, serverSubject);
            // Kept on the server, a message is stored by the session that comes after any crash.
            if (!(times == 1 || (times == 0 && waiting && !keepOnServer())))
                fail(token + " stored " + std::to_string(times) + " times" + (waiting ? " and still on the server" : ", not on the server"));
            if (keepOnServer() && !waiting)
                fail(token + " deleted on the server");
        }
        for (const std::string& subject : mailbox.spam) {
            if (count(subject) != 0)
                fail(subject + " stored");
        }
        for (const std::string& token : mailbox.attachments) {
            const QString file = folder + QStringLiteral("/添付フォルダ/") + QString::fromStdString(token) + QStringLiteral(".txt");
            if (SweepRunner::contents(file).toStdString() != attachmentContent(token) && !onServer(server, token))
                fail("attachment of " + token + " lost");
        }
        for (const int number : mailbox.keptParts) {
            const QString file = keptPartsFolder(folder, "B") + QStringLiteral("/part-%1.eml").arg(number, 4, 10, QChar(u'0'));
            if (!QFileInfo::exists(file) && !onServer(server, "splitB-" + std::to_string(number)))
                fail("kept part " + std::to_string(number) + " of B lost");
        }
        if (count("splitA-3") != 0)
            fail("the last part of A stored alone: its kept parts were lost");
        const QStringList leftovers = StartUpRecovery::leftoverTemporaryFiles(ProgramPaths(folder));
        if (!leftovers.isEmpty())
            fail("temporary files left: " + leftovers.join(u' ').toStdString());
        if (QFileInfo::exists(folder + QStringLiteral("/★MAilData/receive.journal")))
            fail("journal left");
        return problems;
    }

    const TestMailServers& servers_ = TestMailServers::shared();
    QTemporaryDir root_;
    QString template_;
    std::vector<Lane> lanes_;
    QString work_;
    std::map<int, QByteArray> before_;
};

long callNumberOf(const std::vector<TracedCall>& calls, const QString& operation, const QString& path, long after = 0)
{
    for (const TracedCall& call : calls) {
        if (call.number > after && call.operation == operation && call.path == path)
            return call.number;
    }
    return 0;
}

TEST_P(ReceiveSweep, EveryMessageSurvivesAKillOrAPowerCutAtEveryFileCall)
{
    QElapsedTimer timer;
    timer.start();
    const Mailbox mailbox = sweptMailbox();
    const Lane& first = lanes_[0];
    const QString tracePath = root_.path() + QStringLiteral("/trace");
    SweepRunner::copyFolder(template_, first.work);
    ASSERT_TRUE(deposit(first, mailbox.raw));
    const DriverRun counted = SweepRunner::run(first.work, receiveArguments(first), {Injection::Mode::Count, 0, tracePath, {}});
    ASSERT_EQ(counted.exitCode, 0) << counted.output.toStdString();
    ASSERT_EQ(check(first, first.work), "");
    const std::vector<TracedCall> calls = SweepRunner::readTrace(tracePath);
    const long total = static_cast<long>(calls.size());
    ASSERT_GT(callNumberOf(calls, QStringLiteral("unlink"), QStringLiteral("/★MAilData/receive.journal")), 0);

    // k = total + 1 is the power cut just after a session that ran to its end.
    const std::vector<std::string> failures = sweep(1, total + 1, [&](const Lane& lane, long k) {
        const QString call = k <= total ? calls[static_cast<std::size_t>(k - 1)].operation + u' ' + calls[static_cast<std::size_t>(k - 1)].path
                                        : QStringLiteral("end of session");
        std::string problems;
        const auto note = [&](const char* kind, const QString& torn, const DriverRun& next, const std::string& found) {
            std::string all = torn.toStdString() + found;
            if (next.exitCode != 0 || next.killed)
                all += "the next session failed: " + next.output.toStdString();
            if (!all.empty())
                problems += std::string(kind) + " at call " + std::to_string(k) + " (" + call.toStdString() + "): " + all + "\n";
        };
        SweepRunner::copyFolder(template_, lane.work);
        SweepRunner::removeFolder(lane.image);
        if (!deposit(lane, mailbox.raw))
            return std::string("cannot fill the mailbox\n");
        const DriverRun killed = SweepRunner::run(lane.work, receiveArguments(lane), {Injection::Mode::Kill, k, {}, lane.image});
        if (killed.killed != (k <= total))
            return "call " + std::to_string(k) + ": killed " + std::to_string(killed.killed) + " " + killed.output.toStdString() + "\n";
        // The same messages under the same ids for the power cut as for the kill.
        if (!lane.box.saveTo(lane.serverCopy))
            return std::string("cannot copy the mailbox\n");
        if (k <= total) {
            const QString torn = SweepRunner::tornRecordFiles(lane.work);
            const DriverRun next = SweepRunner::run(lane.work, receiveArguments(lane));
            note("kill", torn, next, check(lane, lane.work));
        }
        if (!lane.box.restoreFrom(lane.serverCopy))
            return std::string("cannot restore the mailbox\n");
        SweepRunner::removeFolder(lane.work);
        QDir().rename(lane.image, lane.work);
        const QString torn = SweepRunner::tornRecordFiles(lane.work);
        const DriverRun next = SweepRunner::run(lane.work, receiveArguments(lane));
        note("power cut", torn, next, check(lane, lane.work));
        return problems;
    });
    std::printf("receive sweep: %ld kill points and %ld power-cut points over %zu messages in %.1f s\n", total, total + 1,
        mailbox.raw.size(), static_cast<double>(timer.elapsed()) / 1000.0);
    std::string report;
    for (const std::string& failure : failures)
        report += failure;
    EXPECT_TRUE(failures.empty()) << failures.size() << " failing points:\n" << report;
}

// Right after a session that met a full or failing disk: nothing deleted on the server that is not
// stored, nothing stored twice, and the user told when mail was left on the server, but not again
// for every later message the fault also hit: one box for the first message left behind, one for
// the session stopping.
std::string checkFaultySession(const DriverRun& run, const std::vector<std::string>& server, const QString& folder)
{
    std::string problems;
    int stopBoxes = 0;
    int leftBehindBoxes = 0;
    for (const QString& box : run.boxes) {
        if (box.startsWith(QStringLiteral("エラー\t")))
            ++stopBoxes;
        else if (box.contains(QStringLiteral("\t添付ファイルをオープンできません")))
            ++leftBehindBoxes;
    }
    const int errorBoxes = stopBoxes + leftBehindBoxes;
    if (stopBoxes > 1 || leftBehindBoxes > 1)
        problems += "told " + std::to_string(errorBoxes) + " times (" + run.boxes.join(u'|').toStdString() + "); ";
    const auto stored = SweepRunner::storedSubjects(folder);
    bool leftOnServer = false;
    for (const std::string& token : sweptMailbox().kept) {
        const auto found = stored.find(token);
        const int times = found == stored.end() ? 0 : found->second;
        const bool waiting = onServer(server, token == "whole-A" ? "splitA-3" : token);
        leftOnServer = leftOnServer || (waiting && times == 0);
        if (!(times == 1 || (times == 0 && waiting)))
            problems += token + " stored " + std::to_string(times) + " times" + (waiting ? " and still on the server; " : ", not on the server; ");
    }
    if (leftOnServer && errorBoxes == 0)
        problems += "mail left on the server without a word; ";
    if (run.exitCode != 0 || run.killed)
        problems += "the session failed: " + run.output.toStdString();
    return problems;
}

TEST_P(ReceiveSweep, AFullOrFailingDiskAtAnyWriteOrFlushLosesNothingAndTellsTheUserOnce)
{
    QElapsedTimer timer;
    timer.start();
    const Mailbox mailbox = sweptMailbox();
    const Lane& first = lanes_[0];
    const QString tracePath = root_.path() + QStringLiteral("/trace");
    SweepRunner::copyFolder(template_, first.work);
    ASSERT_TRUE(deposit(first, mailbox.raw));
    ASSERT_EQ(SweepRunner::run(first.work, receiveArguments(first), {Injection::Mode::Count, 0, tracePath, {}}).exitCode, 0);
    const std::vector<TracedCall> calls = SweepRunner::readTrace(tracePath);
    long writesAndFlushes = 0;
    for (const TracedCall& call : calls)
        writesAndFlushes = std::max(writesAndFlushes, call.writeOrFlush);
    ASSERT_GT(writesAndFlushes, 0);

    // Points 1 ... n fill the disk from that write or flush on; n + 1 ... 2n fail that one alone.
    const std::vector<std::string> failures = sweep(1, 2 * writesAndFlushes, [&](const Lane& lane, long point) {
        const bool full = point <= writesAndFlushes;
        const long f = full ? point : point - writesAndFlushes;
        SweepRunner::copyFolder(template_, lane.work);
        if (!deposit(lane, mailbox.raw))
            return std::string("cannot fill the mailbox\n");
        const DriverRun faulty = SweepRunner::run(lane.work, receiveArguments(lane), {full ? Injection::Mode::NoSpace : Injection::Mode::IoError, f, {}, {}});
        std::string problems = checkFaultySession(faulty, lane.box.messages(), lane.work);
        const DriverRun next = SweepRunner::run(lane.work, receiveArguments(lane));
        problems += check(lane, lane.work);
        return problems.empty() ? problems : std::string(full ? "full disk" : "disk error") + " from write or flush " + std::to_string(f) + ": " + problems + "\n";
    });
    std::printf("full-disk sweep: %ld writes and flushes failed with ENOSPC and with EIO in %.1f s\n", writesAndFlushes,
        static_cast<double>(timer.elapsed()) / 1000.0);
    std::string report;
    for (const std::string& failure : failures)
        report += failure;
    EXPECT_TRUE(failures.empty()) << failures.size() << " failing points:\n" << report;
}

TEST_P(ReceiveSweep, ReceivingOntoASmallRealFileSystemLosesNothing)
{
    const QString mountPoint = root_.path() + QStringLiteral("/small");
    QDir().mkpath(mountPoint);
    // Room for the earlier session's files and a few more records, not for the whole mailbox.
    const qint64 roomBytes = 8 * RecordLayouts::Message.length;
    qint64 used = 0;
    for (const auto& [folder, bytes] : before_)
        used += bytes.size();
    const QString size = QStringLiteral("size=%1k").arg((used + roomBytes) / 1024 + 64);
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), size, QStringLiteral("tmpfs"), mountPoint}) != 0)
        GTEST_SKIP() << "no small file system can be mounted here";
    const QString small = mountPoint + QStringLiteral("/program");
    SweepRunner::copyFolder(template_, small);
    ASSERT_TRUE(deposit(lanes_[0], sweptMailbox().raw));
    const DriverRun faulty = SweepRunner::run(small, receiveArguments(lanes_[0]));
    const std::vector<std::string> server = lanes_[0].box.messages();
    const std::string problems = checkFaultySession(faulty, server, small);
    const QString torn = SweepRunner::tornRecordFiles(small);
    SweepRunner::copyFolder(small, work_);
    QProcess::execute(QStringLiteral("umount"), {mountPoint});
    EXPECT_EQ(problems, "");
    EXPECT_EQ(torn, QString());
    EXPECT_GT(server.size(), 0u) << "the file system was large enough for the whole mailbox";
    ASSERT_EQ(SweepRunner::run(work_, receiveArguments(lanes_[0])).exitCode, 0);
    EXPECT_EQ(check(lanes_[0], work_), "");
}

INSTANTIATE_TEST_SUITE_P(MailOnTheServer, ReceiveSweep, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Kept" : "Deleted"; });

} // namespace
