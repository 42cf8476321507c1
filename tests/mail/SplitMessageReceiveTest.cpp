// Split messages received from a scripted server through the real library and session: every
// server message becomes exactly one record, no text of any part is lost, and a stranger's part
// never joins another sender's message.

#include "FolderFiles.h"
#include "MessageBoxService.h"
#include "NMail.h"
#include "ReceiveSession.h"
#include "RecordLayouts.h"
#include "ScriptedPop3Server.h"
#include "SilentReceiveView.h"
#include "TestProgramFolder.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <string>
#include <vector>

namespace {

class RecordedBoxes final : public MessageBoxService {
public:
    Answer show(const Request& request) override
    {
        shown << request.text;
        return Answer::Ok;
    }
    QStringList shown;
};

std::string part(const std::string& from, const std::string& subject, const std::string& id, int number, int total, const std::string& text)
{
    return "From: " + from + "\nTo: user@localhost\nSubject: " + subject + "\nDate: Mon, 7 Dec 2026 09:00:00 +0900\nMIME-Version: 1.0\n"
        + "Content-Type: message/partial; id=\"" + id + "\"; number=" + std::to_string(number) + "; total=" + std::to_string(total)
        + "\n\n" + (number == 1 ? "Subject: whole " + id + "\nContent-Type: text/plain; charset=us-ascii\n\n" : "") + text + "\n";
}

QStringList storedBodies(const TestProgramFolder& folder)
{
    QStringList bodies;
    const RecordFile file = FolderFiles::folderFile(folder.paths(), FolderFiles::OthersFolder);
    for (int record = 1;; ++record) {
        const auto read = file.read(record);
        if (!read.ok() || !read.value())
            return bodies;
        bodies << read.value()->text(RecordLayouts::MessageField::Body);
    }
}

TEST(SplitMessageReceive, EveryServerMessageIsStoredOnceWithAllItsTextAndNoStrangerJoins)
{
    const std::string bank = "Bank <notice@bank.example>";
    const std::string evil = "attacker@evil.example";
    const std::string big(5000, 'x');
    const std::vector<std::string> messages{
        part(bank, "bank 1", "statement", 1, 2, "bank-text-one"),
        part(evil, "evil 2", "statement", 2, 2, "evil-text-two"),
        part(bank, "bank 2", "statement", 2, 2, "bank-text-two"),
        // The server delivers the completing part twice.
        part(bank, "bank 2", "statement", 2, 2, "bank-text-two"),
        part(bank, "count 1", "counts", 1, 2, "count-text-one"),
        part(bank, "count 2", "counts", 2, 3, "count-text-two"),
        part(bank, "count 3", "counts", 3, 3, "count-text-three"),
        // Three parts whose whole would pass the bound of one message.
        part(bank, "big 1", "big", 1, 3, "big-text-one" + big),
        part(bank, "big 2", "big", 2, 3, "big-text-two" + big),
        part(bank, "big 3", "big", 3, 3, "big-text-three"),
        // A one-part set whose whole is itself a part of another set: kept whole.
        "From: Bank <notice@bank.example>\nSubject: nest 1\nContent-Type: message/partial; id=\"outer\"; number=1; total=1\n\n"
        "Subject: inner\nContent-Type: message/partial; id=\"inner\"; number=1; total=2\n\nnested-text\n",
        "From: a@example.jp\nTo: user@localhost\nSubject: after\n\nafter-text\n",
    };
    ScriptedPop3Server server(messages);
    ASSERT_TRUE(server.listening());
    const TestProgramFolder folder;
    NMail mail;
    mail.NMailSetOption(NMailApi::OptionAllowPlainPassword, 1);
    mail.NMailSetOption(NMailApi::OptionMaximumMessageBytes, 8000);
    RecordedBoxes boxes;
    SilentView view;
    ReceiveSession session(folder.paths(), mail, boxes, [](const QString&, const QString&, const QString&) { return false; }, {}, view);

    const ReceiveSession::Outcome outcome = session.run({server.server(), 0, QStringLiteral("taro"), QStringLiteral("secret")});

    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(folder.storedSubjects(FolderFiles::OthersFolder),
        (QStringList{QStringLiteral("bank 1"), QStringLiteral("evil 2"), QStringLiteral("whole statement"), QStringLiteral("bank 2"), QStringLiteral("count 1"), QStringLiteral("count 2"), QStringLiteral("count 3"),
            QStringLiteral("big 1"), QStringLiteral("big 2"), QStringLiteral("big 3"), QStringLiteral("inner"), QStringLiteral("after")}));
    EXPECT_TRUE(server.messages().empty());
    const QStringList bodies = storedBodies(folder);
    ASSERT_EQ(bodies.size(), 12);
    // The bank's message is rebuilt from the bank's parts alone.
    EXPECT_TRUE(bodies[2].contains(u"bank-text-one") && bodies[2].contains(u"bank-text-two")) << bodies[2].toStdString();
    EXPECT_FALSE(bodies[2].contains(u"evil-text")) << bodies[2].toStdString();
    EXPECT_TRUE(bodies[1].contains(u"evil-text-two")) << bodies[1].toStdString();
    EXPECT_TRUE(bodies[3].contains(u"すでに元のメールに戻してある")) << bodies[3].toStdString();
    EXPECT_TRUE(bodies[5].contains(u"合わない")) << bodies[5].toStdString();
    EXPECT_TRUE(bodies[8].contains(u"8000 バイトを超える")) << bodies[8].toStdString();
    const QRegularExpressionMatch kept = QRegularExpression(QStringLiteral("添付フォルダの「(.+)」に保存しました")).match(bodies[10]);
    ASSERT_TRUE(kept.hasMatch()) << bodies[10].toStdString();
    EXPECT_TRUE(folder.contents(QStringLiteral("添付フォルダ/") + kept.captured(1)).contains("nested-text"));
    // Whatever became of its set, every part's own record holds its text.
    const std::vector<std::pair<int, const char16_t*>> texts{{0, u"bank-text-one"}, {1, u"evil-text-two"}, {3, u"bank-text-two"},
        {4, u"count-text-one"}, {5, u"count-text-two"}, {6, u"count-text-three"}, {7, u"big-text-one"}, {8, u"big-text-two"},
        {9, u"big-text-three"}};
    for (const auto& [record, text] : texts)
        EXPECT_TRUE(bodies[record].contains(QStringView(text))) << record << ": " << bodies[record].toStdString();
}

} // namespace
