#include "SplitMessageStore.h"

#include "HeaderBlock.h"
#include "MimeParameters.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <vector>

std::optional<SplitMessageStore::PartInfo> SplitMessageStore::partInfo(std::string_view raw)
{
    const HeaderBlock header(raw);
    const std::string* type = header.value("Content-Type");
    if (!type || MimeParameters::mainValue(*type) != "message/partial")
        return std::nullopt;
    const auto number = [&](std::string_view name) {
        const std::string text = MimeParameters::raw(*type, name).value_or(std::string());
        int value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size() && value > 0 ? value : 0;
    };
    PartInfo info;
    info.id = MimeParameters::raw(*type, "id").value_or(std::string());
    info.number = number("number");
    info.total = number("total");
    return info;
}

namespace {

bool isEnclosedField(std::string_view name)
{
    return (name.size() >= 8 && HeaderBlock::namesEqual(name.substr(0, 8), "Content-")) || HeaderBlock::namesEqual(name, "Subject")
        || HeaderBlock::namesEqual(name, "Message-ID") || HeaderBlock::namesEqual(name, "Encrypted")
        || HeaderBlock::namesEqual(name, "MIME-Version");
}

bool writeWhole(const QString& path, std::string_view bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return file.commit();
}

std::optional<std::string> readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll().toStdString();
}

QString partFile(int number) { return QStringLiteral("part-%1.eml").arg(number, 4, 10, QChar(u'0')); }

} // namespace

SplitMessageStore::SplitMessageStore(const AttachmentFolder& folder) : folder_(folder) {}

QString SplitMessageStore::workFolder() const { return folder_.path() + QStringLiteral("/.nmail-split"); }

std::string SplitMessageStore::reassemble(const std::vector<std::string>& partsInOrder)
{
    std::string enclosed;
    for (const std::string& part : partsInOrder)
        enclosed += HeaderBlock(part).body();
    const HeaderBlock outer(partsInOrder.front());
    const HeaderBlock inner(enclosed);
    std::string whole;
    const auto append = [&](std::string_view raw) {
        whole += raw;
        if (!raw.ends_with('\n'))
            whole += "\r\n";
    };
    for (const HeaderBlock::Field& field : outer.fields()) {
        if (!isEnclosedField(field.name))
            append(field.raw);
    }
    for (const HeaderBlock::Field& field : inner.fields()) {
        if (isEnclosedField(field.name))
            append(field.raw);
    }
    whole += "\r\n";
    whole += inner.body();
    return whole;
}

SplitMessageStore::Outcome SplitMessageStore::add(std::string_view raw) const
{
    Outcome outcome;
    const auto info = partInfo(raw);
    if (!info)
        return outcome;
    outcome.kind = Outcome::Kind::Failed;
    if (info->id.empty() || info->number == 0 || info->number > MaximumParts || info->total > MaximumParts
        || (info->total > 0 && info->number > info->total)) {
        outcome.error = QStringLiteral("分割されたメールの番号（%1/%2）が正しくありません。").arg(info->number).arg(info->total);
        outcome.malformed = true;
        return outcome;
    }
    // The id comes from the outside: its hash names the folder, so no id can reach another path.
    const QString idFolder = workFolder() + u'/'
        + QString::fromLatin1(QCryptographicHash::hash(QByteArray::fromStdString(info->id), QCryptographicHash::Sha256).toHex().left(32));
    if (!QDir().mkpath(idFolder)) {
        outcome.error = QStringLiteral("分割されたメールを保管するフォルダ「%1」を作れません。").arg(QDir::toNativeSeparators(idFolder));
        return outcome;
    }
    const QString partPath = idFolder + u'/' + partFile(info->number);
    const bool newPart = !QFile::exists(partPath);
    if (newPart && !writeWhole(partPath, raw)) {
        outcome.error = QStringLiteral("分割されたメールの一部を「%1」に保管できません。").arg(QDir::toNativeSeparators(idFolder));
        return outcome;
    }
    const QString totalPath = idFolder + QStringLiteral("/total");
    if (newPart)
        outcome.keptFiles << partPath;
    if (info->total > 0 && !QFile::exists(totalPath) && writeWhole(totalPath, std::to_string(info->total)))
        outcome.keptFiles << totalPath;
    if (const auto saved = readAll(totalPath))
        outcome.total = std::atoi(saved->c_str());

    for (int number = 1; number <= (outcome.total > 0 ? outcome.total : MaximumParts); ++number) {
        if (QFile::exists(idFolder + u'/' + partFile(number)))
            ++outcome.have;
    }
    if (outcome.total == 0 || outcome.have < outcome.total) {
        outcome.kind = Outcome::Kind::Incomplete;
        return outcome;
    }

    std::vector<std::string> parts;
    for (int number = 1; number <= outcome.total; ++number) {
        auto part = readAll(idFolder + u'/' + partFile(number));
        if (!part) {
            outcome.error = QStringLiteral("分割されたメールの一部を読めません。");
            return outcome;
        }
        parts.push_back(std::move(*part));
    }
    outcome.whole = reassemble(parts);
    outcome.kind = Outcome::Kind::Complete;
    outcome.keptParts = idFolder;
    return outcome;
}

void SplitMessageStore::removeKeptParts(const QString& keptParts)
{
    QDir(keptParts).removeRecursively();
    // The work folder goes with its last message; another message's parts keep it.
    QDir().rmdir(QFileInfo(keptParts).absolutePath());
}
