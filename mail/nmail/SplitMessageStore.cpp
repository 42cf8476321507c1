#include "SplitMessageStore.h"

#include "CharsetDecoder.h"
#include "HeaderBlock.h"
#include "MimeParameters.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <map>
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
    // A kept part is mail: readable by its owner alone, like every attachment.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    // A write the disk refused must not be committed as a short file: an unwritten file leaves
    // the part on the server, a short one would stand for it.
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) || !file.flush())
        return false;
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

const QString TotalFile = QStringLiteral("total");
// Holds the hash of the part that completed the set: the same server message, delivered again
// after its records were taken back, rebuilds it again; any other part of the set stays separate.
const QString RebuiltFile = QStringLiteral("rebuilt");
const QString TooLargeFile = QStringLiteral("too-large");

QByteArray hashOf(std::string_view bytes)
{
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), QCryptographicHash::Sha256).toHex();
}

// The kept parts of a set by number, with their sizes.
std::map<int, qint64> keptParts(const QString& setFolder)
{
    std::map<int, qint64> parts;
    for (const QFileInfo& file : QDir(setFolder).entryInfoList({QStringLiteral("part-*.eml")}, QDir::Files | QDir::Hidden)) {
        const QString digits = file.completeBaseName().mid(5);
        bool ok = false;
        const int number = digits.toInt(&ok);
        if (ok && number > 0 && number <= SplitMessageStore::MaximumParts)
            parts[number] = file.size();
    }
    return parts;
}

QString numberText(const SplitMessageStore::PartInfo& part)
{
    return part.total > 0 ? QStringLiteral(" %1/%2 ").arg(part.number).arg(part.total) : QStringLiteral(" %1 ").arg(part.number);
}

QString separateNotice(const SplitMessageStore::PartInfo& part, const QString& why)
{
    return QStringLiteral("（分割されたメールの%1番目の部分ですが、%2ため、元のメールには戻さず、この部分だけをこのメールとして保存しました。）")
        .arg(numberText(part), why);
}

} // namespace

SplitMessageStore::SplitMessageStore(const AttachmentFolder& folder, qint64 maximumWholeBytes)
    : folder_(folder)
    , maximumWholeBytes_(maximumWholeBytes)
{
}

QString SplitMessageStore::workFolder() const { return folder_.path() + QStringLiteral("/.nmail-split"); }

std::string SplitMessageStore::senderAddress(std::string_view raw)
{
    const HeaderBlock header(raw);
    const std::string* from = header.value("From");
    if (!from)
        return {};
    std::string_view address = *from;
    const std::size_t open = address.rfind('<');
    const std::size_t close = open == std::string_view::npos ? open : address.find('>', open);
    if (close != std::string_view::npos)
        address = address.substr(open + 1, close - open - 1);
    std::string lowered;
    for (const char c : address) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            lowered += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    }
    return lowered;
}

QString SplitMessageStore::waitingNotice(const PartInfo& part)
{
    return QStringLiteral("（分割されたメールの%1番目の部分です。全部が揃うと元のメールに戻します。揃わないまま %2 日たつと、"
                          "添付フォルダに残したこの部分の写しは消しますが、この部分の内容はこのメールに残ります。）")
        .arg(numberText(part))
        .arg(AbandonedAfterDays);
}

QString SplitMessageStore::partText(std::string_view raw, const QString& notice)
{
    const QString text = CharsetDecoder::decodeUnlabelled(HeaderBlock(raw).body());
    QString body = notice + QStringLiteral("\r\n\r\n");
    body.reserve(body.size() + text.size() + text.size() / 32);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            body += u"\r\n";
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            body += u"\r\n";
        } else if (c != QChar(0)) {
            body += c;
        }
    }
    return body;
}

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

SplitMessageStore::Outcome SplitMessageStore::add(std::string_view raw, const QStringList& rebuiltBefore) const
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
    const auto separate = [&](const QString& why) {
        outcome.kind = Outcome::Kind::Separate;
        outcome.notice = separateNotice(*info, why);
        return outcome;
    };
    // Sender and id come from the outside: their hash names the folder, so no id can reach
    // another path, and a part from another sender never lands among this sender's parts.
    const std::string set = senderAddress(raw) + '\n' + info->id;
    const QString setFolder = workFolder() + u'/' + QString::fromLatin1(hashOf(set).left(32));
    if (rebuiltBefore.contains(setFolder))
        return separate(QStringLiteral("このメールはすでに元のメールに戻してある"));
    if (!QDir().mkpath(setFolder)) {
        outcome.error = QStringLiteral("分割されたメールを保管するフォルダ「%1」を作れません。").arg(QDir::toNativeSeparators(setFolder));
        return outcome;
    }
    const QByteArray hash = hashOf(raw);
    // A mark that is not a whole hash was never written whole: the set counts as not rebuilt.
    const auto rebuiltBy = readAll(setFolder + u'/' + RebuiltFile);
    if (rebuiltBy && rebuiltBy->size() == static_cast<std::size_t>(hash.size()) && QByteArray::fromStdString(*rebuiltBy) != hash)
        return separate(QStringLiteral("このメールはすでに元のメールに戻してある"));
    if (QFile::exists(setFolder + u'/' + TooLargeFile))
        return separate(QStringLiteral("元のメール全体が %1 バイトを超える").arg(maximumWholeBytes_));
    const QString totalPath = setFolder + u'/' + TotalFile;
    if (const auto saved = readAll(totalPath))
        outcome.total = std::atoi(saved->c_str());
    if (outcome.total > 0 && ((info->total > 0 && info->total != outcome.total) || info->number > outcome.total))
        return separate(QStringLiteral("部分の数が、この分割されたメールに先に届いた部分の数（%1）と合わない").arg(outcome.total));

    const QString partPath = setFolder + u'/' + partFile(info->number);
    std::map<int, qint64> parts = keptParts(setFolder);
    const bool newPart = !parts.contains(info->number);
    if (!newPart) {
        // The same server message again (its records were taken back) is the part already kept.
        const auto kept = readAll(partPath);
        if (!kept || hashOf(*kept) != hash)
            return separate(QStringLiteral("同じ番号の部分がすでに届いている"));
    }
    qint64 wholeBytes = static_cast<qint64>(raw.size());
    for (const auto& [number, size] : parts) {
        if (number != info->number)
            wholeBytes += size;
    }
    if (wholeBytes > maximumWholeBytes_) {
        if (writeWhole(setFolder + u'/' + TooLargeFile, std::string()))
            outcome.keptFiles << setFolder + u'/' + TooLargeFile;
        return separate(QStringLiteral("元のメール全体が %1 バイトを超える").arg(maximumWholeBytes_));
    }
    if (newPart && !writeWhole(partPath, raw)) {
        outcome.error = QStringLiteral("分割されたメールの一部を「%1」に保管できません。").arg(QDir::toNativeSeparators(setFolder));
        return outcome;
    }
    if (newPart) {
        outcome.keptFiles << partPath;
        parts[info->number] = static_cast<qint64>(raw.size());
    }
    if (info->total > 0 && outcome.total == 0) {
        outcome.total = info->total;
        if (writeWhole(totalPath, std::to_string(info->total)))
            outcome.keptFiles << totalPath;
    }
    outcome.have = 0;
    for (const auto& [number, size] : parts) {
        if (outcome.total == 0 || number <= outcome.total)
            ++outcome.have;
    }
    if (outcome.total == 0 || outcome.have < outcome.total) {
        outcome.kind = Outcome::Kind::Incomplete;
        return outcome;
    }

    std::vector<std::string> inOrder;
    inOrder.reserve(static_cast<std::size_t>(outcome.total));
    for (int number = 1; number <= outcome.total; ++number) {
        auto part = number == info->number ? std::optional<std::string>(std::string(raw)) : readAll(setFolder + u'/' + partFile(number));
        if (!part) {
            outcome.error = QStringLiteral("分割されたメールの一部を読めません。");
            return outcome;
        }
        inOrder.push_back(std::move(*part));
    }
    if (!writeWhole(setFolder + u'/' + RebuiltFile, hash.toStdString())) {
        outcome.error = QStringLiteral("分割されたメールを保管するフォルダ「%1」に書き込めません。").arg(QDir::toNativeSeparators(setFolder));
        return outcome;
    }
    outcome.keptFiles << setFolder + u'/' + RebuiltFile;
    outcome.whole = reassemble(inOrder);
    outcome.kind = Outcome::Kind::Complete;
    outcome.keptParts = setFolder;
    return outcome;
}

void SplitMessageStore::removeAbandonedSets() const
{
    const QDateTime oldest = QDateTime::currentDateTime().addDays(-AbandonedAfterDays);
    for (const QFileInfo& set : QDir(workFolder()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        // The folder's own time moves with every file written into it: its parts tell the age.
        const QFileInfoList files = QDir(set.absoluteFilePath()).entryInfoList(QDir::Files | QDir::Hidden);
        QDateTime newest = files.isEmpty() ? set.lastModified() : files.front().lastModified();
        for (const QFileInfo& file : files)
            newest = std::max(newest, file.lastModified());
        if (newest < oldest)
            removeKeptParts(set.absoluteFilePath());
    }
}

void SplitMessageStore::removeKeptParts(const QString& keptParts)
{
    QDir(keptParts).removeRecursively();
    // The work folder goes with its last message; another message's parts keep it.
    QDir().rmdir(QFileInfo(keptParts).absolutePath());
}
