// Every rewrite of a file survives a crash, a power cut, a full disk and a failing disk at every
// call that changes a file: afterwards the file is the old one (at most with the marks of the
// interrupted deletion, and only on the records it was asked to delete) or the new one, whole, and
// the next start leaves no temporary file. One row per rewrite.

#include "SweepRunner.h"

#include "AccountProfile.h"
#include "AddressBook.h"
#include "FolderFiles.h"
#include "ProgramPaths.h"
#include "Record.h"
#include "RecordLayouts.h"
#include "ServerSettings.h"
#include "SortRuleBook.h"
#include "SpamKeywordList.h"
#include "StartUpRecovery.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

struct Rewrite {
    const char* name;
    QStringList operation;
    QString file;                 // below the program folder
    const RecordLayout* layout;   // nullptr for a text file
    std::set<int> deleted;        // records the operation was asked to delete; {0} for all of them
};

std::vector<Rewrite> rewrites()
{
    const QString folder3 = QStringLiteral("★MAilData/vbmdata3.data");
    return {
        {"delete one", {QStringLiteral("delete-one"), QStringLiteral("3"), QStringLiteral("2")}, folder3, &RecordLayouts::Message, {2}},
        {"delete all", {QStringLiteral("delete-all"), QStringLiteral("3")}, folder3, &RecordLayouts::Message, {0}},
        {"sent history delete one", {QStringLiteral("delete-one"), QStringLiteral("11"), QStringLiteral("1")},
            QStringLiteral("★MAilData/vbmdata30.data"), &RecordLayouts::Sent, {1}},
        {"address delete", {QStringLiteral("address-delete"), QStringLiteral("2")}, QStringLiteral("★MAilData/vbmdata20.data"),
            &RecordLayouts::Address, {2}},
        {"keyword delete", {QStringLiteral("keyword-delete"), QStringLiteral("2")}, QStringLiteral("★MAilData/vbmdata50.data"),
            &RecordLayouts::Keyword, {2}},
        {"rule change", {QStringLiteral("rule-change"), QStringLiteral("4")}, QStringLiteral("★MAilData/vbmdata.data"), &RecordLayouts::SortRule, {}},
        {"server settings", {QStringLiteral("settings")}, QStringLiteral("vbmail.ini"), nullptr, {}},
        {"account", {QStringLiteral("account")}, QStringLiteral("★MAilData/iniIdPass.ini"), nullptr, {}},
    };
}

// True when now is old with the Live flag of some of the allowed records set to 0.
bool isOldWithMarks(const QByteArray& now, const QByteArray& old, const Rewrite& rewrite)
{
    if (!rewrite.layout || rewrite.deleted.empty() || now.size() != old.size())
        return false;
    const int length = rewrite.layout->length;
    const int live = rewrite.layout->liveOffset();
    for (qsizetype offset = 0; offset < old.size(); offset += length) {
        const int recordNumber = static_cast<int>(offset / length) + 1;
        const bool mayBeMarked = rewrite.deleted.count(0) != 0 || rewrite.deleted.count(recordNumber) != 0;
        for (int i = 0; i < length; ++i) {
            const char was = old[offset + i];
            const char is = now[offset + i];
            if (was == is)
                continue;
            if (!(mayBeMarked && (i == live || i == live + 1) && is == 0))
                return false;
        }
    }
    return true;
}

class RewriteSweep : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root_.isValid());
        template_ = root_.path() + QStringLiteral("/template");
        work_ = root_.path() + QStringLiteral("/program");
        image_ = root_.path() + QStringLiteral("/image");
        for (const QString& folder : {QStringLiteral("★MAilData"), QStringLiteral("添付フォルダ"), QStringLiteral("■TextQuickSave"), QStringLiteral("Data")})
            QDir().mkpath(template_ + u'/' + folder);
        const ProgramPaths paths(template_);
        for (int n = 1; n <= 5; ++n)
            ASSERT_TRUE(StoreMessage(paths, 3, n, {QStringLiteral("r%1").arg(n), QStringLiteral("from%1@example.jp").arg(n), QStringLiteral("date"), QStringLiteral("body")}).ok());
        for (int n = 1; n <= 3; ++n) {
            Record sent(RecordLayouts::Sent);
            sent.setText(RecordLayouts::SentField::Subject, QStringLiteral("sent%1").arg(n));
            ASSERT_TRUE(FolderFiles::folderFile(paths, FolderFiles::SentHistory).write(n, sent).ok());
        }
        for (int n = 1; n <= 4; ++n)
            ASSERT_TRUE(AddressBook(paths).RegisterAddress(QStringLiteral("name%1").arg(n), QStringLiteral("name%1@example.jp").arg(n)).ok());
        for (int n = 1; n <= 4; ++n)
            ASSERT_TRUE(SpamKeywordList(paths).AddKeyword(QStringLiteral("keyword%1").arg(n)).ok());
        for (int n = 1; n <= 10; ++n) {
            SortRule rule;
            rule.Name = QStringLiteral("rule%1").arg(n);
            rule.RuleAddress = QStringLiteral("rule%1@example.jp").arg(n);
            ASSERT_TRUE(SortRuleBook(paths).append(rule).ok());
        }
        SweepRunner::put(template_ + QStringLiteral("/vbmail.ini"), "SMTP=smtp.example.jp\r\nPOP3=pop.example.jp\r\nMAIL=me@example.jp\r\nAPOP=0\r\n");
        SweepRunner::put(template_ + QStringLiteral("/★MAilData/iniIdPass.ini"), "[EXEINI]\r\nNAME=me\r\nNAME2=secret\r\nNAME3=1\r\n");
    }

    // Every file of the program folder but the rewritten one, by path below the folder.
    static std::map<QString, QByteArray> otherFiles(const QString& folder, const QString& except)
    {
        std::map<QString, QByteArray> files;
        for (const QString& sub : {QStringLiteral("."), QStringLiteral("★MAilData")}) {
            for (const QString& name : QDir(folder + u'/' + sub).entryList(QDir::Files | QDir::Hidden)) {
                const QString tail = sub == u"." ? name : sub + u'/' + name;
                if (tail != except)
                    files[tail] = SweepRunner::contents(folder + u'/' + tail);
            }
        }
        return files;
    }

    // What is wrong with the folder after the next start; empty when all is well.
    std::string check(const QString& folder, const Rewrite& rewrite, const QByteArray& old, const QByteArray& changed) const
    {
        std::string problems;
        const DriverRun start = SweepRunner::run(folder, {QStringLiteral("start")});
        if (start.exitCode != 0)
            problems += "the start failed: " + start.output.toStdString() + "; ";
        const QByteArray now = SweepRunner::contents(folder + u'/' + rewrite.file);
        if (now != old && now != changed && !isOldWithMarks(now, old, rewrite))
            problems += "the file is neither old nor new (" + std::to_string(now.size()) + " bytes); ";
        const QString torn = SweepRunner::tornRecordFiles(folder);
        if (!torn.isEmpty())
            problems += torn.toStdString();
        if (otherFiles(folder, rewrite.file) != otherFiles(template_, rewrite.file))
            problems += "another file changed or was left; ";
        const QStringList leftovers = StartUpRecovery::leftoverTemporaryFiles(ProgramPaths(folder));
        if (!leftovers.isEmpty())
            problems += "temporary files left: " + leftovers.join(u' ').toStdString() + "; ";
        return problems;
    }

    QTemporaryDir root_;
    QString template_;
    QString work_;
    QString image_;
};

TEST_F(RewriteSweep, EveryRewriteLeavesTheOldOrTheNewFileAtEveryCrashPowerCutAndDiskFault)
{
    std::vector<std::string> failures;
    std::string covered;
    for (const Rewrite& rewrite : rewrites()) {
        const QByteArray old = SweepRunner::contents(template_ + u'/' + rewrite.file);
        SweepRunner::copyFolder(template_, work_);
        const QString tracePath = root_.path() + QStringLiteral("/trace-") + QString::fromLatin1(rewrite.name).replace(u' ', u'-');
        const DriverRun reference = SweepRunner::run(work_, rewrite.operation, {Injection::Mode::Count, 0, tracePath, {}});
        ASSERT_EQ(reference.exitCode, 0) << rewrite.name << ": " << reference.output.toStdString();
        const QByteArray changed = SweepRunner::contents(work_ + u'/' + rewrite.file);
        ASSERT_NE(changed, old) << rewrite.name;
        const std::vector<TracedCall> calls = SweepRunner::readTrace(tracePath);
        const long total = static_cast<long>(calls.size());
        long writesAndFlushes = 0;
        // A flush that fails after the rename that put the new file in place (the flush of its
        // folder) cannot bring the old one back: the rewrite is reported as failed, the new file stays.
        long beforeRename = 0;
        bool renamed = false;
        for (const TracedCall& call : calls) {
            writesAndFlushes = std::max(writesAndFlushes, call.writeOrFlush);
            renamed = renamed || call.operation.startsWith(QStringLiteral("rename"));
            if (!renamed)
                beforeRename = std::max(beforeRename, call.writeOrFlush);
        }
        ASSERT_GT(total, 0) << rewrite.name;
        const auto fail = [&](const char* kind, long k, const std::string& problems) {
            if (!problems.empty())
                failures.push_back(std::string(rewrite.name) + ", " + kind + " at call " + std::to_string(k) + ": " + problems);
        };

        for (long k = 1; k <= total; ++k) {
            SweepRunner::copyFolder(template_, work_);
            SweepRunner::removeFolder(image_);
            const DriverRun killed = SweepRunner::run(work_, rewrite.operation, {Injection::Mode::Kill, k, {}, image_});
            if (!killed.killed)
                fail("kill", k, "not killed");
            fail("kill", k, check(work_, rewrite, old, changed));
            SweepRunner::removeFolder(work_);
            QDir().rename(image_, work_);
            fail("power cut", k, check(work_, rewrite, old, changed));
        }
        for (const Injection::Mode mode : {Injection::Mode::NoSpace, Injection::Mode::IoError}) {
            const char* kind = mode == Injection::Mode::NoSpace ? "full disk" : "disk error";
            for (long f = 1; f <= writesAndFlushes; ++f) {
                SweepRunner::copyFolder(template_, work_);
                const DriverRun faulty = SweepRunner::run(work_, rewrite.operation, {mode, f, {}, {}});
                // A rewrite that reports success must have written the new file; one that fails is
                // reported once and leaves the old one.
                const QByteArray now = SweepRunner::contents(work_ + u'/' + rewrite.file);
                if (faulty.exitCode == 0 && now != changed)
                    fail(kind, f, "reported success without the new file");
                if (faulty.exitCode != 0 && faulty.errors.size() != 1)
                    fail(kind, f, "failure reported " + std::to_string(faulty.errors.size()) + " times");
                if (faulty.exitCode != 0 && now != old && !isOldWithMarks(now, old, rewrite) && !(f > beforeRename && now == changed))
                    fail(kind, f, "a failed rewrite changed the file");
                fail(kind, f, check(work_, rewrite, old, changed));
            }
        }
        covered += std::string(rewrite.name) + ": " + std::to_string(total) + " kill and power-cut points, " + std::to_string(writesAndFlushes)
            + " writes and flushes failed each way; ";
    }
    std::printf("rewrite sweep: %s\n", covered.c_str());
    std::string report;
    for (const std::string& failure : failures)
        report += failure + "\n";
    EXPECT_TRUE(failures.empty()) << failures.size() << " failing points:\n" << report;
}

TEST_F(RewriteSweep, RewritesOnAFullRealFileSystemFailOnceAndLeaveTheOldFiles)
{
    const QString mountPoint = root_.path() + QStringLiteral("/small");
    QDir().mkpath(mountPoint);
    if (QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=1m"), QStringLiteral("tmpfs"), mountPoint}) != 0)
        GTEST_SKIP() << "no small file system can be mounted here";
    const QString small = mountPoint + QStringLiteral("/program");
    const QString fillerPath = mountPoint + QStringLiteral("/filler");
    std::string problems;
    int refused = 0;
    for (const Rewrite& rewrite : rewrites()) {
        SweepRunner::removeFolder(fillerPath);
        SweepRunner::copyFolder(template_, small);
        // Whatever room is left goes to a filler, so the first new block fails.
        {
            QFile filler(fillerPath);
            if (filler.open(QIODevice::WriteOnly)) {
                const QByteArray block(4096, 'x');
                while (filler.write(block) == block.size() && filler.flush()) {
                }
            }
        }
        const QByteArray old = SweepRunner::contents(small + u'/' + rewrite.file);
        const DriverRun run = SweepRunner::run(small, rewrite.operation);
        const QByteArray now = SweepRunner::contents(small + u'/' + rewrite.file);
        // A rewrite that needs no new block (emptying a folder, changing a rule in place) may succeed.
        if (run.exitCode != 0) {
            ++refused;
            if (run.errors.size() != 1)
                problems += std::string(rewrite.name) + ": not reported once (" + run.output.toStdString() + "); ";
            if (now != old && !isOldWithMarks(now, old, rewrite))
                problems += std::string(rewrite.name) + ": the file changed; ";
        }
        const QString torn = SweepRunner::tornRecordFiles(small);
        if (!torn.isEmpty())
            problems += std::string(rewrite.name) + ": " + torn.toStdString();
        if (!StartUpRecovery::leftoverTemporaryFiles(ProgramPaths(small)).isEmpty())
            problems += std::string(rewrite.name) + ": a temporary file was left; ";
    }
    QProcess::execute(QStringLiteral("umount"), {mountPoint});
    EXPECT_EQ(problems, "");
    EXPECT_GE(refused, 4) << "the file system was not full";
}

} // namespace
