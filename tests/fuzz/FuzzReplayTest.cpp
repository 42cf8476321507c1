#include "ExerciseCp932Codec.h"
#include "ExercisePop3Session.h"
#include "ExerciseProfileFile.h"
#include "ExerciseRecordFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cctype>
#include <functional>

namespace {

// Every input kept from the fuzzers, each replayed through the target that found it: the seeds they
// start from, and every crash, hang or broken promise they ever found, named after what it was.
struct Input {
    QString target;
    QString path;
};

using Exercise = std::function<std::string(std::string_view, const QString&)>;

Exercise exerciseOf(const QString& target)
{
    if (target == u"record_files")
        return ExerciseRecordFiles;
    if (target == u"profile_file")
        return ExerciseProfileFile;
    if (target == u"cp932_codec")
        return [](std::string_view input, const QString&) { return ExerciseCp932Codec(input); };
    if (target == u"pop3_session")
        return [](std::string_view input, const QString&) { return ExercisePop3Session(input); };
    return {};
}

class FuzzReplayTest : public ::testing::TestWithParam<Input> {};

TEST_P(FuzzReplayTest, KeepsEveryPromise)
{
    const Exercise exercise = exerciseOf(GetParam().target);
    ASSERT_TRUE(exercise) << "no fuzz target is called " << GetParam().target.toStdString();
    QFile file(GetParam().path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray input = file.readAll();
    QTemporaryDir folder;
    EXPECT_EQ(exercise(std::string_view(input.constData(), static_cast<std::size_t>(input.size())), folder.path()), "");
}

std::vector<Input> inputs()
{
    std::vector<Input> found;
    const QDir root(QStringLiteral(NEMUROA_FUZZ_INPUTS));
    for (const QString& target : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        for (const QFileInfo& info : QDir(root.filePath(target)).entryInfoList(QDir::Files, QDir::Name))
            found.push_back({target, info.absoluteFilePath()});
    }
    return found;
}

std::string testName(const ::testing::TestParamInfo<Input>& info)
{
    std::string name = info.param.target.toStdString() + '_';
    for (const char c : QFileInfo(info.param.path).fileName().toStdString())
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzReplayTest, ::testing::ValuesIn(inputs()), testName);

} // namespace
