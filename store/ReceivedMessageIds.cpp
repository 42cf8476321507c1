#include "ReceivedMessageIds.h"

#include "AtomicFile.h"
#include "ReceiveJournal.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

constexpr int Fields = 5;
constexpr int MaximumIdLength = 70;
const QString DayFormat = QStringLiteral("yyyy-MM-dd");

bool isPrintableId(QByteArrayView id)
{
    return !id.isEmpty() && id.size() <= MaximumIdLength
        && std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x21 && c <= 0x7e; });
}

QByteArray encoded(const QString& text) { return QUrl::toPercentEncoding(text); }

// A day written as DayFormat writes it ("2026-12-07"); invalid otherwise. Read by hand: a file of
// ten thousand ids is read at every receive, and the general date parser took a third of that.
QDate dayFrom(QByteArrayView text)
{
    const auto number = [&](qsizetype from, qsizetype length) {
        int value = 0;
        for (qsizetype at = from; at < from + length; ++at) {
            if (text[at] < '0' || text[at] > '9')
                return -1;
            value = value * 10 + (text[at] - '0');
        }
        return value;
    };
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return {};
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    return year < 0 || month < 0 || day < 0 ? QDate() : QDate(year, month, day);
}

} // namespace

ReceivedMessageIds::ReceivedMessageIds(const ProgramPaths& paths) : paths_(paths) {}

QString ReceivedMessageIds::path() const { return paths_.dataFile(u"received.ids"); }

QString ReceivedMessageIds::pendingPath() const { return paths_.dataFile(u"received.ids.new"); }

StoreStatus ReceivedMessageIds::settle() const
{
    if (!QFileInfo::exists(pendingPath()) || QFileInfo::exists(ReceiveJournal(paths_).path()))
        return StoreStatus::success();
    return commitPending();
}

StoreStatus ReceivedMessageIds::commitPending() const
{
    const QByteArray pending = QFile::encodeName(pendingPath());
    if (std::rename(pending.constData(), QFile::encodeName(path()).constData()) != 0)
        return StoreStatus::failure(
            QStringLiteral("ファイルを置き換えられません: %1 (%2)").arg(path(), AtomicFile::describeErrno(errno)));
    return AtomicFile::syncDirectoryOf(path());
}

StoreStatus ReceivedMessageIds::load(const QString& server, const QString& user)
{
    accountKey_ = encoded(server) + '\t' + encoded(user) + '\t';
    otherAccounts_.clear();
    entries_.clear();
    index_.clear();
    changed_ = false;
    if (StoreStatus settled = settle(); !settled.ok())
        return settled;
    QFile file(path());
    if (!file.exists())
        return StoreStatus::success();
    if (!file.open(QIODevice::ReadOnly))
        return StoreStatus::failure(QStringLiteral("ファイルを読めません: %1 (%2)").arg(path(), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return StoreStatus::failure(QStringLiteral("ファイルを読めません: %1 (%2)").arg(path(), file.errorString()));
    const auto broken = [&](qsizetype lineNumber) {
        return StoreStatus::failure(
            QStringLiteral("受信済みメッセージの一覧 %1 の %2 行目が壊れています。").arg(path()).arg(lineNumber));
    };
    qsizetype lineNumber = 0;
    for (qsizetype start = 0; start < bytes.size();) {
        ++lineNumber;
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            return broken(lineNumber);
        const QByteArrayView line(bytes.constData() + start, end - start);
        start = end + 1;
        const QList<QByteArrayView> fields = [&] {
            QList<QByteArrayView> parts;
            qsizetype from = 0;
            for (qsizetype tab; (tab = line.indexOf('\t', from)) >= 0; from = tab + 1)
                parts.append(line.sliced(from, tab - from));
            parts.append(line.sliced(from));
            return parts;
        }();
        if (fields.size() != Fields || fields[0].isEmpty() || fields[1].isEmpty() || !isPrintableId(fields[4]))
            return broken(lineNumber);
        const QDate day = dayFrom(fields[2]);
        if (!day.isValid() || (fields[3] != "S" && fields[3] != "R"))
            return broken(lineNumber);
        if (!line.startsWith(accountKey_)) {
            otherAccounts_.append(line.data(), static_cast<std::size_t>(line.size()));
            otherAccounts_ += '\n';
            continue;
        }
        const QString id = QString::fromLatin1(fields[4]);
        if (index_.contains(id))
            return broken(lineNumber);
        index_.insert(id, entries_.size());
        entries_.push_back({id, day, fields[3] == "S" ? State::Stored : State::Refused});
    }
    return StoreStatus::success();
}

const ReceivedMessageIds::Entry* ReceivedMessageIds::find(const QString& id) const
{
    const auto found = index_.constFind(id);
    return found == index_.cend() ? nullptr : &entries_[*found];
}

void ReceivedMessageIds::add(const QString& id, QDate day, State state)
{
    if (!isPrintableId(id.toLatin1()))
        return;
    if (const auto found = index_.constFind(id); found != index_.cend()) {
        entries_[*found].state = state;
    } else {
        index_.insert(id, entries_.size());
        entries_.push_back({id, day, state});
    }
    changed_ = true;
}

void ReceivedMessageIds::keepOnly(const QSet<QString>& listed)
{
    const auto gone = std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& entry) { return !listed.contains(entry.id); });
    if (gone == entries_.end())
        return;
    entries_.erase(gone, entries_.end());
    index_.clear();
    for (std::size_t at = 0; at < entries_.size(); ++at)
        index_.insert(entries_[at].id, at);
    changed_ = true;
}

StoreStatus ReceivedMessageIds::writePending() const
{
    std::string content = otherAccounts_;
    content.reserve(content.size() + entries_.size() * static_cast<std::size_t>(accountKey_.size() + 48));
    for (const Entry& entry : entries_) {
        content.append(accountKey_.constData(), static_cast<std::size_t>(accountKey_.size()));
        content += entry.firstStored.toString(DayFormat).toStdString();
        content += entry.state == State::Stored ? "\tS\t" : "\tR\t";
        content += entry.id.toStdString();
        content += '\n';
    }
    // It names the account's user ID: readable by its owner only.
    return AtomicFile::write(pendingPath(), content, 0600);
}
