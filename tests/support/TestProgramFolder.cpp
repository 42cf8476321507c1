#include "TestProgramFolder.h"

#include "Cp932Codec.h"
#include "FolderFiles.h"
#include "RecordLayouts.h"
#include "SortRuleBook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestProgramFolder::TestProgramFolder(Layout layout)
    : paths_(directory_.path()), previousCurrentDirectory_(QDir::currentPath())
{
    QDir folder(directory_.path());
    // Laid out as the launcher lays out a user's folder: open to the owner only.
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString& name : {QStringLiteral("添付フォルダ"), QStringLiteral("■TextQuickSave"), QStringLiteral("Data")})
        folder.mkdir(name, ownerOnly);
    if (layout == Layout::Complete)
        folder.mkdir(ProgramPaths::dataFolderName(), ownerOnly);
    QDir::setCurrent(directory_.path());
}

TestProgramFolder::~TestProgramFolder() { QDir::setCurrent(previousCurrentDirectory_); }

void TestProgramFolder::put(const QString& tail, const QByteArray& bytes) const
{
    QFile file(path(tail));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray TestProgramFolder::contents(const QString& tail) const
{
    QFile file(path(tail));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestProgramFolder::exists(const QString& tail) const { return QFileInfo::exists(path(tail)); }

SortRule TestProgramFolder::sortRule(const QString& name, const QString& address, const QString& memo)
{
    SortRule rule;
    rule.Name = name;
    rule.RuleAddress = address;
    rule.Memo = memo;
    return rule;
}

void TestProgramFolder::putSortRules(const QList<SortRule>& rules) const
{
    QByteArray bytes;
    for (const SortRule& rule : rules) {
        const Record record = SortRuleBook::toRecord(rule);
        bytes.append(record.bytes().data(), static_cast<qsizetype>(record.bytes().size()));
    }
    QFile file(dataFile(QStringLiteral("vbmdata.data")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QStringList TestProgramFolder::storedSubjects(int folder) const
{
    QStringList subjects;
    (void)FolderFiles::folderFile(paths_, folder).forEach([&](int, std::string_view bytes) {
        subjects.append(Record(RecordLayouts::Message, std::string(bytes)).text(RecordLayouts::MessageField::Subject).trimmed());
        return true;
    });
    return subjects;
}

void TestProgramFolder::putFolderBytes(int folder, qint64 length) const
{
    QFile file(FolderFiles::FolderFilePath(paths_, folder));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(spaces(length));
}

void TestProgramFolder::putSecondProfile(const std::array<QString, 10>& values) const
{
    QString text = QStringLiteral("[EXEINI]\r\n");
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i].isNull())
            continue;
        const QString key = i == 0 ? QStringLiteral("NAME") : QStringLiteral("NAME%1").arg(i + 1);
        text += key + u'=' + values[i] + QStringLiteral("\r\n");
    }
    const std::string bytes = Cp932Codec::encode(text);
    put(QStringLiteral("★MailData/iniIdPass2.ini"), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}
