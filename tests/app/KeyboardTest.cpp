#include "QtTestSuites.h"
#include "AddressBook.h"
#include "FolderFiles.h"
#include "MainFormHarness.h"
#include "MainScreen.h"
#include "TabStrip.h"
#include "TestProgramFolder.h"
#include "WidgetNames.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

namespace Names = WidgetNames;

namespace {

const QStringList Bodies{Names::rtfEd, Names::BodyText, Names::Text42};

// The name a person would give the focused control: a toolbar button by its command, a part of a
// compound control (a list's viewport, a combo box's line) by the control, the calendar's own
// buttons by Qt's names for them.
QString nameOf(QWidget* widget)
{
    if (auto* tool = qobject_cast<QToolButton*>(widget); tool && tool->defaultAction())
        return tool->defaultAction()->objectName();
    while (widget && (widget->objectName().isEmpty() || widget->objectName() == u"qt_scrollarea_viewport"))
        widget = widget->parentWidget();
    return widget ? widget->objectName() : QString();
}

// Presses Tab (or Shift+Tab) at the window, as the keyboard does, from the focused control until the
// focus comes back to it; in a message body, where Tab is a character, Ctrl+Tab. Returns the
// controls passed, in order.
QStringList walk(MainForm& form, bool forward)
{
    QWidget* start = QApplication::focusWidget();
    QStringList passed;
    for (int step = 0; step < 80; ++step) {
        const bool inBody = Bodies.contains(nameOf(QApplication::focusWidget()));
        const Qt::KeyboardModifiers modifiers = (inBody ? Qt::ControlModifier : Qt::NoModifier) | (forward ? Qt::NoModifier : Qt::ShiftModifier);
        QTest::keyClick(form.windowHandle(), forward ? Qt::Key_Tab : Qt::Key_Backtab, modifiers);
        if (QApplication::focusWidget() == start)
            return passed;
        passed.append(nameOf(QApplication::focusWidget()));
    }
    return passed;
}

QStringList reversed(QStringList names)
{
    std::reverse(names.begin(), names.end());
    return names;
}

struct Started {
    TestProgramFolder folder;
    MainFormHarness harness{folder};
    Started()
    {
        folder.putServerSettings("POP3=p\r\n");
    }
    bool start()
    {
        return harness.start() && QTest::qWaitForWindowActive(&harness.form());
    }
};

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void tabTakesEveryControlOfAScreenInReadingOrder_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("order");
        const QStringList calendar{QStringLiteral("qt_calendar_prevmonth"), QStringLiteral("qt_calendar_monthbutton"),
            QStringLiteral("qt_calendar_yearbutton"), QStringLiteral("qt_calendar_nextmonth"), QStringLiteral("qt_calendar_calendarview")};
        QStringList main{Names::Text38};
        for (int field = 1; field <= 9; ++field)
            main.append(Names::Text57At(field));
        // "説明非表示" is disabled until the explanation shows.
        main << Names::Text16 << Names::Command24 << Names::Command26 << Names::Command19 << Names::Command25 << calendar
             << Names::List2 << Names::txtMemo << Names::Command22 << Names::Command21 << Names::Command2;
        QTest::newRow("main screen") << 1 << main;
        QTest::newRow("compose") << 2
                                 << QStringList{Names::Command14, Names::Command16, Names::Command17, Names::Command18, Names::ToText,
                                        Names::SubjectText, Names::Combo1, Names::AttachCommand, Names::AttachText, Names::Command12,
                                        Names::Command13, Names::BodyText, Names::List5, Names::Text12, Names::Option2};
        QTest::newRow("address book") << 4
                                      << QStringList{Names::Text11, Names::Command8, Names::Text10, Names::Text6, Names::Command10,
                                             Names::Command15, Names::Text50, Names::Command38, Names::List3};
        QTest::newRow("spam keywords") << 5
                                       << QStringList{Names::Text43, Names::Command36, Names::Command37, Names::Text44, Names::List7};
        QTest::newRow("mail") << 16
                              << QStringList{QStringLiteral("New"), QStringLiteral("Open"), QStringLiteral("Save"), QStringLiteral("Print"),
                                     QStringLiteral("Cut"), QStringLiteral("Copy"), QStringLiteral("Paste"), QStringLiteral("Bold"),
                                     QStringLiteral("Italic"), QStringLiteral("Underline"), Names::Text2, Names::Command35, Names::Text49,
                                     Names::Command3, Names::Command4, Names::Command5, Names::Command6, Names::Command29, Names::Command27,
                                     Names::Text29, Names::MailListView, Names::Text7, Names::Text8, Names::Text9, Names::rtfEd};
    }
    void tabTakesEveryControlOfAScreenInReadingOrder()
    {
        QFETCH(int, tab);
        QFETCH(QStringList, order);
        Started started;
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        started.harness.clickTab(tab);
        QTRY_VERIFY(form.tabStrip().hasFocus() || QApplication::focusWidget());
        form.tabStrip().setFocus(Qt::TabFocusReason);

        QCOMPARE(walk(form, true), order);
        QCOMPARE(walk(form, false), reversed(order));
        // Passing over the strip opened nothing.
        QCOMPARE(form.tabStrip().selectedIndex(), tab);
    }

    // Enter on a focused button presses it, as Space does and as the screens' own platform does.
    void returnOnAFocusedButtonPressesIt()
    {
        Started started;
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        auto* show = started.harness.find<QPushButton>(Names::Command19);
        auto* hide = started.harness.find<QPushButton>(Names::Command20);
        QVERIFY(!hide->isEnabled());
        show->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(show->hasFocus());
        QTest::keyClick(form.windowHandle(), Qt::Key_Return);
        QVERIFY(hide->isEnabled());
        hide->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(hide->hasFocus());
        QTest::keyClick(form.windowHandle(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!hide->isEnabled());
    }

    // Arrows move a list's highlight alone; Enter then does what a click on the list does.
    void enterOnAListDoesWhatAClickDoes_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("shown");
        QTest::newRow("sort rules into the rule editor") << 1 << Names::List2 << Names::Text16 << QStringLiteral("b@example.jp");
        QTest::newRow("compose: a name to the recipient") << 2 << Names::List5 << Names::ToText << QStringLiteral("p2@example.jp");
        QTest::newRow("address book: a row to its boxes") << 4 << Names::List3 << Names::Text11 << QStringLiteral("p2@example.jp");
    }
    void enterOnAListDoesWhatAClickDoes()
    {
        QFETCH(int, tab);
        QFETCH(QString, list);
        QFETCH(QString, box);
        QFETCH(QString, shown);
        Started started;
        started.folder.putSortRules({TestProgramFolder::sortRule(QStringLiteral("担当A"), QStringLiteral("a@example.jp")),
            TestProgramFolder::sortRule(QStringLiteral("担当B"), QStringLiteral("b@example.jp"))});
        const AddressBook book(started.folder.paths());
        for (int entry = 1; entry <= 3; ++entry)
            QVERIFY(book.RegisterAddress(QStringLiteral("名前%1").arg(entry), QStringLiteral("p%1@example.jp").arg(entry)).ok());
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        started.harness.clickTab(tab);
        auto* rows = started.harness.find<QAbstractItemView>(list);
        rows->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(rows->hasFocus());

        QTest::keyClick(form.windowHandle(), Qt::Key_Home);
        QTest::keyClick(form.windowHandle(), Qt::Key_Down);
        QVERIFY(started.harness.find<QLineEdit>(box)->text() != shown);
        QTest::keyClick(form.windowHandle(), Qt::Key_Return);
        QCOMPARE(started.harness.find<QLineEdit>(box)->text(), shown);
        QVERIFY(rows->hasFocus());
        QVERIFY(started.harness.messageBoxes.requests.isEmpty());
    }

    // A screen opened by a button of the screen it hides takes the keys where a person goes on from
    // there, and gives them back to the tab strip when it is left: the focus is never left behind
    // on a hidden control.
    void screensOpenedByButtonsTakeTheKeysAndGiveThemBack_data()
    {
        QTest::addColumn<QString>("opening");
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QString>("leaving");
        QTest::newRow("reply: the reply's text") << Names::Command5 << Names::Text42 << Names::Command33;
        QTest::newRow("enlarged view: its body") << Names::Command29 << Names::Text15 << Names::Command1;
        QTest::newRow("sender to the address book: the name") << Names::Command4 << Names::Text6 << QString();
    }
    void screensOpenedByButtonsTakeTheKeysAndGiveThemBack()
    {
        QFETCH(QString, opening);
        QFETCH(QString, focused);
        QFETCH(QString, leaving);
        Started started;
        QVERIFY(StoreMessage(started.folder.paths(), 1, 1,
            {QStringLiteral("件名"), QStringLiteral("差出人 <sender@example.jp>"), QStringLiteral("Mon, 7 Dec 2026 10:00:00 +0900"),
                QStringLiteral("本文")})
                    .ok());
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        started.harness.clickTab(7);
        auto* list = started.harness.find<QWidget>(Names::MailListView);
        list->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(form.windowHandle(), Qt::Key_Home);
        QTest::keyClick(form.windowHandle(), Qt::Key_Return);

        started.harness.find<QWidget>(opening)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form.windowHandle(), Qt::Key_Return);
        QTRY_COMPARE(nameOf(QApplication::focusWidget()), focused);
        if (leaving.isEmpty())
            return;
        started.harness.find<QWidget>(leaving)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form.windowHandle(), Qt::Key_Return);
        QTRY_VERIFY(form.tabStrip().hasFocus());
        QVERIFY(started.harness.messageBoxes.requests.isEmpty());
    }

    void theBulkSendChoiceIsOneStopWhoseArrowsReachTheOtherOption()
    {
        Started started;
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        started.harness.clickTab(2);
        auto* bulkOn = started.harness.find<QWidget>(Names::Option2);
        bulkOn->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(bulkOn->hasFocus());
        QTest::keyClick(form.windowHandle(), Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget(), started.harness.find<QWidget>(Names::Option1));
    }

    void screensWithoutTheTabStripGoRoundTheirOwnControls_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("reply") << static_cast<int>(MainForm::Screen::Reply)
                               << QStringList{Names::Command33, Names::Text41, Names::Text40, Names::Text26, Names::Command32,
                                      Names::Command30, Names::Command31, Names::List6, Names::Text42, Names::Command34};
        QTest::newRow("enlarged view") << static_cast<int>(MainForm::Screen::Enlarged)
                                       << QStringList{Names::Text22, Names::UpDown1, Names::UpDown1, Names::Command1, Names::Text24, Names::Text46,
                                              Names::Text15, Names::Text25};
    }
    void screensWithoutTheTabStripGoRoundTheirOwnControls()
    {
        QFETCH(int, screen);
        QFETCH(QStringList, order);
        Started started;
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        form.showScreen(static_cast<MainForm::Screen>(screen));
        form.findChild<QWidget*>(order.last())->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(nameOf(QApplication::focusWidget()), order.last());

        QStringList passed = walk(form, true);
        passed.append(order.last());
        QCOMPARE(passed, order);
    }

    void tabLeavesTheMemoAndTheViewsWithoutTypingIntoThem()
    {
        Started started;
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        auto* memo = started.harness.find<QPlainTextEdit>(Names::txtMemo);
        memo->setPlainText(QStringLiteral("予定"));
        memo->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(memo->hasFocus());
        QTest::keyClick(form.windowHandle(), Qt::Key_Tab);
        QCOMPARE(nameOf(QApplication::focusWidget()), Names::Command22);
        QTest::keyClick(form.windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), memo);
        QTest::keyClick(form.windowHandle(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(memo->toPlainText(), QStringLiteral("予定"));
        QVERIFY(!form.mainScreen().editorContents().Memo.contains(u'\t'));
    }

    void aMessageBodyTakesTabAsACharacterAndCtrlTabLeavesIt_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("before");
        QTest::newRow("mail screen") << 16 << Names::rtfEd << QString() << Names::Text9;
        QTest::newRow("compose") << 2 << Names::BodyText << Names::List5 << Names::Command13;
        QTest::newRow("reply") << 0 << Names::Text42 << Names::Command34 << Names::List6;
    }
    void aMessageBodyTakesTabAsACharacterAndCtrlTabLeavesIt()
    {
        QFETCH(int, tab);
        QFETCH(QString, body);
        QFETCH(QString, after);
        QFETCH(QString, before);
        Started started;
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        if (tab > 0)
            started.harness.clickTab(tab);
        else
            form.showScreen(MainForm::Screen::Reply);
        auto* box = started.harness.find<QWidget>(body);
        box->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(box->hasFocus());

        QTest::keyClick(form.windowHandle(), Qt::Key_A);
        QTest::keyClick(form.windowHandle(), Qt::Key_Tab);
        QTest::keyClick(form.windowHandle(), Qt::Key_B);
        QVERIFY(box->hasFocus());
        const QString typed = qobject_cast<QTextEdit*>(box) ? qobject_cast<QTextEdit*>(box)->toPlainText()
                                                             : qobject_cast<QPlainTextEdit*>(box)->toPlainText();
        QCOMPARE(typed.toLower(), QStringLiteral("a\tb"));

        QTest::keyClick(form.windowHandle(), Qt::Key_Tab, Qt::ControlModifier);
        // After the mail screen's body the round goes back to the tab strip.
        QCOMPARE(QApplication::focusWidget(), after.isEmpty() ? &form.tabStrip() : started.harness.find<QWidget>(after));
        QTest::keyClick(form.windowHandle(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), box);
        QTest::keyClick(form.windowHandle(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(nameOf(QApplication::focusWidget()), before);
    }

    void arrowsHomeAndEndMoveOverTheTabsAndOnlyEnterOrSpaceOpensOne()
    {
        Started started;
        QVERIFY(started.start());
        MainForm& form = started.harness.form();
        TabStrip& strip = form.tabStrip();
        QSignalSpy receives(&form, &MainForm::receiveRequested);
        QSignalSpy clicks(&strip, &TabStrip::tabClicked);
        strip.setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(strip.hasFocus());

        struct Press {
            Qt::Key key;
            int marked;
            int open;
        };
        const QList<Press> presses{
            {Qt::Key_Right, 2, 1},
            {Qt::Key_Right, 3, 1}, // over "受信": no receive
            {Qt::Key_Right, 4, 1},
            {Qt::Key_Right, 5, 1},
            {Qt::Key_Right, 6, 1}, // over the settings tab: no window
            {Qt::Key_End, 17, 1},
            {Qt::Key_Right, 1, 1},
            {Qt::Key_Left, 17, 1},
            {Qt::Key_Left, 16, 1},
            {Qt::Key_Return, 16, 16},
            {Qt::Key_Home, 1, 16},
            {Qt::Key_Right, 2, 16},
            {Qt::Key_Space, 2, 2},
        };
        for (const Press& press : presses) {
            QTest::keyClick(form.windowHandle(), press.key);
            QCOMPARE(strip.focusedIndex(), press.marked);
            QCOMPARE(strip.selectedIndex(), press.open);
        }
        QCOMPARE(receives.count(), 0);
        QCOMPARE(clicks.count(), 2);
        QVERIFY(!MainFormHarness::window(Names::SetForm));
        QVERIFY(started.harness.find<QWidget>(Names::Frame3)->isVisible());

        // Enter on the settings tab opens the chooser; Esc at its window closes it again.
        QTest::keyClick(form.windowHandle(), Qt::Key_End);
        for (int tab = 17; tab > 6; --tab)
            QTest::keyClick(form.windowHandle(), Qt::Key_Left);
        QCOMPARE(strip.focusedIndex(), 6);
        QTest::keyClick(form.windowHandle(), Qt::Key_Return);
        QWidget* chooser = MainFormHarness::window(Names::SetForm);
        QVERIFY(chooser);
        QVERIFY(QTest::qWaitForWindowExposed(chooser));
        QTest::keyClick(chooser->windowHandle(), Qt::Key_Escape);
        QTRY_VERIFY(!form.isLoaded(Names::SetForm));
        // The window system gives the main window back its activation; the offscreen one does not.
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        strip.setFocus(Qt::TabFocusReason);
        QTest::keyClick(form.windowHandle(), Qt::Key_Home);
        QTest::keyClick(form.windowHandle(), Qt::Key_Right);
        QTest::keyClick(form.windowHandle(), Qt::Key_Space);
        QCOMPARE(strip.selectedIndex(), 2);

        // Leaving the strip and coming back puts the mark on the open tab.
        QTest::keyClick(form.windowHandle(), Qt::Key_Right);
        QTest::keyClick(form.windowHandle(), Qt::Key_Tab);
        QTest::keyClick(form.windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(strip.hasFocus());
        QCOMPARE(strip.focusedIndex(), 2);
    }
};

NEMUROA_QTEST_SUITE(KeyboardTest)
#include "KeyboardTest.moc"
