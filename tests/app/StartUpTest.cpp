#include "QtTestSuites.h"
#include "MainFormHarness.h"
#include "MainScreen.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

namespace Names = WidgetNames;

namespace {

constexpr int MessageRecordLength = 32284;

QStringList entriesBelow(const QString& folder)
{
    QStringList entries;
    QDir dir(folder);
    for (const QFileInfo& info : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        entries.append(info.fileName());
        if (info.isDir())
            for (const QString& inner : entriesBelow(info.filePath()))
                entries.append(info.fileName() + u'/' + inner);
    }
    entries.sort();
    return entries;
}

} // namespace

class StartUpTest : public QObject {
    Q_OBJECT

private slots:
    void anEmptyDataFolderGetsElevenEmptyStoreFilesZeroCountersAndTheServerDialog()
    {
        TestProgramFolder folder;
        const QStringList before = entriesBelow(folder.folder());
        MainFormHarness harness(folder);
        QVERIFY(harness.start());

        QStringList created = entriesBelow(folder.folder());
        for (const QString& entry : before)
            created.removeOne(entry);
        QStringList expected{QStringLiteral("★MAilData/vbmdata.data")};
        for (int k = 1; k <= 10; ++k)
            expected.append(QStringLiteral("★MAilData/vbmdata%1.data").arg(k));
        expected.sort();
        QCOMPARE(created, expected);
        for (const QString& file : expected)
            QCOMPARE(QFileInfo(folder.path(file)).size(), 0);

        for (int row = 0; row < 12; ++row) {
            QCOMPARE(harness.find<QLineEdit>(Names::Text19At(row))->text(), row < 10 ? QStringLiteral("0") : QString());
            QCOMPARE(harness.find<QLineEdit>(Names::Text21At(row))->text(), QString());
        }
        QCOMPARE(harness.find<QListWidget>(Names::List2)->count(), 0);
        QCOMPARE(harness.form().RowRecordMap, QList<qint16>{0});
        for (int tab = 7; tab <= 15; ++tab)
            QCOMPARE(harness.form().tabStrip().tabText(tab), QString());
        QCOMPARE(harness.find<QLineEdit>(Names::Text38)->text(), QString());

        QWidget* serverDialog = MainFormHarness::window(Names::OptionForm);
        QVERIFY(serverDialog);
        QVERIFY(serverDialog->isVisible());
        QVERIFY(serverDialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(harness.messageBoxes.requests.isEmpty());
        QCOMPARE(harness.mail.calls, QStringList({QStringLiteral("NMailInitializeWinSock"), QStringLiteral("NMailSetOption(1, 8192)")}));
    }

    void theServerDialogOpensOnlyWithoutAPop3Server_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("dialogShown");
        QTest::newRow("no vbmail.ini") << QByteArray() << true;
        QTest::newRow("POP3 set") << QByteArray("SMTP=smtp.example\r\nPOP3=pop.example\r\nMAIL=a@example\r\nAPOP=0\r\n") << false;
        QTest::newRow("key in lower case") << QByteArray("pop3=pop.example\r\n") << true;
        QTest::newRow("POP3 empty") << QByteArray("SMTP=smtp.example\r\nPOP3=\r\n") << true;
    }
    void theServerDialogOpensOnlyWithoutAPop3Server()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, dialogShown);
        TestProgramFolder folder;
        if (!settings.isEmpty())
            folder.putServerSettings(settings);
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QCOMPARE(MainFormHarness::window(Names::OptionForm) != nullptr, dialogShown);
        QCOMPARE(harness.form().Settings.Pop3Server.isEmpty(), dialogShown);
    }

    void aPreparedDataFolderFillsEditorListTabsAddressesAndCounters()
    {
        TestProgramFolder folder;
        QList<SortRule> rules;
        rules.append(TestProgramFolder::sortRule(QStringLiteral("ヤフーオークションのお知らせ係の皆様へ"), QStringLiteral(" auction@example.jp ")));
        rules.append(TestProgramFolder::sortRule(QStringLiteral("Vector"), QStringLiteral("<news@vector.example>")));
        for (int n = 3; n <= 9; ++n)
            rules.append(TestProgramFolder::sortRule(QStringLiteral("Rule %1").arg(n), QStringLiteral("rule%1@example.jp").arg(n)));
        SortRule others = TestProgramFolder::sortRule(QStringLiteral("その他"), QStringLiteral("others@example.jp"), QStringLiteral("a//b"));
        others.Details[0] = QStringLiteral("山田　太郎");
        others.Details[8] = QStringLiteral("番地 1-2-3");
        rules.append(others);
        rules.append(TestProgramFolder::sortRule(QStringLiteral("eleventh"), QString()));
        folder.putSortRules(rules);
        folder.putFolderBytes(1, 2 * MessageRecordLength);
        folder.putFolderBytes(2, MessageRecordLength + MessageRecordLength / 2);
        std::array<QString, 10> profile;
        profile[6] = QStringLiteral("  受付@example.jp ");
        folder.putSecondProfile(profile);

        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        MainForm& form = harness.form();

        QCOMPARE(harness.find<QLineEdit>(Names::Text38)->text(), QStringLiteral("その他"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text57At(1))->text(), QStringLiteral("山田　太郎"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text57At(9))->text(), QStringLiteral("番地 1-2-3"));
        QCOMPARE(harness.find<QPlainTextEdit>(Names::txtMemo)->toPlainText(), QStringLiteral("a\nb"));
        QCOMPARE(harness.find<QPlainTextEdit>(Names::txtMemo)->document()->blockCount(), 2);
        // NAME7 of iniIdPass2.ini, trimmed, replaces the address of rule 10.
        QCOMPARE(harness.find<QLineEdit>(Names::Text16)->text(), QStringLiteral("受付@example.jp"));

        auto* list = harness.find<QListWidget>(Names::List2);
        QCOMPARE(list->count(), 11);
        QCOMPARE(list->item(1)->text(), QStringLiteral("Vector") + QString(44, u' '));
        QCOMPARE(list->currentRow(), 9);
        QCOMPARE(form.RowRecordMap, (QList<qint16>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0}));

        const TabStrip& tabs = form.tabStrip();
        QCOMPARE(tabs.count(), 17);
        QCOMPARE(tabs.tabText(7), QStringLiteral("ヤフーオークションのお知らせ係の"));
        QCOMPARE(tabs.tabText(8), QStringLiteral("Vector          "));
        QCOMPARE(tabs.tabText(15), QStringLiteral("Rule 9          "));
        QCOMPARE(tabs.selectedIndex(), 1);

        QCOMPARE(form.sortingAddress(1), QStringLiteral("auction@example.jp"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text30)->text(), QStringLiteral("auction@example.jp"));
        QCOMPARE(harness.find<QLineEdit>(QStringLiteral("Text31"))->text(), QStringLiteral("<news@vector.example>"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text39)->text(), QStringLiteral("rule9@example.jp"));
        QVERIFY(!harness.find<QLineEdit>(Names::Text39)->isVisible());

        QCOMPARE(form.pastCounter(1), QStringLiteral("2"));
        QCOMPARE(form.pastCounter(2), QStringLiteral("1.5"));
        QCOMPARE(form.pastCounter(3), QStringLiteral("0"));
    }

    void withoutTheSecondProfileTheAddressBoxIsEmptyAndFewRulesLeaveEmptyTabs()
    {
        TestProgramFolder folder;
        QList<SortRule> rules;
        for (int n = 1; n <= 10; ++n)
            rules.append(TestProgramFolder::sortRule(QStringLiteral("R%1").arg(n), QStringLiteral("r%1@example.jp").arg(n)));
        folder.putSortRules(rules);
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QCOMPARE(harness.find<QLineEdit>(Names::Text38)->text(), QStringLiteral("R10"));
        QCOMPARE(harness.find<QLineEdit>(Names::Text16)->text(), QString());

        TestProgramFolder shortFolder;
        shortFolder.putSortRules({TestProgramFolder::sortRule(QStringLiteral("Only"), QStringLiteral("only@example.jp"))});
        MainFormHarness shortHarness(shortFolder);
        QVERIFY(shortHarness.start());
        QCOMPARE(shortHarness.form().tabStrip().tabText(7), QStringLiteral("Only            "));
        QCOMPARE(shortHarness.form().tabStrip().tabText(8), QString());
        QCOMPARE(shortHarness.form().sortingAddress(2), QString());
        QCOMPARE(shortHarness.find<QListWidget>(Names::List2)->currentRow(), -1);
        QCOMPARE(shortHarness.find<QLineEdit>(Names::Text38)->text(), QString());
    }

    void highlightingRowTenRunsNoRowHandler()
    {
        TestProgramFolder folder;
        QList<SortRule> rules;
        for (int n = 1; n <= 10; ++n)
            rules.append(TestProgramFolder::sortRule(QStringLiteral("R%1").arg(n), QString()));
        folder.putSortRules(rules);
        MainFormHarness harness(folder);
        int handlerRuns = 0;
        // Connect before start-up, the way a screen connects in its constructor.
        auto form = std::make_unique<MainForm>(folder.paths(), harness.services);
        auto* list = form->findChild<QListWidget*>(Names::List2);
        QObject::connect(list, &QListWidget::currentRowChanged, [&handlerRuns] { ++handlerRuns; });
        QObject::connect(list, &QListWidget::itemSelectionChanged, [&handlerRuns] { ++handlerRuns; });
        QVERIFY(form->load());
        QCOMPARE(list->currentRow(), 9);
        QCOMPARE(handlerRuns, 0);
    }

    void theWindowOpensWithTheMainScreenAtItsStartSize()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        MainForm& form = harness.form();
        QCOMPARE(form.windowTitle(), QStringLiteral("Nemuroa"));
        // The outer size, title bar and borders included.
        QCOMPARE(form.frameGeometry().size(), QSize(753, 620));
        QCOMPARE(form.outerSizeTwips(), QSizeF(11300, 9300));
        // As wide as the window, but never under its border.
        QCOMPARE(form.tabStrip().width(), form.width());

        QVERIFY(harness.find<QWidget>(Names::Frame5)->isVisible());
        for (const QString& hidden : {Names::Frame1_0, Names::Frame2, Names::Frame3, Names::Frame8, Names::Frame6, Names::Frame9})
            QVERIFY2(!harness.find<QWidget>(hidden)->isVisible(), qPrintable(hidden));
        // The received-mail screen follows the window's size; the others keep the common place.
        for (const QString& frame : {Names::Frame5, Names::Frame2, Names::Frame3})
            QCOMPARE(harness.find<QWidget>(frame)->geometry(), QRect(0, 80, 747, 493));
        QVERIFY(harness.find<QWidget>(Names::List2)->isVisible());
        QVERIFY(!harness.find<QWidget>(Names::Text18)->isVisible());
        QVERIFY(!harness.find<QWidget>(Names::Text45)->isVisible());
        QVERIFY(!harness.find<QWidget>(Names::Command20)->isEnabled());
        QVERIFY(harness.find<QWidget>(Names::Command19)->isEnabled());
    }

    void aMissingDataFolderIsNamedAndNothingIsCreated()
    {
        TestProgramFolder folder(TestProgramFolder::Layout::WithoutDataFolder);
        const QStringList before = entriesBelow(folder.folder());
        MainFormHarness harness(folder);
        QVERIFY(!harness.start());
        QCOMPARE(harness.messageBoxes.requests.size(), 1);
        QVERIFY(harness.messageBoxes.requests[0].text.contains(QStringLiteral("★MAilData")));
        QCOMPARE(harness.messageBoxes.requests[0].title, QStringLiteral("Nemuroa"));
        QCOMPARE(entriesBelow(folder.folder()), before);
        QVERIFY(harness.mail.calls.isEmpty());
        QVERIFY(!MainFormHarness::window(Names::OptionForm));
    }

    void aStoreFileThatCannotBeOpenedIsNamed_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::newRow("sort rules") << QStringLiteral("vbmdata.data");
        QTest::newRow("folder 3") << QStringLiteral("vbmdata3.data");
    }
    void aStoreFileThatCannotBeOpenedIsNamed()
    {
        QFETCH(QString, blocked);
        TestProgramFolder folder;
        // A folder in the file's place cannot be opened as a record file, not even by root.
        QVERIFY(QDir(folder.path(QStringLiteral("★MAilData"))).mkdir(blocked));
        MainFormHarness harness(folder);
        QVERIFY(!harness.start());
        QCOMPARE(harness.messageBoxes.requests.size(), 1);
        QVERIFY2(harness.messageBoxes.requests[0].text.contains(blocked), qPrintable(harness.messageBoxes.requests[0].text));
        QVERIFY(harness.mail.calls.isEmpty());
    }
};

NEMUROA_QTEST_SUITE(StartUpTest)
#include "StartUpTest.moc"
