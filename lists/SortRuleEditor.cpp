#include "SortRuleEditor.h"

#include "TextHelpers.h"
#include "UnstorableInput.h"

#include <array>

namespace {

// Row 9 of the name list is rule 10, which only names the others folder.
constexpr int OthersRow = SortRuleBook::RuleCount - 1;

} // namespace

SortRuleEditor::SortRuleEditor(const ProgramPaths& paths, MessageBoxService& messageBoxes, SortRuleEditorView& view)
    : book_(paths), messageBoxes_(messageBoxes), view_(view)
{
}

QString SortRuleEditor::restartQuestion()
{
    return QStringLiteral("変更した内容をタブに反映するためには、一度終了する必要があります。\r\n\r\n"
                          "更に変更作業を続けますか？ 「はい」、で続行、「いいえ」をクリックすると終了します。");
}

QString SortRuleEditor::rulesFull()
{
    return QStringLiteral("担当者データは最大10件です。これ以上登録できません。");
}

bool SortRuleEditor::refuseUnstorable(const SortRule& rule)
{
    static const std::array<const char16_t*, 9> detailNames{u"氏名", u"フリガナ", u"所属", u"役職名", u"〒",
        u"住所（都・道・府・県）", u"住所（市・区）", u"住所（町）", u"番地及びマンション名"};
    QString notice = UnstorableInputNotice(rule.Name, QStringLiteral("名称"));
    for (std::size_t i = 0; i < detailNames.size() && notice.isEmpty(); ++i)
        notice = UnstorableInputNotice(rule.Details[i], QString::fromUtf16(detailNames[i]));
    if (notice.isEmpty())
        notice = UnstorableInputNotice(rule.RuleAddress, QStringLiteral("メールアドレス"));
    if (notice.isEmpty())
        notice = UnstorableInputNotice(rule.Memo, QStringLiteral("備考"));
    if (notice.isEmpty())
        return false;
    messageBoxes_.notify(notice, MessageBoxService::Icon::Exclamation);
    return true;
}

void SortRuleEditor::report(const StoreStatus& failure)
{
    messageBoxes_.notify(failure.error(), MessageBoxService::Icon::Critical);
}

void SortRuleEditor::LoadRule()
{
    const int row = view_.selectedRuleRow();
    if (row == OthersRow)
        messageBoxes_.notify(othersRowWarning());
    if (row < 0) {
        messageBoxes_.notify(nothingSelected(), MessageBoxService::Icon::Exclamation);
        view_.focusRuleList();
        return;
    }
    const auto rule = book_.read(row + 1);
    if (!rule.ok()) {
        report(rule.status());
        return;
    }
    // A row whose record has gone shows empty fields, as a rule beyond the end of the file does.
    view_.showInEditor(rule.value().value_or(SortRule{}));
}

void SortRuleEditor::ChangeRule()
{
    const int row = view_.selectedRuleRow();
    if (row < 0) {
        messageBoxes_.notify(nothingSelected(), MessageBoxService::Icon::Exclamation);
        view_.focusRuleList();
        return;
    }
    const SortRule rule = view_.editorContents();
    if (refuseUnstorable(rule))
        return;
    if (TrimBlanks(rule.RuleAddress).isEmpty())
        messageBoxes_.notify(addressMissing());
    if (TrimBlanks(rule.Name).isEmpty())
        messageBoxes_.notify(nameMissing());

    if (StoreStatus written = book_.write(row + 1, rule); !written.ok()) {
        report(written);
        return;
    }
    if (!reloadNames())
        return;

    const MessageBoxService::Answer answer = messageBoxes_.show({restartQuestion(), QStringLiteral("確認"),
        MessageBoxService::Buttons::YesNo, MessageBoxService::Icon::Information});
    if (answer == MessageBoxService::Answer::No)
        view_.endProgram();
}

bool SortRuleEditor::reloadNames()
{
    const auto names = book_.names();
    if (!names.ok()) {
        report(names.status());
        return false;
    }
    view_.showRuleNames(names.value());

    const auto ruleNine = book_.read(SortRuleBook::SortingRules);
    if (!ruleNine.ok()) {
        report(ruleNine.status());
        return false;
    }
    view_.setRuleNineAddress(ruleNine.value() ? ruleNine.value()->RuleAddress : QString());
    return true;
}

void SortRuleEditor::ClearRuleEditor() { view_.showInEditor(SortRule{}); }

void SortRuleEditor::AppendRule()
{
    const auto next = book_.file().nextRecordNumber();
    if (!next.ok()) {
        report(next.status());
        return;
    }
    if (next.value() > SortRuleBook::RuleCount) {
        messageBoxes_.notify(rulesFull(), MessageBoxService::Icon::Exclamation);
        return;
    }
    const SortRule rule = view_.editorContents();
    if (refuseUnstorable(rule))
        return;
    if (StoreStatus written = book_.write(next.value(), rule); !written.ok())
        report(written);
}
