#include "AttachmentWorkFile.h"
#include "Cp932Codec.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

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

} // namespace
