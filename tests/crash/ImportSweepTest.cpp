// Importing survives a kill or a power cut at every call that changes a file: after the next
// import of the same source every message is stored exactly once (in its folder or, from the
// user's own address, in the sent history), its attachment is there, and no record file is torn.

#include "SweepRunner.h"

#include "ProgramPaths.h"
#include "Record.h"
#include "RecordLayouts.h"
#include "SortRuleBook.h"
#include "StartUpRecovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

std::string mboxMessage(const std::string& from, const std::string& subject, int day, const std::string& body)
{
    return "From - Mon Dec  7 10:00:00 2026\nFrom: " + from + "\nTo: friend@example.jp\nSubject: " + subject + "\nDate: 0" + std::to_string(day)
        + " Dec 2026 10:00:00 +0900\nMIME-Version: 1.0\n" + body + "\n";
}

std::string plainBody(const std::string& text) { return "Content-Type: text/plain; charset=us-ascii\n\n" + text + "\n>From quoted\n"; }

const std::string AttachmentBody = "Content-Type: multipart/mixed; boundary=\"b1\"\n\n--b1\nContent-Type: text/plain; charset=us-ascii\n\nsee\n"
                                   "--b1\nContent-Type: text/plain; name=\"sweep.txt\"\nContent-Disposition: attachment; filename=\"sweep.txt\"\n\n"
                                   "the attachment\n--b1--\n";

const std::vector<std::string> Subjects{"friend one", "other two", "with attachment", "mine", "other five"};

std::string check(const QString& folder)
{
    std::string problems;
    const QString torn = SweepRunner::tornRecordFiles(folder);
    if (!torn.isEmpty())
        problems += torn.toStdString() + "; ";
    const auto stored = SweepRunner::storedSubjects(folder);
    for (const std::string& subject : Subjects) {
        const auto found = stored.find(subject);
        const int times = found == stored.end() ? 0 : found->second;
        if (times != 1)
            problems += subject + " stored " + std::to_string(times) + " times; ";
    }
    if (SweepRunner::contents(folder + QStringLiteral("/添付フォルダ/sweep.txt")) != "the attachment")
        problems += "attachment lost; ";
    if (QFileInfo::exists(folder + QStringLiteral("/★MAilData/receive.journal")))
        problems += "journal left; ";
    const QStringList leftovers = StartUpRecovery::leftoverTemporaryFiles(ProgramPaths(folder));
    if (!leftovers.isEmpty())
        problems += "temporary files left: " + leftovers.join(u' ').toStdString() + "; ";
    return problems;
}

TEST(ImportSweep, EveryMessageIsStoredOnceAfterAKillOrAPowerCutAtEveryFileCall)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString templateFolder = root.path() + QStringLiteral("/template");
    const QString work = root.path() + QStringLiteral("/program");
    const QString image = root.path() + QStringLiteral("/image");
    for (const QString& folder : {QStringLiteral("★MAilData"), QStringLiteral("添付フォルダ"), QStringLiteral("■TextQuickSave"), QStringLiteral("Data")})
        QDir().mkpath(templateFolder + u'/' + folder);
    SortRule rule;
    rule.Name = QStringLiteral("友人");
    rule.RuleAddress = QStringLiteral("friend@example.jp");
    ASSERT_TRUE(SortRuleBook(ProgramPaths(templateFolder)).append(rule).ok());
    SweepRunner::put(templateFolder + QStringLiteral("/vbmail.ini"), "MAIL=me@example.jp\n");
    const QString source = root.path() + QStringLiteral("/source.mbox");
    SweepRunner::put(source,
        QByteArray::fromStdString(mboxMessage("friend@example.jp", Subjects[0], 1, plainBody("one"))
            + mboxMessage("other@example.jp", Subjects[1], 2, plainBody("two")) + mboxMessage("other@example.jp", Subjects[2], 3, AttachmentBody)
            + mboxMessage("me@example.jp", Subjects[3], 4, plainBody("four")) + mboxMessage("other@example.jp", Subjects[4], 5, plainBody("five"))));
    const QStringList operation{QStringLiteral("import"), source};

    const QString tracePath = root.path() + QStringLiteral("/trace");
    SweepRunner::copyFolder(templateFolder, work);
    const DriverRun counted = SweepRunner::run(work, operation, {Injection::Mode::Count, 0, tracePath, {}});
    ASSERT_EQ(counted.exitCode, 0) << counted.output.toStdString();
    ASSERT_EQ(check(work), "");
    const long total = static_cast<long>(SweepRunner::readTrace(tracePath).size());
    ASSERT_GT(total, 10);

    std::string report;
    for (long k = 1; k <= total; ++k) {
        SweepRunner::copyFolder(templateFolder, work);
        SweepRunner::removeFolder(image);
        const DriverRun killed = SweepRunner::run(work, operation, {Injection::Mode::Kill, k, {}, image});
        if (!killed.killed) {
            report += "call " + std::to_string(k) + ": not killed\n";
            continue;
        }
        // The process killed, and the machine losing what was not flushed at that moment.
        for (const QString& after : {work, image}) {
            const QString torn = SweepRunner::tornRecordFiles(after);
            const DriverRun next = SweepRunner::run(after, operation);
            const std::string problems = torn.toStdString() + (next.exitCode != 0 ? "the next import failed: " + next.output.toStdString() : "") + check(after);
            if (!problems.empty())
                report += (after == work ? "kill" : "power cut") + std::string(" at call ") + std::to_string(k) + ": " + problems + "\n";
        }
    }
    std::printf("import sweep: %ld kill and power-cut points over %zu messages\n", total, Subjects.size());
    EXPECT_EQ(report, "");
}

} // namespace
