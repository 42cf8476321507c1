#include "AddressBook.h"
#include "AddressBookScreen.h"
#include "FolderFiles.h"
#include "MainFormHarness.h"
#include "RecordFile.h"
#include "RecordLayouts.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QAbstractItemView>
#include <QFile>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace Names = WidgetNames;

// The address book screen and its ways in, through the real main window.
class AddressBookWindowTest : public QObject {
    Q_OBJECT

private:
    struct Screen {
        explicit Screen(int tab = 4)
        {
            folder.putServerSettings("POP3=pop.example\r\n");
            started = harness.start();
            if (tab)
                harness.clickTab(tab);
        }

        TestProgramFolder folder;
        MainFormHarness harness{folder};
        bool started = false;
        FakeMessageBoxService& messageBoxes = harness.messageBoxes;

        QLineEdit* box(const QString& name) const { return harness.find<QLineEdit>(name); }
        QString text(const QString& name) const { return box(name)->text(); }
        QListWidget* list() const { return harness.find<QListWidget>(Names::List3); }
        void click(const QString& button) const { QTest::mouseClick(harness.find<QPushButton>(button), Qt::LeftButton); }
        void clickRow(int row) const
        {
            QListWidget* rows = list();
            QTest::mouseClick(rows->viewport(), Qt::LeftButton, Qt::NoModifier, rows->visualItemRect(rows->item(row)).center());
        }
        void add(const QString& name, const QString& address) const
        {
            box(Names::Text6)->setText(name);
            box(Names::Text11)->setText(address);
            click(Names::Command10);
        }
        QStringList addresses() const { return AddressBook(folder.paths()).recipients().value(); }
    };

private slots:
    void registeringListsTheEntryAndAClickShowsItWithoutPadding()
    {
        Screen screen;
        QVERIFY(screen.started);
        screen.box(Names::Text50)->setText(QStringLiteral("名刺"));
        screen.add(QStringLiteral("山田"), QStringLiteral("taro@example.jp"));

        QCOMPARE(screen.list()->count(), 1);
        screen.add(QStringLiteral("鈴木"), QStringLiteral("jiro@example.com"));
        // The names line up after the longest address, within sight, not after the field's padding.
        const QString row = screen.list()->item(0)->text();
        QVERIFY(row.startsWith(QStringLiteral("taro@example.jp   山田")));
        QCOMPARE(screen.list()->item(1)->text().mid(18, 2), QStringLiteral("鈴木"));
        const QFontMetrics metrics(screen.list()->font());
        QVERIFY(metrics.horizontalAdvance(row.left(20)) < screen.list()->viewport()->width());
        screen.clickRow(1);
        screen.click(Names::Command15);
        QCOMPARE(screen.text(Names::Text10), QStringLiteral("1"));
        for (const QString& emptied : {Names::Text6, Names::Text11, Names::Text50})
            QCOMPARE(screen.text(emptied), QString());
        QCOMPARE(screen.harness.form().RowRecordMap, QList<qint16>({1, 0}));

        screen.clickRow(0);
        QCOMPARE(screen.text(Names::Text6), QStringLiteral("山田"));
        QCOMPARE(screen.text(Names::Text11), QStringLiteral("taro@example.jp"));
    }

    void deletingTheSecondOfThreeAfterYesLeavesTwoAndNoStillReloads()
    {
        Screen screen;
        for (const char* name : {"one", "two", "three"})
            screen.add(QString::fromLatin1(name), QString::fromLatin1(name) + QStringLiteral("@example.jp"));
        screen.clickRow(1);
        screen.click(Names::Command15);
        QCOMPARE(screen.messageBoxes.requests.last().text, AddressBookScreen::deleteQuestion());
        QCOMPARE(screen.messageBoxes.requests.last().title, QStringLiteral("確認"));
        QCOMPARE(screen.messageBoxes.requests.last().defaultAnswer, MessageBoxService::Answer::No);
        QCOMPARE(screen.addresses(), QStringList({QStringLiteral("one@example.jp"), QStringLiteral("three@example.jp")}));
        QCOMPARE(screen.text(Names::Text10), QStringLiteral("2"));
        QCOMPARE(screen.text(Names::Text6), QString());

        screen.messageBoxes.answers = {MessageBoxService::Answer::No};
        screen.clickRow(0);
        screen.click(Names::Command15);
        QCOMPARE(screen.list()->count(), 2);
        QCOMPARE(screen.text(Names::Text11), QString());
    }

    void theChecksSayWhatIsMissing()
    {
        Screen screen;
        screen.click(Names::Command15);
        QCOMPARE(screen.messageBoxes.requests.last().text, AddressBookScreen::nothingSelected());
        QCOMPARE(screen.messageBoxes.requests.last().icon, MessageBoxService::Icon::Exclamation);
        screen.click(Names::Command38);
        QCOMPARE(screen.messageBoxes.requests.last().text, AddressBookScreen::addressMissing());
        screen.add(QStringLiteral("絵文字😀"), QStringLiteral("a@example.jp"));
        QVERIFY(screen.messageBoxes.requests.last().text.contains(QStringLiteral("😀")));
        QCOMPARE(screen.list()->count(), 0);
        QCOMPARE(screen.text(Names::Text6), QStringLiteral("絵文字😀"));
    }

    void cardNamePasteAndLengthLimits()
    {
        Screen screen;
        screen.box(Names::Text11)->setText(QStringLiteral("taro@example.jp"));
        screen.box(Names::Text50)->setText(QStringLiteral("山田太郎"));
        screen.click(Names::Command38);
        QCOMPARE(screen.text(Names::Text11), QStringLiteral("山田太郎 <taro@example.jp>"));

        screen.harness.clipboard.contents = QString(70, u'x');
        screen.click(Names::Command8);
        QCOMPARE(screen.text(Names::Text11), QString(60, u'x'));
        screen.box(Names::Text6)->setText(QString(20, u'名'));
        QCOMPARE(screen.text(Names::Text6), QString(15, u'名'));
        // The count box keeps two digits: 100 entries show as 10.
        screen.box(Names::Text10)->setText(QStringLiteral("100"));
        QCOMPARE(screen.text(Names::Text10), QStringLiteral("10"));
    }

    void aFullBookRefusesTheNextEntry()
    {
        Screen screen;
        QFile file(AddressBook(screen.folder.paths()).file().path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(RecordFile::Capacity) * RecordLayouts::Address.length));
        file.close();
        screen.add(QStringLiteral("a"), QStringLiteral("a@example.jp"));
        QCOMPARE(screen.messageBoxes.requests.last().text, AddressBook::bookFull());
        QCOMPARE(file.size(), qint64(RecordFile::Capacity) * RecordLayouts::Address.length);
    }

    void theMailScreensButtonTakesTheSenderOver()
    {
        Screen screen(16);
        QVERIFY(StoreMessage(screen.folder.paths(), 10, 1, {QStringLiteral("件名"), QStringLiteral("送信者 <from@example.jp>"), QStringLiteral("d"), QStringLiteral("b")}).ok());
        screen.click(Names::Command4);
        QCOMPARE(screen.messageBoxes.requests.last().text, AddressBookScreen::nothingSelected());

        screen.harness.clickTab(16);
        auto* list = screen.harness.find<QAbstractItemView>(Names::MailListView);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualRect(list->model()->index(0, 0)).center());
        screen.click(Names::Command4);
        QVERIFY(screen.harness.find<QWidget>(Names::Frame2)->isVisible());
        QVERIFY(!screen.harness.find<QWidget>(Names::Frame1_0)->isVisible());
        QCOMPARE(screen.text(Names::Text11), QStringLiteral("送信者 <from@example.jp>"));
        QCOMPARE(screen.text(Names::Text48), QString());
    }
};

QTEST_MAIN(AddressBookWindowTest)
#include "AddressBookWindowTest.moc"
