// A message during whose handling the program dies, again and again, must not keep the messages
// behind it from arriving: after two deaths in a row it is left on the server and named.

#include "SweepRunner.h"
#include "TestMailServers.h"

#include "ProgramPaths.h"
#include "Record.h"
#include "RecordLayouts.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string message(const std::string& subject)
{
    return "From: a@example.jp\nTo: poison@localhost\nSubject: " + subject + "\nDate: Mon, 7 Dec 2026 10:00:00 +0900\nMessage-ID: <"
        + subject + "@example.jp>\nContent-Type: text/plain; charset=us-ascii\n\nThe body of " + subject + ".\n";
}

QStringList othersFolderSubjects(const QString& programFolder)
{
    QStringList subjects;
    const QByteArray bytes = SweepRunner::contents(ProgramPaths(programFolder).dataFile(u"vbmdata10.data"));
    const int length = RecordLayouts::Message.length;
    for (qsizetype offset = 0; offset + length <= bytes.size(); offset += length) {
        const Record record(RecordLayouts::Message, std::string(bytes.constData() + offset, static_cast<std::size_t>(length)));
        subjects << record.text(RecordLayouts::MessageField::Subject).trimmed();
    }
    return subjects;
}

// The call just after the mark of the second message was written: the program is then handling
// that message.
long whileHandlingTheSecondMessage(const std::vector<TracedCall>& calls)
{
    int marks = 0;
    for (const TracedCall& call : calls) {
        if (call.operation == u"pwrite" && call.path.endsWith(u"/receive.handling") && ++marks == 2)
            return call.number + 1;
    }
    return 0;
}

TEST(PoisonousMessage, TwoDeathsWhileHandlingAMessageLeaveItOnTheServerAndTheMessagesBehindItArrive)
{
    const TestMailServers& servers = TestMailServers::shared();
    ASSERT_TRUE(servers.ok()) << servers.problem().toStdString();
    QTemporaryDir root;
    const QString program = root.path() + QStringLiteral("/program");
    const QString trial = root.path() + QStringLiteral("/trial");
    const QString serverCopy = root.path() + QStringLiteral("/server");
    for (const QString& folder : {QStringLiteral("★MAilData"), QStringLiteral("添付フォルダ"), QStringLiteral("■TextQuickSave"), QStringLiteral("Data")})
        ASSERT_TRUE(QDir().mkpath(program + u'/' + folder));
    const TestMailbox box = servers.createMailbox(QStringLiteral("poisonous_message"));
    box.clear();
    for (const char* subject : {"first", "poison", "last"})
        ASSERT_TRUE(box.deposit(message(subject)));
    const QStringList receive{QStringLiteral("receive"), servers.pop3Server(), box.user(), box.password(), servers.caFile()};

    const QString killed = root.path() + QStringLiteral("/killed");
    for (int death = 1; death <= 2; ++death) {
        SCOPED_TRACE("death " + std::to_string(death));
        // A trial run on a copy finds the call; the mailbox is put back as it was after it. The run
        // that dies goes on a second copy of the same folder, so that it makes the same calls: the
        // work file left by a death is the program's own in its folder, but not in a copy.
        SweepRunner::copyFolder(program, trial);
        ASSERT_TRUE(box.saveTo(serverCopy));
        const QString trace = root.path() + QStringLiteral("/trace%1").arg(death);
        ASSERT_EQ(SweepRunner::run(trial, receive, {Injection::Mode::Count, 0, trace, {}}).exitCode, 0);
        ASSERT_TRUE(box.restoreFrom(serverCopy));
        const long at = whileHandlingTheSecondMessage(SweepRunner::readTrace(trace));
        ASSERT_GT(at, 0);
        SweepRunner::copyFolder(program, killed);
        ASSERT_TRUE(SweepRunner::run(killed, receive, {Injection::Mode::Kill, at, {}, {}}).killed);
        SweepRunner::copyFolder(killed, program);
    }

    const DriverRun next = SweepRunner::run(program, receive);
    EXPECT_EQ(next.exitCode, 0) << next.output.toStdString();
    ASSERT_EQ(next.boxes.size(), 1) << next.output.toStdString();
    EXPECT_TRUE(next.boxes.first().contains(u"メッセージ 2") && next.boxes.first().contains(u"2 回続けて")) << next.boxes.first().toStdString();
    EXPECT_EQ(othersFolderSubjects(program), (QStringList{QStringLiteral("first"), QStringLiteral("last")}));
    ASSERT_EQ(box.count(), 1);
    EXPECT_NE(box.messages().front().find("Subject: poison"), std::string::npos);

    // Known by its id from now on: left where it is without a word.
    const DriverRun after = SweepRunner::run(program, receive);
    EXPECT_EQ(after.boxes, QStringList()) << after.output.toStdString();
    EXPECT_EQ(box.count(), 1);
    EXPECT_EQ(othersFolderSubjects(program), (QStringList{QStringLiteral("first"), QStringLiteral("last")}));
}

} // namespace
