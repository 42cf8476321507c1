#include "TextQuickSave.h"

#include "../mail/QStringPrinter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

struct NameCase {
    const char* name;
    QString subject;
    QString fileName;
};

class ExportFileName : public testing::TestWithParam<NameCase> {};

TEST_P(ExportFileName, IsOneSafePathComponent)
{
    EXPECT_EQ(TextQuickSave::fileName(GetParam().subject), GetParam().fileName);
}

INSTANTIATE_TEST_SUITE_P(Subjects, ExportFileName,
    testing::Values(NameCase{"Plain", u"abc"_s, u"abc.txt"_s}, NameCase{"Japanese", u"ご案内 ①"_s, u"ご案内 ①.txt"_s},
        NameCase{"Slash", u"a/b"_s, u"a_b.txt"_s}, NameCase{"Backslash", u"a\\b"_s, u"a_b.txt"_s},
        NameCase{"UpSlashes", u"../../x"_s, u"_._.._x.txt"_s}, NameCase{"UpBackslashes", u"..\\..\\x"_s, u"_._.._x.txt"_s},
        NameCase{"LeadingDot", u".hidden"_s, u"_hidden.txt"_s}, NameCase{"InnerDots", u"a.b."_s, u"a.b..txt"_s},
        NameCase{"Controls", u"a\tb\nc"_s + QChar(0) + u"d\x7f"_s, u"a_b_c_d_.txt"_s},
        NameCase{"Empty", QString(), u"無題.txt"_s}, NameCase{"OnlyDots", u"..."_s, u"無題.txt"_s},
        NameCase{"OneDot", u"."_s, u"無題.txt"_s}),
    [](const testing::TestParamInfo<NameCase>& info) { return info.param.name; });

TEST(ExportFileNameLength, ALongSubjectIsCutAtAWholeCharacterWithinTheLimit)
{
    for (const QString& unit : {u"日"_s, u"😀"_s, u"aé"_s}) {
        const QString name = TextQuickSave::fileName(unit.repeated(200));
        const QByteArray bytes = QFile::encodeName(name);
        EXPECT_LE(bytes.size(), TextQuickSave::MaxNameBytes);
        EXPECT_GT(bytes.size(), TextQuickSave::MaxNameBytes - 4);
        EXPECT_TRUE(name.endsWith(u".txt"_s));
        EXPECT_FALSE(name.contains(QChar::ReplacementCharacter));
        EXPECT_EQ(QString::fromUtf8(bytes), name);
    }
}

class QuickSaveFolder : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkdir(u"■TextQuickSave"_s));
    }
    QString folder() const { return root.filePath(u"■TextQuickSave"_s); }
    QStringList everyFile() const
    {
        QStringList files;
        QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next());
        return files;
    }
    TextQuickSave::Outcome save(const QString& subject, const std::function<bool()>& overwrite = [] { return true; })
    {
        return TextQuickSave::write(folder(), {subject, u"from@example.jp"_s, u"2026/12/07"_s}, u"本文\n二行目"_s, overwrite);
    }

    QTemporaryDir root;
};

TEST_F(QuickSaveFolder, WritesTheFourLinesAndReturnsThemForTheBodyBox)
{
    const TextQuickSave::Outcome outcome = save(u"abc"_s);
    ASSERT_EQ(outcome.result, TextQuickSave::Result::Written);
    QFile file(folder() + u"/abc.txt"_s);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
        QByteArray("Subject:  abc\r\nFrom:  from@example.jp\r\nDate:  2026/12/07\r\nBody:  \x96\x7b\x95\xb6\r\n\x93\xf1\x8d\x73\x96\xda\r\n"));
    EXPECT_EQ(outcome.shownText, u"Subject:  abc\r\nFrom:  from@example.jp\r\nDate:  2026/12/07\r\nBody:  本文\n二行目"_s);
}

TEST_F(QuickSaveFolder, EveryHostileSubjectLandsInsideTheFolder)
{
    const QStringList subjects{u"../../x"_s, u"..\\..\\x"_s, u"a/b"_s, u"a\\b"_s, QString(), u"..."_s, u"件"_s.repeated(200),
        u"/etc/passwd"_s};
    for (const QString& subject : subjects) {
        ASSERT_EQ(save(subject).result, TextQuickSave::Result::Written) << subject.toStdString();
        for (const QString& file : everyFile())
            EXPECT_EQ(QFileInfo(file).absolutePath(), QFileInfo(folder()).absoluteFilePath()) << file.toStdString();
    }
    // "../../x" and "..\..\x" share a name, as do "a/b" and "a\b", and "" and "...".
    EXPECT_EQ(everyFile().size(), 5);
}

TEST_F(QuickSaveFolder, AnsweringNoLeavesTheOldFile)
{
    QFile old(folder() + u"/abc.txt"_s);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    int asked = 0;
    EXPECT_EQ(save(u"abc"_s, [&] { ++asked; return false; }).result, TextQuickSave::Result::Declined);
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
}

TEST_F(QuickSaveFolder, AMissingFolderOrAFileThatCannotBeWrittenIsAFailureThatSaysWhere)
{
    ASSERT_TRUE(QDir(folder()).mkdir(u"abc.txt"_s));
    const TextQuickSave::Outcome blocked = save(u"abc"_s);
    EXPECT_EQ(blocked.result, TextQuickSave::Result::Failed);
    EXPECT_TRUE(blocked.message.contains(u"abc.txt"_s));

    ASSERT_TRUE(QDir(folder()).removeRecursively());
    const TextQuickSave::Outcome missing = save(u"abc"_s);
    EXPECT_EQ(missing.result, TextQuickSave::Result::FolderMissing);
    EXPECT_TRUE(missing.message.contains(folder()));
}

} // namespace
