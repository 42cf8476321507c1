#include "MainScreenRuleEditor.h"

#include "ListEnterKey.h"
#include "MainForm.h"
#include "MainScreen.h"
#include "ReadingOrder.h"
#include "Twips.h"
#include "WidgetNames.h"

#include <QCoreApplication>
#include <QEvent>
#include <QListWidget>
#include <QPushButton>

MainScreenRuleEditor::MainScreenRuleEditor(MainForm& form)
    : QObject(&form)
    , form_(form)
    , editor_(form.paths(), form.services().messageBoxes, *this)
    , append_(new QPushButton(QStringLiteral("登録"), &form.mainScreen()))
{
    MainScreen& screen = form.mainScreen();
    append_->setObjectName(WidgetNames::Command25);
    append_->setGeometry(Twips::rect(5880, 360, 555, 375));
    // Tab comes to it after the button group beside it.
    QList<QWidget*> order = ReadingOrder::of(screen);
    order.insert(order.indexOf(screen.showExplanationButton()) + 1, append_);
    ReadingOrder::set(screen, order);

    screen.ruleList()->viewport()->installEventFilter(this);
    ListEnterKey::install(screen.ruleList(), QStringLiteral("Enter キーで、選んだ担当者データを表示します"), [this] { editor_.LoadRule(); });
    connect(screen.changeButton(), &QPushButton::clicked, this, [this] { editor_.ChangeRule(); });
    connect(screen.clearButton(), &QPushButton::clicked, this, [this] { editor_.ClearRuleEditor(); });
    connect(append_, &QPushButton::clicked, this, [this] { editor_.AppendRule(); });
}

bool MainScreenRuleEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress || pressing_)
        return QObject::eventFilter(watched, event);
    // The list handles the press first, so that the rule loaded is the row just pressed.
    pressing_ = true;
    QCoreApplication::sendEvent(watched, event);
    pressing_ = false;
    editor_.LoadRule();
    return true;
}

int MainScreenRuleEditor::selectedRuleRow() const
{
    const QList<QListWidgetItem*> selected = form_.mainScreen().ruleList()->selectedItems();
    return selected.isEmpty() ? -1 : form_.mainScreen().ruleList()->row(selected.first());
}

void MainScreenRuleEditor::focusRuleList() { form_.mainScreen().ruleList()->setFocus(); }

SortRule MainScreenRuleEditor::editorContents() const { return form_.mainScreen().editorContents(); }

void MainScreenRuleEditor::showInEditor(const SortRule& rule) { form_.mainScreen().showInEditor(rule); }

void MainScreenRuleEditor::showRuleNames(const QStringList& names) { form_.showRuleNames(names); }

void MainScreenRuleEditor::setRuleNineAddress(const QString& address) { form_.setSortingAddress(SortRuleBook::SortingRules, address); }

void MainScreenRuleEditor::endProgram() { form_.endProgram(); }
