#include "QtTestSuites.h"
#include "HintLine.h"
#include "MainFormHarness.h"
#include "SetForm.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QAccessible>
#include <QLineEdit>
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

QList<SortRule> nineLongRuleNames()
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
        folder.putSortRules(nineLongRuleNames());
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

        // An arrow moves the focus to the next tab without opening it; Enter opens it.
        harness.form().tabStrip().setFocus();
        QTRY_VERIFY(harness.form().tabStrip().hasFocus());
        QCOMPARE(list->focusChild(), others);
        QTest::keyClick(harness.form().windowHandle(), Qt::Key_Right);
        QCOMPARE(harness.form().tabStrip().selectedIndex(), 16);
        QCOMPARE(list->focusChild(), list->child(16));
        QVERIFY(list->child(16)->state().focused);
        QVERIFY(!list->child(16)->state().selected);
        QVERIFY(!others->state().focused);
        QTest::keyClick(harness.form().windowHandle(), Qt::Key_Return);
        QCOMPARE(harness.form().tabStrip().selectedIndex(), 17);
        QVERIFY(list->child(16)->state().selected);
    }

    void thePictureButtonsHaveShortNamesAndTheirHintsAsDescription_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::newRow("exit") << Names::Command2 << QStringLiteral("終了") << QStringLiteral("終了します。");
        QTest::newRow("minimise") << Names::Command21 << QStringLiteral("最小化") << QStringLiteral("フォーム（画面）を最小化します。");
        QTest::newRow("viewer") << Names::Command22 << QStringLiteral("しずくテトラ")
                                << QStringLiteral("「しずくテトラ」を鑑賞できます。起動するとネムロアは最小化されますので、使用する場合はタスクバーのネムロアをクリックして下さい。");
    }
    void thePictureButtonsHaveShortNamesAndTheirHintsAsDescription()
    {
        QFETCH(QString, button);
        QFETCH(QString, name);
        QFETCH(QString, description);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        QAccessibleInterface* element = QAccessible::queryAccessibleInterface(harness.find<QPushButton>(button));
        QCOMPARE(element->role(), QAccessible::Button);
        QCOMPARE(element->text(QAccessible::Name), name);
        QCOMPARE(element->text(QAccessible::Description), description);
    }

    void everyControlAPersonReachesHasAShortName_data()
    {
        QTest::addColumn<int>("tab");
        QTest::newRow("main screen") << 1;
        QTest::newRow("compose") << 2;
        QTest::newRow("address book") << 4;
        QTest::newRow("spam keywords") << 5;
        QTest::newRow("mail") << 16;
        QTest::newRow("reply") << -static_cast<int>(MainForm::Screen::Reply);
        QTest::newRow("enlarged view") << -static_cast<int>(MainForm::Screen::Enlarged);
    }
    void everyControlAPersonReachesHasAShortName()
    {
        QFETCH(int, tab);
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        if (tab > 0)
            harness.clickTab(tab);
        else
            harness.form().showScreen(static_cast<MainForm::Screen>(-tab));
        // Reached by Tab, or shown to be read: the counters, the clock, the count boxes.
        QStringList unnamed;
        for (QWidget* control : harness.form().findChildren<QWidget*>()) {
            auto* box = qobject_cast<QLineEdit*>(control);
            const bool reached = (control->focusPolicy() & Qt::TabFocus) == Qt::TabFocus || (box && box->isReadOnly());
            if (!control->isVisible() || !reached || control->focusProxy())
                continue;
            const QString name = QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
            // A label, never the hint, which is the description.
            if (name.isEmpty() || name.size() > 30 || name == HintLine::hintFor(control->objectName()))
                unnamed.append(control->objectName() + u'=' + name);
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u' ')));
    }

    void theCountersTheClockAndTheViewFieldsSayWhatTheyAre()
    {
        TestProgramFolder folder;
        folder.putServerSettings("POP3=p\r\n");
        folder.putSortRules({TestProgramFolder::sortRule(QStringLiteral("ヤフー"), QStringLiteral("y@example.jp"))});
        MainFormHarness harness(folder);
        QVERIFY(harness.start());
        const auto nameOf = [&harness](const QString& control) {
            return QAccessible::queryAccessibleInterface(harness.find<QWidget>(control))->text(QAccessible::Name);
        };
        // Each row's counters by the folder they count; the two rows below the folders count nothing.
        QCOMPARE(nameOf(Names::Text19At(0)), QStringLiteral("Past: ヤフー"));
        QCOMPARE(nameOf(Names::Text21At(1)), QStringLiteral("New: 仕分け 2"));
        QCOMPARE(nameOf(Names::Text19At(9)), QStringLiteral("Past: 着信 その他"));
        QCOMPARE(nameOf(Names::Text21At(11)), QStringLiteral("New（使われていない欄）"));
        // The settings chooser is a window of its own to a screen reader, not a piece of another.
        QCOMPARE(QAccessible::queryAccessibleInterface(&harness.form().setForm())->role(), QAccessible::Dialog);
        QCOMPARE(nameOf(Names::Text27), QStringLiteral("現在の日時"));
        QCOMPARE(nameOf(Names::txtMemo), QStringLiteral("備考"));
        QCOMPARE(nameOf(Names::TabStrip1), QStringLiteral("画面の切り替え"));
        QCOMPARE(nameOf(Names::Text7), QStringLiteral("Subject（件名）"));
        QCOMPARE(nameOf(Names::rtfEd), QStringLiteral("本文"));
        QCOMPARE(nameOf(Names::Text29), QStringLiteral("件数"));
        // The address book's buttons describe themselves with the hints its hint box shows.
        QCOMPARE(QAccessible::queryAccessibleInterface(harness.find<QWidget>(Names::Command15))->text(QAccessible::Description),
            QStringLiteral("不要になったメールアドレスの削除が行えます。"));
    }
};

NEMUROA_QTEST_SUITE(TabStripAccessibilityTest)
#include "TabStripAccessibilityTest.moc"
