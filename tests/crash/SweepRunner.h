#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <map>
#include <string>
#include <vector>

// Runs the sweep driver on a program folder, with or without the file-call interposer.
struct DriverRun {
    bool killed = false;
    int exitCode = 0;
    QStringList boxes; // "title<TAB>text"
    QStringList errors;
    QString output;
};

// One counted call of a traced run.
struct TracedCall {
    long number = 0;
    long writeOrFlush = 0; // 0 for calls that only change names
    QString operation;
    QString path; // below the program folder, starting with "/"
};

struct Injection {
    enum class Mode { None, Count, Kill, NoSpace, IoError };
    Mode mode = Mode::None;
    long at = 0;
    QString trace;
    QString image;
};

class SweepRunner {
public:
    static QString driver();

    static DriverRun run(const QString& programFolder, const QStringList& operation, const Injection& injection = {});
    static std::vector<TracedCall> readTrace(const QString& path);

    // Replaces target by a copy of source.
    static void copyFolder(const QString& source, const QString& target);
    static void removeFolder(const QString& path);
    static QByteArray contents(const QString& path);
    static void put(const QString& path, const QByteArray& bytes);

    // "" when every record file of the data folder holds whole records with a Live flag of 0 or 1;
    // else what is wrong.
    static QString tornRecordFiles(const QString& programFolder);
    // Subject -> times stored, over the ten folders and the sent history.
    static std::map<std::string, int> storedSubjects(const QString& programFolder);
};
