#include "SafeFileName.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

struct NameCase {
    std::u16string_view given;
    std::u16string_view safe;
};

QString text(std::u16string_view view) { return QString::fromUtf16(view.data(), static_cast<qsizetype>(view.size())); }

class SafeFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeFileNameTest, KeepsOnlyANameTheFolderCanHold)
{
    EXPECT_EQ(SafeFileName::make(text(GetParam().given), QStringLiteral("attachment.bin")), text(GetParam().safe));
}

INSTANTIATE_TEST_SUITE_P(Names, SafeFileNameTest,
    ::testing::Values(NameCase{u"見積書①.pdf", u"見積書①.pdf"}, NameCase{u"../../etc/passwd", u"passwd"},
        NameCase{u"C:\\Windows\\evil.exe", u"evil.exe"}, NameCase{u"..", u"attachment.bin"},
        NameCase{u"", u"attachment.bin"}, NameCase{u"   ", u"attachment.bin"}, NameCase{u".bashrc", u"bashrc"},
        NameCase{std::u16string_view(u"a\0b.txt", 7), u"a_b.txt"}, NameCase{u"a\u001bb\u007f.txt", u"a_b_.txt"},
        NameCase{u"what?<>|*:\".txt", u"what_______.txt"}, NameCase{u"name. . .", u"name"},
        NameCase{u"CON", u"_CON"}, NameCase{u"lpt1.txt", u"_lpt1.txt"}, NameCase{u"console.txt", u"console.txt"},
        NameCase{u"right\u202Etxt.exe", u"right_txt.exe"}));

TEST(SafeFileNameLimits, ALongNameIsCutOnACharacterAndKeepsItsExtension)
{
    const QString name = QString(150, QChar(u'長')) + QStringLiteral(".txt");
    const QString safe = SafeFileName::make(name, QString());
    EXPECT_LE(safe.toUtf8().size(), SafeFileName::MaximumBytes);
    EXPECT_TRUE(safe.endsWith(QStringLiteral(".txt")));
    EXPECT_EQ(safe, QString(65, QChar(u'長')) + QStringLiteral(".txt"));
}

TEST(SafeFileNameLimits, ATakenNameGetsANumberBeforeItsExtension)
{
    EXPECT_EQ(SafeFileName::numbered(QStringLiteral("report.pdf"), 2), QStringLiteral("report (2).pdf"));
    EXPECT_EQ(SafeFileName::numbered(QStringLiteral("README"), 3), QStringLiteral("README (3)"));
}

} // namespace
