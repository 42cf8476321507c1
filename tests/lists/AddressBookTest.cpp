#include "AddressBook.h"
#include "Cp932Codec.h"
#include "RecordLayouts.h"
#include "StoreTestFolder.h"

#include <gtest/gtest.h>

#include <QFileInfo>

namespace {

constexpr int AddressLength = 184;

QByteArray addressRecord(const QByteArray& name, const QByteArray& address, char live = 1)
{
    return name + QByteArray(90 - name.size(), ' ') + QByteArray("\r\n", 2) + QByteArray(1, live) + QByteArray(1, '\0') + address
        + QByteArray(90 - address.size(), ' ');
}

class AddressBookFile : public ::testing::Test {
protected:
    void registerEntry(const QString& name, const QString& address) { ASSERT_TRUE(book.RegisterAddress(name, address).ok()); }
    QByteArray bytes() const { return StoreTestFolder::contents(book.file().path()); }
    QStringList addresses() const { return book.recipients().value(); }

    StoreTestFolder folder;
    AddressBook book{folder.paths()};
};

TEST_F(AddressBookFile, RegisteringYamadaWritesOneRecordPaddedWithFullWidthThenHalfWidthSpaces)
{
    const auto registered = book.RegisterAddress(u"山田", u"taro@example.jp");
    ASSERT_TRUE(registered.ok());
    EXPECT_EQ(registered.value(), 1);
    EXPECT_TRUE(book.file().path().endsWith(QStringLiteral("/vbmdata20.data")));

    QByteArray name = QByteArray::fromStdString(Cp932Codec::encode(u"山田"));
    for (int i = 0; i < 28; ++i)
        name += "\x81\x40"; // full-width space
    ASSERT_EQ(name.size(), 60);
    EXPECT_EQ(bytes(), addressRecord(name, "taro@example.jp"));
    EXPECT_EQ(bytes().size(), AddressLength);
}

TEST_F(AddressBookFile, ANameThatFillsTheNameBoxIsStoredAsTypedWithoutFullWidthPadding)
{
    const QByteArray thirty(30, 'n');
    registerEntry(QString::fromLatin1(thirty), QStringLiteral("a@example.jp"));
    EXPECT_EQ(bytes(), addressRecord(thirty, "a@example.jp"));
}

TEST_F(AddressBookFile, DeletingTheMiddleOfThreeLeavesTheThirdAsRecordTwo)
{
    registerEntry(QStringLiteral("一"), QStringLiteral("one@example.jp"));
    registerEntry(QStringLiteral("二"), QStringLiteral("two@example.jp"));
    registerEntry(QStringLiteral("三"), QStringLiteral("three@example.jp"));

    ASSERT_TRUE(book.DeleteAddress(2, true).ok());

    EXPECT_EQ(addresses(), QStringList({QStringLiteral("one@example.jp"), QStringLiteral("three@example.jp")}));
    EXPECT_EQ(bytes().size(), 2 * AddressLength);
    const auto second = book.read(2).value();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->live(), 1);
    EXPECT_FALSE(QFileInfo::exists(book.temporaryPath()));
}

TEST_F(AddressBookFile, AnsweringNoStillCompactsTheFile)
{
    // A record left marked by a deletion that stopped before its compaction.
    StoreTestFolder::put(book.file().path(), addressRecord("a", "kept@example.jp") + addressRecord("b", "marked@example.jp", 0));

    ASSERT_TRUE(book.DeleteAddress(1, false).ok());

    EXPECT_EQ(addresses(), QStringList{QStringLiteral("kept@example.jp")});
    EXPECT_FALSE(QFileInfo::exists(book.temporaryPath()));
}

} // namespace
