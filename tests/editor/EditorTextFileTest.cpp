#include "EditorTextFile.h"
#include "TextQuickSave.h"

#include "../mail/QStringPrinter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    QString text;
};

class EditorTextFileDecode : public testing::TestWithParam<DecodeCase> {};

TEST_P(EditorTextFileDecode, EndsEveryLineWithCrLfAndReadsTheRightCharacters)
{
    EXPECT_EQ(EditorTextFile::decode(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, EditorTextFileDecode,
    testing::Values(DecodeCase{"NoFinalBreak", "a\r\nb", u"a\r\nb\r\n"_s},
        DecodeCase{"FinalBreakKept", "a\r\n\r\n", u"a\r\n\r\n"_s},
        DecodeCase{"LoneCrEndsALine", "a\rb\r", u"a\r\nb\r\n"_s},
        DecodeCase{"LoneLfStaysInTheLine", "a\nb", u"a\nb\r\n"_s},
        DecodeCase{"Empty", "", QString()},
        DecodeCase{"CodePage932", "\x93\xfa\x96\x7b\x87\x40\xb1", u"日本①ｱ\r\n"_s},
        DecodeCase{"Utf8BeyondAscii", "\xe6\x97\xa5\xe6\x9c\xac\r\n", u"日本\r\n"_s},
        DecodeCase{"Utf8ByteOrderMark", "\xef\xbb\xbf" "abc", u"abc\r\n"_s}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.name; });

TEST(EditorTextFile, EncodingEndsTheTextWithOneMoreCrLf)
{
    EXPECT_EQ(EditorTextFile::encode(u"a\nb").bytes, "a\r\nb\r\n");
    // An opened text already ends with CR LF: saving it writes one more.
    EXPECT_EQ(EditorTextFile::encode(u"a\r\nb\r\n").bytes, "a\r\nb\r\n\r\n");
    EXPECT_EQ(EditorTextFile::encode(u"日本").bytes, "\x93\xfa\x96\x7b\r\n");
}

TEST(EditorTextFile, CharactersWithoutACodePage932FormBecomeQuestionMarksAndAreReported)
{
    const EditorTextFile::Encoded replaced = EditorTextFile::encode(u"é♥😀?");
    EXPECT_EQ(replaced.bytes, "????\r\n");
    EXPECT_TRUE(replaced.charactersReplaced);
    const EditorTextFile::Encoded kept = EditorTextFile::encode(u"本当?①");
    EXPECT_FALSE(kept.charactersReplaced);
}

TEST(EditorTextFile, WriteReplacesTheFileAndReadFailsOnAMissingOne)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"text.txt"_s);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("much longer old content");
    old.close();

    const StoreResult<bool> written = EditorTextFile::write(path, u"新しい");
    ASSERT_TRUE(written.ok());
    EXPECT_FALSE(written.value());
    const StoreResult<EditorTextFile::ReadText> read = EditorTextFile::read(path);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value().text, u"新しい\r\n"_s);

    const StoreResult<EditorTextFile::ReadText> missing = EditorTextFile::read(folder.filePath(u"none.txt"_s));
    EXPECT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().contains(u"none.txt"_s));
}

} // namespace

namespace {

TEST(EditorTextFile, ASavedTextAndAnExportAreTheirOwnersAloneWhateverTheUmask)
{
    QTemporaryDir folder;
    struct Case {
        const char* what;
        std::function<QString()> save;
    };
    const Case cases[] = {
        {"a text saved under a chosen name",
            [&] {
                const QString path = folder.filePath(u"document.txt"_s);
                EXPECT_TRUE(EditorTextFile::write(path, u"本文").ok());
                return path;
            }},
        {"an export",
            [&] {
                const TextQuickSave::Outcome outcome =
                    TextQuickSave::write(folder.path(), {u"件名"_s, u"from@example.jp"_s, u"2026/12/07"_s}, u"本文"_s, [] { return true; });
                EXPECT_EQ(outcome.result, TextQuickSave::Result::Written);
                return folder.filePath(u"件名.txt"_s);
            }},
    };
    for (const Case& c : cases) {
        for (const mode_t mask : {mode_t(0), mode_t(022)}) {
            SCOPED_TRACE(std::string(c.what) + " with umask " + std::to_string(mask));
            const mode_t before = ::umask(mask);
            const QString path = c.save();
            ::umask(before);
            struct stat info {};
            ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u);
        }
    }
}

} // namespace
