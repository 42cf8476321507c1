#include "SweepRunner.h"

#include "ProgramPaths.h"
#include "Record.h"
#include "RecordLayouts.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <filesystem>

QString SweepRunner::driver() { return QStringLiteral(NEMUROA_SWEEP_DRIVER); }

DriverRun SweepRunner::run(const QString& programFolder, const QStringList& operation, const Injection& injection)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (injection.mode != Injection::Mode::None) {
        static const char* const modes[] = {"", "count", "kill", "nospace", "ioerror"};
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(NEMUROA_SWEEP_INTERPOSER));
        environment.insert(QStringLiteral("NEMUROA_SWEEP_ROOT"), programFolder);
        environment.insert(QStringLiteral("NEMUROA_SWEEP_MODE"), QString::fromLatin1(modes[static_cast<int>(injection.mode)]));
        environment.insert(QStringLiteral("NEMUROA_SWEEP_AT"), QString::number(injection.at));
        if (!injection.trace.isEmpty())
            environment.insert(QStringLiteral("NEMUROA_SWEEP_TRACE"), injection.trace);
        if (!injection.image.isEmpty())
            environment.insert(QStringLiteral("NEMUROA_SWEEP_IMAGE"), injection.image);
    }
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(driver(), QStringList{programFolder} + operation);
    DriverRun result;
    // Long enough for one operation on a machine loaded many times over; only a hang takes longer.
    if (!process.waitForFinished(300000)) {
        process.kill();
        process.waitForFinished();
        result.killed = true;
        result.errors << QStringLiteral("driver hung");
        return result;
    }
    result.killed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString& line : result.output.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(QStringLiteral("box\t")))
            result.boxes << line.mid(4);
        else if (line.startsWith(QStringLiteral("error\t")))
            result.errors << line.mid(6);
    }
    return result;
}

std::vector<TracedCall> SweepRunner::readTrace(const QString& path)
{
    std::vector<TracedCall> calls;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 4)
            continue;
        TracedCall call;
        call.number = fields[0].toLong();
        call.writeOrFlush = fields[1] == "-" ? 0 : fields[1].toLong();
        call.operation = QString::fromUtf8(fields[2]);
        call.path = QString::fromUtf8(line.mid(fields[0].size() + fields[1].size() + fields[2].size() + 3));
        calls.push_back(call);
    }
    return calls;
}

void SweepRunner::copyFolder(const QString& source, const QString& target)
{
    removeFolder(target);
    std::filesystem::copy(QFile::encodeName(source).toStdString(), QFile::encodeName(target).toStdString(),
        std::filesystem::copy_options::recursive);
}

void SweepRunner::removeFolder(const QString& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(path).toStdString(), ignored);
}

QByteArray SweepRunner::contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SweepRunner::put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QString SweepRunner::tornRecordFiles(const QString& programFolder)
{
    const ProgramPaths paths(programFolder);
    struct Kind {
        QString name;
        const RecordLayout* layout;
    };
    std::vector<Kind> kinds;
    for (int number = 1; number <= 10; ++number)
        kinds.push_back({QStringLiteral("vbmdata%1.data").arg(number), &RecordLayouts::Message});
    kinds.push_back({QStringLiteral("vbmdata30.data"), &RecordLayouts::Sent});
    kinds.push_back({QStringLiteral("vbmdata.data"), &RecordLayouts::SortRule});
    kinds.push_back({QStringLiteral("vbmdata20.data"), &RecordLayouts::Address});
    kinds.push_back({QStringLiteral("vbmdata50.data"), &RecordLayouts::Keyword});
    QString problems;
    for (const Kind& kind : kinds) {
        const QByteArray bytes = contents(paths.dataFile(kind.name));
        const int length = kind.layout->length;
        if (bytes.size() % length != 0) {
            problems += QStringLiteral("%1: %2 bytes, not whole records; ").arg(kind.name).arg(bytes.size());
            continue;
        }
        for (qsizetype offset = 0; offset < bytes.size(); offset += length) {
            const std::int16_t live = Record::liveOf(*kind.layout, std::string_view(bytes.constData() + offset, static_cast<std::size_t>(length)));
            if (live != 0 && live != 1)
                problems += QStringLiteral("%1: record %2 is not whole; ").arg(kind.name).arg(offset / length + 1);
        }
    }
    return problems;
}

std::map<std::string, int> SweepRunner::storedSubjects(const QString& programFolder)
{
    std::map<std::string, int> counts;
    const ProgramPaths paths(programFolder);
    for (int file : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 30}) {
        const RecordLayout& layout = file == 30 ? RecordLayouts::Sent : RecordLayouts::Message;
        const QByteArray bytes = contents(paths.dataFile(QStringLiteral("vbmdata%1.data").arg(file)));
        for (qsizetype offset = 0; offset + layout.length <= bytes.size(); offset += layout.length) {
            const Record record(layout, std::string(bytes.constData() + offset, static_cast<std::size_t>(layout.length)));
            const QString subject = file == 30 ? record.text(RecordLayouts::SentField::Subject) : record.text(RecordLayouts::MessageField::Subject);
            ++counts[subject.trimmed().toStdString()];
        }
    }
    return counts;
}
