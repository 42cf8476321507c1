#include "QStringPrinter.h"

#include "DecodeEverything.h"
#include "MessageDecoder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// Every input the decode fuzzer ever crashed or hung on, replayed; plus the corpus itself.
class FuzzFindingsTest : public ::testing::TestWithParam<QString> {};

TEST_P(FuzzFindingsTest, DecodesWithoutCrashing)
{
    QFile file(GetParam());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    QTemporaryDir folder;
    DecodeEverything(std::string_view(raw.constData(), static_cast<std::size_t>(raw.size())), folder.path());
}

QStringList inputs()
{
    QStringList paths;
    for (const QString& folder : {QStringLiteral(NEMUROA_MAIL_CORPUS "/fuzz"), QStringLiteral(NEMUROA_MAIL_CORPUS)}) {
        for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) {
            if (info.suffix() != u"json" && info.suffix() != u"py")
                paths << info.absoluteFilePath();
        }
    }
    return paths;
}

std::string testName(const ::testing::TestParamInfo<QString>& info)
{
    std::string name;
    for (const char c : QFileInfo(info.param).completeBaseName().toStdString())
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name + '_' + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzFindingsTest, ::testing::ValuesIn(inputs()), testName);

// Too large to keep as a file: a 60 MB header of four million lines once took 23 s and 2.5 GB.
TEST(FuzzFindingsLarge, AHeaderOfFourMillionLinesCostsOnlyItsScan)
{
    std::string raw = "From: bomb@example.jp\nSubject: bomb\n";
    raw.reserve(61 * 1024 * 1024);
    for (int line = 0; line < 4'000'000; ++line)
        raw += "X-Filler: abcd\n";
    raw += "\nbody\n";
    QTemporaryDir folder;
    DecodeEverything(raw, folder.path());
    const DecodedMessage decoded = MessageDecoder::decode(raw);
    EXPECT_EQ(decoded.from, QStringLiteral("bomb@example.jp"));
    EXPECT_TRUE(decoded.body.contains(QStringLiteral("ヘッダー"))) << decoded.body.toStdString();
}

} // namespace
