#include "StartOptions.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class StartOptionsTest : public testing::Test {
protected:
    QTemporaryDir executable;
    QTemporaryDir environment;
    QTemporaryDir option;

    StartOptions parse(const QStringList& arguments, const QString& environmentFolder = {}) const
    {
        return StartOptions::parse(arguments, environmentFolder, executable.path());
    }
};

TEST_F(StartOptionsTest, TheExecutablesFolderUnlessTheStartNamesAnother)
{
    EXPECT_EQ(parse({}).programFolder, executable.path());
    EXPECT_EQ(parse({}, environment.path()).programFolder, environment.path());
    EXPECT_EQ(parse({u"--program-folder"_s, option.path()}, environment.path()).programFolder, option.path());
    EXPECT_EQ(parse({u"--program-folder="_s + option.path()}).programFolder, option.path());
}

TEST_F(StartOptionsTest, ARelativeFolderIsTakenFromTheCurrentDirectory)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(option.path()));
    ASSERT_TRUE(QDir().mkdir(u"user"_s));
    const StartOptions options = parse({u"--program-folder"_s, u"user/"_s});
    QDir::setCurrent(previous);
    EXPECT_EQ(options.programFolder, option.path() + u"/user"_s);
}

TEST_F(StartOptionsTest, AMailtoLinkIsKeptForTheComposeScreen)
{
    const StartOptions options = parse({u"mailto:taro@example.jp?subject=%E4%BC%9A%E8%AD%B0"_s});
    EXPECT_TRUE(options.error.isEmpty());
    EXPECT_EQ(options.mailto, u"mailto:taro@example.jp?subject=%E4%BC%9A%E8%AD%B0"_s);
}

TEST_F(StartOptionsTest, WhatCannotBeUnderstoodEndsTheStartWithAReason)
{
    EXPECT_FALSE(parse({u"--program-folder"_s}).error.isEmpty());
    EXPECT_FALSE(parse({u"--verbose"_s}).error.isEmpty());
    EXPECT_FALSE(parse({u"--program-folder"_s, option.path() + u"/missing"_s}).error.isEmpty());
}

TEST_F(StartOptionsTest, HelpAndVersionAreAnsweredWhateverElseIsGiven)
{
    EXPECT_EQ(StartOptions::informationFor({u"--help"_s}), StartOptions::usage());
    EXPECT_EQ(StartOptions::informationFor({u"mailto:a@example.jp"_s, u"--version"_s, u"--help"_s}), StartOptions::version());
    EXPECT_EQ(StartOptions::informationFor({u"--program-folder"_s, u"--help"_s}), StartOptions::usage());
    EXPECT_EQ(StartOptions::informationFor({u"mailto:a@example.jp"_s}), std::nullopt);
    EXPECT_TRUE(StartOptions::version().startsWith(u"Nemuroa "_s));
}

} // namespace
