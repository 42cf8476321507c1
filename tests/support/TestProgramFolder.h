#pragma once

#include "ProgramPaths.h"
#include "SortRule.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>

// A program folder in a temporary directory, laid out as the program expects it (★MAilData,
// 添付フォルダ, ■TextQuickSave, Data), made the current directory for its lifetime so that
// vbmail.ini is found beside it, as the run command arranges.
class TestProgramFolder {
public:
    enum class Layout { Complete, WithoutDataFolder };

    explicit TestProgramFolder(Layout layout = Layout::Complete);
    ~TestProgramFolder();
    TestProgramFolder(const TestProgramFolder&) = delete;
    TestProgramFolder& operator=(const TestProgramFolder&) = delete;

    const ProgramPaths& paths() const { return paths_; }
    QString folder() const { return directory_.path(); }
    // tail below the program folder, e.g. "★MAilData/vbmdata1.data".
    QString path(const QString& tail) const { return paths_.path(tail); }
    QString dataFile(const QString& name) const { return paths_.dataFile(name); }

    void put(const QString& tail, const QByteArray& bytes) const;
    QByteArray contents(const QString& tail) const;
    bool exists(const QString& tail) const;

    // vbmdata.data with one record per rule, in order.
    void putSortRules(const QList<SortRule>& rules) const;
    static SortRule sortRule(const QString& name, const QString& address, const QString& memo = {});
    // The trimmed subjects of folder 1 to 10's records, in record order.
    QStringList storedSubjects(int folder) const;
    // A folder file of exactly that many bytes (of spaces).
    void putFolderBytes(int folder, qint64 length) const;
    void putServerSettings(const QByteArray& contents) const { put(QStringLiteral("vbmail.ini"), contents); }
    // iniIdPass2.ini with the keys NAME ... NAME10 that have a value.
    void putSecondProfile(const std::array<QString, 10>& values) const;
    static QByteArray spaces(qint64 length) { return QByteArray(length, ' '); }

private:
    QTemporaryDir directory_;
    ProgramPaths paths_;
    QString previousCurrentDirectory_;
};
