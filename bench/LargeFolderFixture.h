#pragma once

#include "FolderFiles.h"
#include "ProgramPaths.h"
#include "Record.h"
#include "RecordFile.h"
#include "RecordLayouts.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// Writes a full folder file (32766 message records, about 1 GB) densely, in 1 MB batches. Only the
// list fields differ from record to record; building every body would dominate the set-up.
inline Record sampleRecord(int number)
{
    using RecordLayouts::MessageField;
    Record record(RecordLayouts::Message);
    record.setText(MessageField::Subject, QStringLiteral("【お知らせ】第%1号 今月のご案内と新着情報について").arg(number));
    record.setText(MessageField::From, QStringLiteral("\"配信センター\" <news%1@example.jp>").arg(number % 97));
    record.setText(MessageField::Date, QStringLiteral("Mon, 7 Dec 2026 10:%1:00 +0900").arg(number % 60, 2, 10, QChar(u'0')));
    record.setText(MessageField::Body, QStringLiteral("いつもご利用いただきありがとうございます。\r\n").repeated(40)
            + QStringLiteral("第%1号").arg(number));
    return record;
}

inline void writeFolderFile(const QString& path, int records = RecordFile::Capacity)
{
    const int listBytes = 280;
    const Record sample = sampleRecord(0);
    const int batchRecords = 32;
    std::string batch;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    for (int first = 1; first <= records; first += batchRecords) {
        batch.clear();
        for (int number = first; number < first + batchRecords && number <= records; ++number) {
            batch += sampleRecord(number).bytes().substr(0, listBytes);
            batch += sample.bytes().substr(listBytes);
        }
        out.write(batch.data(), static_cast<qint64>(batch.size()));
    }
    out.close();
    if (out.size() != qint64(records) * RecordLayouts::Message.length) {
        std::fprintf(stderr, "short write of %s\n", qPrintable(path));
        std::exit(1);
    }
}

// A program folder in a temporary directory holding one full folder file, removed with the fixture.
class LargeFolderFixture {
public:
    explicit LargeFolderFixture(int folder) : paths_(directory_.path()), folder_(folder)
    {
        QDir(directory_.path()).mkdir(ProgramPaths::dataFolderName());
        writeFolderFile(path());
    }

    const ProgramPaths& paths() const { return paths_; }
    QString path() const { return FolderFiles::FolderFilePath(paths_, folder_); }
    RecordFile file() const { return FolderFiles::folderFile(paths_, folder_); }

private:
    QTemporaryDir directory_;
    ProgramPaths paths_;
    int folder_;
};

enum class ListBytesAdvice { None, AllAtOnce };

// The yardstick: one pread of the list bytes per whole record, nothing else. With AllAtOnce, every
// record's list bytes are first asked of the kernel at once: the floor of a cold open.
inline long rawPreadLoop(const QString& path, int recordLength, int listBytes, ListBytesAdvice advice = ListBytesAdvice::None)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const off_t records = ::lseek(fd, 0, SEEK_END) / recordLength;
    if (advice == ListBytesAdvice::AllAtOnce) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
        for (off_t index = 0; index < records; ++index)
            ::posix_fadvise(fd, index * recordLength, listBytes, POSIX_FADV_WILLNEED);
    }
    char buffer[1024];
    long sum = 0;
    for (off_t index = 0; index < records; ++index) {
        if (::pread(fd, buffer, static_cast<std::size_t>(listBytes), index * recordLength) != listBytes)
            break;
        sum += buffer[0];
    }
    ::close(fd);
    return sum;
}
