#include "SortRuleBook.h"

#include "RecordLayouts.h"
#include "TextHelpers.h"

namespace {

using RecordLayouts::SortRuleField;

constexpr std::array DetailFields{SortRuleField::PersonName, SortRuleField::Reading, SortRuleField::Department,
    SortRuleField::Position, SortRuleField::PostalCode, SortRuleField::Prefecture, SortRuleField::City,
    SortRuleField::Town, SortRuleField::Street};

const QString LineBreak = QStringLiteral("\r\n");
const QString StoredLineBreak = QStringLiteral("//");

} // namespace

SortRuleBook::SortRuleBook(const ProgramPaths& paths) : paths_(paths) {}

RecordFile SortRuleBook::file() const { return RecordFile(paths_.dataFile(QStringLiteral("vbmdata.data")), RecordLayouts::SortRule); }

StoreResult<std::optional<SortRule>> SortRuleBook::read(int ruleNumber) const
{
    const auto record = file().read(ruleNumber);
    if (!record.ok())
        return record.status();
    if (!record.value())
        return std::optional<SortRule>();
    const Record& stored = *record.value();
    SortRule rule;
    rule.Name = TrimBlanks(stored.text(SortRuleField::Name));
    for (std::size_t i = 0; i < DetailFields.size(); ++i)
        rule.Details[i] = TrimBlanks(stored.text(DetailFields[i]));
    rule.RuleAddress = TrimBlanks(stored.text(SortRuleField::RuleAddress));
    QString memo = stored.text(SortRuleField::Memo);
    rule.Memo = TrimBlanks(ReplaceAll(memo, StoredLineBreak, LineBreak));
    return std::optional<SortRule>(rule);
}

StoreResult<QStringList> SortRuleBook::names() const
{
    QStringList names;
    const StoreStatus status = file().forEach([&](int, std::string_view bytes) {
        names.append(untrimmedName(Record(RecordLayouts::SortRule, std::string(bytes))));
        return true;
    });
    if (!status.ok())
        return status;
    return names;
}

QString SortRuleBook::untrimmedName(const Record& record) { return record.text(SortRuleField::Name); }

Record SortRuleBook::toRecord(const SortRule& rule)
{
    Record record(RecordLayouts::SortRule);
    record.setText(SortRuleField::Name, rule.Name);
    for (std::size_t i = 0; i < DetailFields.size(); ++i)
        record.setText(DetailFields[i], rule.Details[i]);
    record.setText(SortRuleField::RuleAddress, rule.RuleAddress);
    QString memo = rule.Memo;
    record.setText(SortRuleField::Memo, ReplaceAll(memo, LineBreak, StoredLineBreak));
    return record;
}

StoreStatus SortRuleBook::write(int ruleNumber, const SortRule& rule) const { return file().write(ruleNumber, toRecord(rule)); }

StoreResult<int> SortRuleBook::append(const SortRule& rule) const { return file().append(toRecord(rule)); }
