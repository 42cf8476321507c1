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

TEST_F(StartOptionsTest, AnImportOrAnExportNamesItsSourcesAndFileFromTheCurrentDirectory)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(option.path()));
    const StartOptions import = parse({u"--import"_s, u"Inbox"_s, u"/mail/Maildir"_s, u"--program-folder"_s, environment.path()});
    const StartOptions sent = parse({u"--export-mbox"_s, u"30"_s, u"sent.mbox"_s});
    const StartOptions folder = parse({u"--export-mbox"_s, u"10"_s, u"others.mbox"_s});
    QDir::setCurrent(previous);
    EXPECT_EQ(import.error, QString());
    EXPECT_EQ(import.importPaths, (QStringList{option.path() + u"/Inbox"_s, u"/mail/Maildir"_s}));
    EXPECT_EQ(import.programFolder, environment.path());
    EXPECT_TRUE(import.runsWithoutWindow());
    EXPECT_EQ(sent.exportFolder, 11);
    EXPECT_EQ(sent.exportFile, option.path() + u"/sent.mbox"_s);
    EXPECT_EQ(folder.exportFolder, 10);
    EXPECT_FALSE(parse({}).runsWithoutWindow());
}

TEST_F(StartOptionsTest, WhatCannotBeUnderstoodEndsTheStartWithAReason)
{
    EXPECT_FALSE(parse({u"--program-folder"_s}).error.isEmpty());
    EXPECT_FALSE(parse({u"--verbose"_s}).error.isEmpty());
    EXPECT_FALSE(parse({u"--import"_s}).error.isEmpty());
    for (const QString& folder : {u"0"_s, u"11"_s, u"29"_s, u"x"_s})
        EXPECT_FALSE(parse({u"--export-mbox"_s, folder, u"out.mbox"_s}).error.isEmpty()) << folder.toStdString();
    EXPECT_FALSE(parse({u"--export-mbox"_s, u"1"_s}).error.isEmpty());
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
