#include "AttachmentFolder.h"
#include "AttachmentWorkFile.h"
#include "Cp932Codec.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct WorkTextCase {
    const char* name;
    QString header;
    QString body;
    QString workText;
};

class AttachmentWorkText : public ::testing::TestWithParam<WorkTextCase> {};

// The work text is made in memory; it must be exactly what reading the written file back line by
// line gives, and the file must hold the message in code page 932.
TEST_P(AttachmentWorkText, EqualsTheWrittenFileReadBackLineByLine)
{
    const WorkTextCase& c = GetParam();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("0.txt"));
    // A longer text before shows that the file is cut to the new message's length.
    (void)AttachmentWorkFile::write(path, QString(300, u'x'), QString(300, u'y'));

    const QString workText = AttachmentWorkFile::write(path, c.header, c.body);

    EXPECT_EQ(workText, c.workText);
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    EXPECT_EQ(view, Cp932Codec::encode(c.header + QStringLiteral("\r\n") + c.body + QStringLiteral("\r\n")));
    EXPECT_EQ(AttachmentWorkFile::linesOf(Cp932Codec::decode(view)), workText);
}

INSTANTIATE_TEST_SUITE_P(AwkwardTexts, AttachmentWorkText,
    ::testing::Values(
        WorkTextCase{"JapaneseWithCrLfLines", QStringLiteral("From: a@example.jp\r\nSubject: 件名"), QStringLiteral("本文\r\n二行目"),
            QStringLiteral("From: a@example.jp\r\nSubject: 件名\r\n本文\r\n二行目\r\n")},
        WorkTextCase{"LoneLfAndLoneCrEndLines", QStringLiteral("A\nB"), QStringLiteral("C\rD\r\n\rE"),
            QStringLiteral("A\r\nB\r\nC\r\nD\r\n\r\nE\r\n")},
        WorkTextCase{"LoneLfAfterALongLine", QStringLiteral("H"), QString(41, u'x') + u'\n' + QString(7, u'y'),
            QStringLiteral("H\r\n") + QString(41, u'x') + QStringLiteral("\r\n") + QString(7, u'y') + QStringLiteral("\r\n")},
        WorkTextCase{"CrBeforeTheLastLineEndIsAnEmptyLine", QStringLiteral("H"), QStringLiteral("x\r"), QStringLiteral("H\r\nx\r\n\r\n")},
        WorkTextCase{"EmptyMessageIsTwoEmptyLines", QString(), QString(), QStringLiteral("\r\n\r\n")},
        WorkTextCase{"UnstorableCharactersReadBackAsQuestionMarks", QString(),
            QString::fromUtf16(u"caf\u00e9 \U0001F600 \u2460") + QChar(0xD800) + u'x',
            QString::fromUtf16(u"\r\ncaf? ? \u2460?x\r\n")},
        WorkTextCase{"TwoFormsOfOneCharacterReadBackAsTheCodePageShowsThem", QString(),
            QString::fromUtf16(u"10\u301c50 \u2212 \uff71\u3231"), QString::fromUtf16(u"\r\n10\uff5e50 \uff0d \uff71\u3231\r\n")}),
    [](const ::testing::TestParamInfo<WorkTextCase>& info) { return std::string(info.param.name); });

TEST(AttachmentWorkFile, AFolderThatCannotTakeTheFileGivesAnEmptyWorkText)
{
    QTemporaryDir folder;
    EXPECT_TRUE(AttachmentWorkFile::write(folder.filePath(QStringLiteral("missing/0.txt")), QStringLiteral("H"), QStringLiteral("B")).isEmpty());
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

TEST(AttachmentWorkFile, AFileOfThatNameTheProgramDidNotMakeIsNeitherWrittenNorRemoved)
{
    struct Case {
        const char* what;
        // Puts the file at 0.txt that must stay; path is 0.txt, victim a file of the user's elsewhere.
        std::function<void(const QString& path, const QString& victim)> prepare;
    };
    const Case cases[] = {
        {"the user's own 0.txt", [](const QString& path, const QString&) { put(path, "mine"); }},
        {"the user's own 0.txt made read-only",
            [](const QString& path, const QString&) {
                put(path, "mine");
                ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
            }},
        {"a link to another file",
            [](const QString& path, const QString& victim) { ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), QFile::encodeName(path).constData()), 0); }},
        {"an attachment saved under the name after the program's work file was removed",
            [](const QString& path, const QString&) {
                ASSERT_FALSE(AttachmentWorkFile::write(path, QStringLiteral("H"), QStringLiteral("B")).isEmpty());
                AttachmentWorkFile::remove(path);
                put(path, "mine");
            }},
        {"the user's file put in place of the program's during a receive",
            [](const QString& path, const QString& victim) {
                ASSERT_FALSE(AttachmentWorkFile::write(path, QStringLiteral("H"), QStringLiteral("B")).isEmpty());
                const QString mine = victim + QStringLiteral(".mine");
                put(mine, "mine");
                ASSERT_EQ(::rename(QFile::encodeName(mine).constData(), QFile::encodeName(path).constData()), 0);
            }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("0.txt"));
        const QString victim = folder.filePath(QStringLiteral("victim.txt"));
        put(victim, "precious");
        c.prepare(path, victim);
        const QByteArray before = contents(path);

        EXPECT_EQ(AttachmentWorkFile::write(path, QStringLiteral("H"), QStringLiteral("B")), QStringLiteral("H\r\nB\r\n"));
        AttachmentWorkFile::remove(path);

        EXPECT_EQ(contents(path), before);
        EXPECT_EQ(contents(victim), QByteArray("precious"));
    }
}

TEST(AttachmentWorkFile, TheProgramsOwnWorkFileLeftByAnInterruptedReceiveIsTakenUpAndRemoved)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("0.txt"));
    ASSERT_FALSE(AttachmentWorkFile::write(path, QString(300, u'x'), QStringLiteral("B")).isEmpty());

    ASSERT_FALSE(AttachmentWorkFile::write(path, QStringLiteral("H"), QStringLiteral("B")).isEmpty());
    EXPECT_EQ(contents(path), QByteArray("H\r\nB\r\n"));
    AttachmentWorkFile::remove(path);

    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

TEST(AttachmentWorkFile, TheWorkFileAndAttachmentsAreTheirOwnersAloneWhateverTheUmask)
{
    QTemporaryDir folder;
    const AttachmentFolder attachments(folder.path());
    const QString source = folder.filePath(QStringLiteral("source.eml"));
    put(source, "Subject: kept\r\n\r\nbody\r\n");
    struct Case {
        const char* what;
        std::function<QString()> create;
    };
    const Case cases[] = {
        {"the work file",
            [&] {
                const QString path = folder.filePath(QStringLiteral("0.txt"));
                EXPECT_FALSE(AttachmentWorkFile::write(path, QStringLiteral("H"), QStringLiteral("B")).isEmpty());
                return path;
            }},
        {"an attachment", [&] { return attachments.writeNew(QStringLiteral("report.pdf"), QStringLiteral("file"), "%PDF").value(); }},
        {"a message kept whole", [&] { return attachments.copyNew(QStringLiteral("whole.eml"), QStringLiteral("file"), source).value(); }},
    };
    const mode_t before = ::umask(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(c.create()).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    ::umask(before);
}

} // namespace
