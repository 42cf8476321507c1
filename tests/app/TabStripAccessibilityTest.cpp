#include "MainFormHarness.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QAccessible>
#include <QPushButton>
#include <QTest>

namespace Names = WidgetNames;

namespace {

// What an assistive tool does: walk the window's tree for the first element of a role.
QAccessibleInterface* findRole(QAccessibleInterface* node, QAccessible::Role role)
{
    if (!node)
        return nullptr;
    if (node->role() == role)
        return node;
    for (int i = 0; i < node->childCount(); ++i) {
        if (QAccessibleInterface* found = findRole(node->child(i), role))
            return found;
    }
    return nullptr;
}

QList<SortRule> longRuleNames()
{
    // Nine names of 13 to 16 full-width characters.
    QList<SortRule> rules;
    for (int n = 1; n <= 9; ++n) {
        SortRule rule;
        rule.Name = QString(12 + (n % 5), QChar(0x30a2 + 2 * n));
        rules.append(rule);
    }
    return rules;
}

} // namespace

class TabStripAccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void theTabStripIsAPageTabListOfSeventeenNamedTabs()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        folder.putSortRules(longRuleNames());
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        const TabStrip& strip = harness.form().tabStrip();

        QAccessibleInterface* list = findRole(QAccessible::queryAccessibleInterface(&harness.form()), QAccessible::PageTabList);
        QVERIFY(list);
        QCOMPARE(list->object(), &strip);
        QCOMPARE(list->childCount(), 17);
        for (int i = 0; i < 17; ++i) {
            QAccessibleInterface* tab = list->child(i);
            QCOMPARE(tab->role(), QAccessible::PageTab);
            QCOMPARE(tab->text(QAccessible::Name), strip.tabText(i + 1).trimmed());
            QCOMPARE(tab->state().selected, i == 0);
            QCOMPARE(tab->parent(), list);
            QCOMPARE(list->indexOfChild(tab), i);
            QCOMPARE(list->childAt(tab->rect().center().x(), tab->rect().center().y()), tab);
        }
        QCOMPARE(list->child(0)->text(QAccessible::Name), QStringLiteral("メイン画面"));
        QCOMPARE(list->child(16)->text(QAccessible::Name), QStringLiteral("送信履歴"));
    }

    void pressingATabSelectsItAsAClickDoes()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&harness.form().tabStrip());
        QAccessibleInterface* others = list->child(15);
        QAccessibleActionInterface* actions = others->actionInterface();
        QVERIFY(actions);
        QCOMPARE(actions->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});

        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(harness.form().tabStrip().selectedIndex(), 16);
        QCOMPARE(harness.form().CurrentFolder, 10);
        QVERIFY(harness.find<QWidget>(Names::Frame1_0)->isVisible());
        QVERIFY(others->state().selected);
        QVERIFY(!list->child(0)->state().selected);

        // The keyboard still moves the selection, and the focused tab is the selected one.
        harness.form().tabStrip().setFocus();
        QTRY_VERIFY(harness.form().tabStrip().hasFocus());
        QTest::keyClick(&harness.form().tabStrip(), Qt::Key_Right);
        QCOMPARE(harness.form().tabStrip().selectedIndex(), 17);
        QCOMPARE(list->focusChild(), list->child(16));
        QVERIFY(list->child(16)->state().focused);
    }

    void thePictureButtonsAreNamedByTheirHints_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::newRow("exit") << Names::Command2 << QStringLiteral("終了します。");
        QTest::newRow("minimise") << Names::Command21 << QStringLiteral("フォーム（画面）を最小化します。");
        QTest::newRow("viewer") << Names::Command22
                                << QStringLiteral("「しずくテトラ」を鑑賞できます。起動するとネムロアは最小化されますので、使用する場合はタスクバーのネムロアをクリックして下さい。");
    }
    void thePictureButtonsAreNamedByTheirHints()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QAccessibleInterface* element = QAccessible::queryAccessibleInterface(harness.find<QPushButton>(button));
        QCOMPARE(element->role(), QAccessible::Button);
        QCOMPARE(element->text(QAccessible::Name), name);
    }
};

QTEST_MAIN(TabStripAccessibilityTest)
#include "TabStripAccessibilityTest.moc"
