#include "QtTestSuites.h"
#include "MainFormHarness.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>

namespace Names = WidgetNames;

Q_DECLARE_METATYPE(MainForm::Screen)

class TabSwitchTest : public QObject {
    Q_OBJECT

private:
    static QString visibleFrame(const MainFormHarness& harness)
    {
        QStringList visible;
        for (const QString& frame : {Names::Frame5, Names::Frame1_0, Names::Frame2, Names::Frame3, Names::Frame8, Names::Frame6, Names::Frame9}) {
            if (harness.find<QWidget>(frame)->isVisible())
                visible.append(frame);
        }
        return visible.join(u',');
    }

private slots:
    void eachTabShowsItsScreenAndSetsTheMenus_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("frame");
        // -1: the menus keep the state they had.
        QTest::addColumn<int>("menus");
        QTest::addColumn<int>("folder");
        QTest::addColumn<QString>("signal");
        QTest::newRow("1 main") << 1 << Names::Frame5 << 0 << 0 << QString();
        QTest::newRow("2 compose") << 2 << Names::Frame3 << -1 << 0 << QStringLiteral("composeTabOpened");
        QTest::newRow("3 receive") << 3 << Names::Frame5 << 0 << 0 << QStringLiteral("receiveRequested");
        QTest::newRow("4 address book") << 4 << Names::Frame2 << 0 << 0 << QStringLiteral("addressBookTabOpened");
        QTest::newRow("5 spam keywords") << 5 << Names::Frame9 << 0 << 0 << QStringLiteral("spamKeywordTabOpened");
        QTest::newRow("7 folder 1") << 7 << Names::Frame1_0 << 1 << 1 << QStringLiteral("mailTabOpened");
        QTest::newRow("15 folder 9") << 15 << Names::Frame1_0 << 1 << 9 << QStringLiteral("mailTabOpened");
        QTest::newRow("16 others") << 16 << Names::Frame1_0 << 1 << 10 << QStringLiteral("mailTabOpened");
        QTest::newRow("17 sent history") << 17 << Names::Frame1_0 << 1 << 11 << QStringLiteral("mailTabOpened");
    }
    void eachTabShowsItsScreenAndSetsTheMenus()
    {
        QFETCH(int, tab);
        QFETCH(QString, frame);
        QFETCH(int, menus);
        QFETCH(int, folder);
        QFETCH(QString, signal);
        TestProgramFolder testFolder;
        testFolder.putServerSettings("POP3=pop.example\r\n");
        for (bool menusBefore : {false, true}) {
            MainFormHarness harness(testFolder);
            QVERIFY(harness.start());
            MainForm& form = harness.form();
            form.setMenusEnabled(menusBefore);
            QStringList emitted;
            QObject::connect(&form, &MainForm::composeTabOpened, [&] { emitted.append(QStringLiteral("composeTabOpened")); });
            QObject::connect(&form, &MainForm::receiveRequested, [&] {
                // The receive session runs after the switch to the main screen.
                QVERIFY(harness.find<QWidget>(Names::Frame5)->isVisible());
                emitted.append(QStringLiteral("receiveRequested"));
            });
            QObject::connect(&form, &MainForm::addressBookTabOpened, [&] { emitted.append(QStringLiteral("addressBookTabOpened")); });
            QObject::connect(&form, &MainForm::spamKeywordTabOpened, [&] { emitted.append(QStringLiteral("spamKeywordTabOpened")); });
            QObject::connect(&form, &MainForm::mailTabOpened, [&](int opened) {
                QCOMPARE(opened, form.CurrentFolder);
                emitted.append(QStringLiteral("mailTabOpened"));
            });

            harness.clickTab(tab);

            QCOMPARE(visibleFrame(harness), frame);
            QCOMPARE(form.tabStrip().selectedIndex(), tab);
            QVERIFY(form.tabStrip().isVisible());
            QCOMPARE(harness.find<QWidget>(Names::List2)->isVisible(), frame == Names::Frame5);
            const bool expectedMenus = menus < 0 ? menusBefore : menus == 1;
            for (const QString& menu : {Names::mFile, Names::medit, Names::mhp}) {
                QCOMPARE(harness.find<QMenu>(menu)->isEnabled(), expectedMenus);
                QCOMPARE(harness.find<QMenu>(menu)->menuAction()->isEnabled(), expectedMenus);
            }
            QCOMPARE(form.CurrentFolder, folder);
            QCOMPARE(emitted, signal.isEmpty() ? QStringList() : QStringList{signal});
        }
    }

    void theSettingsTabOpensTheChooserWithoutSwitching()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(17);
        harness.clickTab(6);
        QWidget* chooser = MainFormHarness::window(Names::SetForm);
        QVERIFY(chooser);
        QVERIFY(chooser->isVisible());
        QCOMPARE(visibleFrame(harness), Names::Frame1_0);
        QVERIFY(harness.form().menusEnabled());
        QCOMPARE(harness.form().CurrentFolder, 11);

        // A second click brings up the same window.
        harness.clickTab(6);
        QCOMPARE(MainFormHarness::window(Names::SetForm), chooser);
    }

    void theMainTabKeepsTheFolderOfTheLastMailTab()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.clickTab(9);
        harness.clickTab(1);
        QCOMPARE(harness.form().CurrentFolder, 3);
        // The selected tab reports its click again: a folder is reloaded by clicking its tab.
        QSignalSpy opened(&harness.form(), &MainForm::mailTabOpened);
        harness.clickTab(9);
        harness.clickTab(9);
        QCOMPARE(opened.count(), 2);
    }

    void everyTabLiesAboveTheScreensAndAnswersItsClick()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\n");
        QList<SortRule> rules;
        for (int n = 1; n <= 9; ++n) {
            SortRule rule;
            rule.Name = QString(25, QChar(0x3040 + n));
            rules.append(rule);
        }
        folder.putSortRules(rules);
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        const TabStrip& strip = harness.form().tabStrip();
        QCOMPARE(strip.tabText(7), QString(16, QChar(0x3041)));
        QVERIFY(strip.rowCount() > 1);
        QVector<int> clicked;
        QObject::connect(&strip, &TabStrip::tabClicked, [&](int index) { clicked.append(index); });
        for (int index = 1; index <= 17; ++index) {
            QVERIFY(strip.tabRect(index).bottom() < 80);
            QVERIFY(strip.tabRect(index).right() < strip.width());
            harness.clickTab(index);
            QCOMPARE(strip.selectedIndex(), index);
        }
        QCOMPARE(clicked.size(), 17);
        QCOMPARE(clicked.last(), 17);
    }

    void theReplyScreenAndTheEnlargedViewHideTheTabStrip_data()
    {
        QTest::addColumn<MainForm::Screen>("screen");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<bool>("tabStrip");
        QTest::newRow("reply") << MainForm::Screen::Reply << Names::Frame8 << false;
        QTest::newRow("enlarged") << MainForm::Screen::Enlarged << Names::Frame6 << false;
        QTest::newRow("main") << MainForm::Screen::Main << Names::Frame5 << true;
    }
    void theReplyScreenAndTheEnlargedViewHideTheTabStrip()
    {
        QFETCH(MainForm::Screen, screen);
        QFETCH(QString, frame);
        QFETCH(bool, tabStrip);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=pop.example\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        harness.form().showScreen(MainForm::Screen::Reply);
        harness.form().showScreen(screen);
        QCOMPARE(visibleFrame(harness), frame);
        QCOMPARE(harness.form().tabStrip().isVisible(), tabStrip);
    }
};

NEMUROA_QTEST_SUITE(TabSwitchTest)
#include "TabSwitchTest.moc"
