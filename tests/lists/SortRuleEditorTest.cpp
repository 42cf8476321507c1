#include "Cp932Codec.h"
#include "FakeMessageBoxService.h"
#include "SortRuleBook.h"
#include "SortRuleEditor.h"
#include "StoreTestFolder.h"

#include <gtest/gtest.h>

namespace {

constexpr int RuleLength = 1306;

class RecordingRuleView : public SortRuleEditorView {
public:
    int selectedRuleRow() const override { return selectedRow; }
    void focusRuleList() override { ++listFocused; }
    SortRule editorContents() const override { return editor; }
    void showInEditor(const SortRule& rule) override { editor = rule; }
    void showRuleNames(const QStringList& shownNames) override { names = shownNames; }
    void setRuleNineAddress(const QString& address) override { ruleNineAddress = address; }
    void endProgram() override { ended = true; }

    int selectedRow = -1;
    int listFocused = 0;
    SortRule editor;
    QStringList names;
    QString ruleNineAddress = QStringLiteral("(start-up)");
    bool ended = false;
};

SortRule rule(const QString& name, const QString& address)
{
    SortRule made;
    made.Name = name;
    made.RuleAddress = address;
    return made;
}

class RuleEditor : public ::testing::Test {
protected:
    void writeRules(int count)
    {
        for (int n = 1; n <= count; ++n)
            ASSERT_TRUE(book.write(n, rule(QStringLiteral("rule %1").arg(n), QStringLiteral("r%1@example.jp").arg(n))).ok());
    }
    QByteArray bytes() const { return StoreTestFolder::contents(book.file().path()); }
    QStringList texts() const { return messageBoxes.texts(); }

    StoreTestFolder folder;
    SortRuleBook book{folder.paths()};
    FakeMessageBoxService messageBoxes;
    RecordingRuleView view;
    SortRuleEditor editor{folder.paths(), messageBoxes, view};
};

TEST_F(RuleEditor, ARuleRoundTripsByteForByte)
{
    writeRules(1);
    view.selectedRow = 0;
    view.editor.Name = QStringLiteral(" 営業部 ");
    view.editor.Details = {QStringLiteral("山田太郎"), QStringLiteral("ヤマダタロウ"), QStringLiteral("営業"),
        QStringLiteral("課長"), QStringLiteral("100-0001"), QStringLiteral("東京都"), QStringLiteral("千代田区"),
        QStringLiteral("千代田"), QStringLiteral("1-1")};
    view.editor.RuleAddress = QStringLiteral("taro@example.jp");
    view.editor.Memo = QStringLiteral("一行目\r\n二行目");
    editor.ChangeRule();

    const QByteArray stored = bytes();
    ASSERT_EQ(stored.size(), RuleLength);
    const auto field = [&](int offset, int width) { return stored.mid(offset, width); };
    const auto expected = [](const QString& text, int width) { return QByteArray::fromStdString(Cp932Codec::encodeField(text, width)); };
    EXPECT_EQ(field(0, 50), QByteArray(" \x89\x63\x8b\xc6\x95\x94 ") + QByteArray(42, ' ')); // written as typed
    const int offsets[] = {50, 70, 100, 112, 132, 142, 152, 162, 182, 212};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(field(offsets[i], offsets[i + 1] - offsets[i]), expected(view.editor.Details[static_cast<std::size_t>(i)], offsets[i + 1] - offsets[i])) << i;
    EXPECT_EQ(field(212, 15), QByteArray("taro@example.jp"));
    EXPECT_EQ(field(302, 14), QByteArray("\x88\xea\x8d\x73\x96\xda//\x93\xf1\x8d\x73\x96\xda"));
    EXPECT_EQ(field(1302, 4), QByteArray("\x01\x00\r\n", 4));

    const SortRule typed = view.editor;
    editor.ClearRuleEditor();
    EXPECT_EQ(view.editor.Name, QString());
    editor.LoadRule();
    EXPECT_EQ(view.editor.Name, QStringLiteral("営業部"));
    EXPECT_EQ(view.editor.Details, typed.Details);
    EXPECT_EQ(view.editor.RuleAddress, typed.RuleAddress);
    EXPECT_EQ(view.editor.Memo, typed.Memo);
}

TEST_F(RuleEditor, AMemoHoldingSlashesComesBackWithALineBreakInTheirPlace)
{
    writeRules(1);
    view.selectedRow = 0;
    view.editor.Memo = QStringLiteral("http://example.jp");
    view.editor.Name = QStringLiteral("n");
    view.editor.RuleAddress = QStringLiteral("a");
    editor.ChangeRule();
    EXPECT_EQ(bytes().mid(302, 17), QByteArray("http://example.jp"));
    editor.LoadRule();
    EXPECT_EQ(view.editor.Memo, QStringLiteral("http:\r\nexample.jp"));
}

TEST_F(RuleEditor, ALongNameKeepsFiftyBytesWithoutSplittingACharacter)
{
    const struct {
        QString typed;
        QByteArray stored;
        QString readBack;
    } cases[] = {
        {QString(26, QChar(0x4E00)), Cp932Codec::encode(QString(25, QChar(0x4E00))).c_str(), QString(25, QChar(0x4E00))},
        {QStringLiteral("a") + QString(25, QChar(0x4E00)), QByteArray("a") + Cp932Codec::encode(QString(24, QChar(0x4E00))).c_str() + " ",
            QStringLiteral("a") + QString(24, QChar(0x4E00))},
    };
    writeRules(1);
    view.selectedRow = 0;
    for (const auto& test : cases) {
        view.editor = rule(test.typed, QStringLiteral("a@example.jp"));
        editor.ChangeRule();
        EXPECT_EQ(bytes().left(50), test.stored);
        editor.LoadRule();
        EXPECT_EQ(view.editor.Name, test.readBack);
    }
}

TEST_F(RuleEditor, ChangingWarnsAboutEmptyFieldsWritesReloadsAndRefreshesRuleNine)
{
    writeRules(10);
    view.selectedRow = 8;
    view.editor = rule(QStringLiteral(" "), QString());
    messageBoxes.answers = {MessageBoxService::Answer::Yes};
    editor.ChangeRule();

    EXPECT_EQ(texts(), (QStringList{QStringLiteral("メールアドレスが入力されていません。"), QStringLiteral("名称が入力されていません。"),
                           SortRuleEditor::restartQuestion()}));
    const auto& question = messageBoxes.requests.back();
    EXPECT_EQ(question.buttons, MessageBoxService::Buttons::YesNo);
    EXPECT_EQ(question.icon, MessageBoxService::Icon::Information);
    EXPECT_TRUE(question.text.contains(QStringLiteral("必要があります。\r\n\r\n更に")));
    EXPECT_FALSE(view.ended);

    EXPECT_EQ(bytes().mid(8 * RuleLength, 50), QByteArray(50, ' ')); // the empty fields are written
    ASSERT_EQ(view.names.size(), 10);
    EXPECT_EQ(view.names[8], QString(50, u' '));
    EXPECT_EQ(view.names[0], QStringLiteral("rule 1") + QString(44, u' ')); // untrimmed
    EXPECT_EQ(view.ruleNineAddress, QString());

    view.selectedRow = 2;
    view.editor = rule(QStringLiteral("rule 3"), QStringLiteral("new3@example.jp"));
    editor.ChangeRule();
    EXPECT_EQ(view.ruleNineAddress, QString()); // rule 9 reread; rule 3 waits for the next start
    EXPECT_EQ(book.read(3).value()->RuleAddress, QStringLiteral("new3@example.jp"));
}

} // namespace
