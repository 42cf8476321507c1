#include "HintLine.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include <array>

namespace {

using Action = HintLine::Action;
using Rule = HintLine::Rule;

constexpr std::array<Rule, 30> Rules{{
    // Main screen.
    {u"Command2", Action::Show, u"Text45", u"終了します。"},
    {u"Command21", Action::Show, u"Text45", u"フォーム（画面）を最小化します。"},
    {u"Command22", Action::Show, u"Text45",
        u"「しずくテトラ」を鑑賞できます。起動するとネムロアは最小化されますので、使用する場合はタスクバーのネムロアをクリックして下さい。"},
    {u"Command24", Action::Show, u"Text45", u"自動仕分けでの設定を行った後、クリックするとその設定が保存されます。"},
    {u"Command26", Action::Show, u"Text45", u"自動仕分けの設定を行う際、全ての項目を空白にします。"},
    {u"Frame5", Action::Hide, u"Text45", u"", true},
    {u"Image1", Action::ClearCaption, u"Label10"},
    // Received-mail screen.
    {u"Command3", Action::Show, u"Text5", u"選択したメールデータのみ削除します。確認メッセージ後の処理となりますので安心です。"},
    {u"Command4", Action::Show, u"Text5",
        u"選択したメールアドレスをアドレス帳に自動転記します。任意の名称（氏名）を入力後、登録ボタンを押して下さい。これにより新規作成画面でのアドレス一発入力が可能となります。"},
    {u"Command5", Action::Show, u"Text5", u"送信して来た相手に返事を出せます。メールアドレス、件名、本文が自動的に入力されます。"},
    {u"Command6", Action::Show, u"Text5", u"タブでクリックしたメールデータ（タブ単位でのデータ）を全て（例：着信　その他）削除します。"},
    {u"Command27", Action::Show, u"Text5",
        u"選択したデータをテキスト形式で本ソフト内の「TextQuickSave」フォルダ内に「Subject」「From」「Date」「Boby」で保存します。ファイル名は「Subject」が自動的に当てられます。同名のファイルが既に存在する場合は警告メッセージを出します。"},
    {u"Command29", Action::Show, u"Text5", u"選択したメールデータを拡大して見ることが出来ます。文字の拡大・縮小自由自在。"},
    {u"Command35", Action::Show, u"Text5",
        u"本文以外のコピーに使用します。「Subject」「From」「Date」に表示されるデータをコピーします（貼り付けはメニューバー、ツールバーで出来ます）。Body（本文）はメニューバー、ツールバーからコピー・貼り付けが出来ます。"
        u"\r\n\r\n"
        u" 本文への貼り付け（あるいは本ソフトでの貼り付け機能がある部分）、他のアプリケーションへの貼り付けが可能です。"
        u"\r\n\r\n"
        u"コピーされる内容は右の欄に反映されます。"
        u"\r\n\r\n"
        u"「Subject」他にマウスを移動させると自動的に右の欄にコピーしたい内容が表示されます。"},
    {u"Label2", Action::Show, u"Text5", u"本文中から文字列を検索します。右欄に文字を入力し、メニューバーの「検索」で実行して下さい。", false, true},
    {u"Frame1", Action::Hide, u"Text5", u"", true, true},
    {u"rtfEd", Action::Hide, u"Text5"},
    {u"Text7", Action::CopyText, u"Text49"},
    {u"Text8", Action::CopyText, u"Text49"},
    {u"Text9", Action::CopyText, u"Text49"},
    // Address book screen.
    {u"Command10", Action::Show, u"Text51", u"入力した内容でメールアドレスを登録します。"},
    {u"Command15", Action::Show, u"Text51", u"不要になったメールアドレスの削除が行えます。"},
    {u"Command38", Action::Show, u"Text51",
        u"メールアドレスに「名刺」を挿入する形でアドレスを登録する事が出来ます。先にメールアドレスを入力し、「名刺」を入力した後「名刺挿入」をクリックして下さい。タグは自動的に挿入されます。"},
    {u"Command8", Action::Show, u"Text51", u"メールアドレスの貼り付けが行えます。"},
    {u"Frame2", Action::Hide, u"Text51", u"", true},
    // The compose screen's box, which the enlarged view and the main screen write to as well.
    {u"AttachCommand", Action::Show, u"Text14", u"各種ファイルを添付して送信できます。"},
    {u"BodyText", Action::Hide, u"Text14"},
    {u"Command1", Action::Show, u"Text14", u"他のアプリケーションからコピーしてきた内容を本文欄に貼付できます｡"},
    {u"Label14", Action::Show, u"Text14", u"送信を中止します。"},
    {u"Picture3", Action::Hide, u"Text14", u"", true},
}};

bool matches(const Rule& rule, const QString& name)
{
    const QStringView control(rule.control);
    if (name == control)
        return true;
    return rule.array && name.size() > control.size() && name.startsWith(control) && name.at(control.size()) == u'(';
}

const Rule* ruleFor(const QString& name)
{
    for (const Rule& rule : Rules) {
        if (matches(rule, name))
            return &rule;
    }
    return nullptr;
}

// Parts that a widget builds inside itself (a scroll area's viewport, a calendar's buttons) are
// unnamed or carry Qt's own names; the pointer over them is over the control that holds them.
bool isInnerPart(const QWidget* widget)
{
    const QString name = widget->objectName();
    return name.isEmpty() || name.startsWith(u"qt_");
}

void setBoxText(QWidget* box, const QString& text)
{
    if (auto* lines = qobject_cast<QPlainTextEdit*>(box))
        lines->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    else if (auto* rich = qobject_cast<QTextEdit*>(box))
        rich->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    else if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(box))
        label->setText(text);
}

QString controlText(const QWidget* control)
{
    if (auto* line = qobject_cast<const QLineEdit*>(control))
        return line->text();
    if (auto* lines = qobject_cast<const QPlainTextEdit*>(control))
        return lines->toPlainText();
    if (auto* rich = qobject_cast<const QTextEdit*>(control))
        return rich->toPlainText();
    return {};
}

} // namespace

HintLine::HintLine(QWidget& window) : QObject(&window), window_(window)
{
    // Controls get no move events without a button held unless they track the mouse; the
    // application's filter sees every move, whichever control is under the pointer.
    QCoreApplication::instance()->installEventFilter(this);
}

QString HintLine::hintFor(const QString& controlName)
{
    const Rule* rule = ruleFor(controlName);
    return rule && rule->action == Action::Show ? QString::fromUtf16(rule->text) : QString();
}

void HintLine::describe(QWidget& window)
{
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (const QString hint = hintFor(control->objectName()); !hint.isEmpty())
            control->setAccessibleDescription(hint);
    }
}

bool HintLine::eventFilter(QObject* watched, QEvent* event)
{
    // A pointer that leaves the window from a control never crosses the background that hides the
    // hint: the hint would stay over the message body.
    if (event->type() == QEvent::Leave && watched == &window_)
        hideAll();
    if (event->type() == QEvent::MouseMove && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == &window_)
            pointerMovedOver(widget, static_cast<QMouseEvent*>(event)->position().toPoint());
    }
    // A field the keyboard goes to is chosen for copying as one the pointer moves over, so that
    // "コピー（Subject/from/Data）" serves a hand on the keys too. Hints are not shown on focus:
    // assistive tools read them as the controls' descriptions.
    if (event->type() == QEvent::FocusIn && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (const Rule* rule = ruleFor(widget->objectName()); rule && rule->action == Action::CopyText && widget->window() == &window_)
            apply(*rule, widget);
    }
    return QObject::eventFilter(watched, event);
}

void HintLine::hideAll()
{
    for (const Rule& rule : Rules) {
        if (rule.action != Action::Show)
            continue;
        if (auto* box = window_.findChild<QWidget*>(QString::fromUtf16(rule.target)))
            box->hide();
    }
}

void HintLine::pointerMovedOver(QWidget* widget, const QPoint& position)
{
    // A move a control did not take is passed on to its parent; the pointer is still over the
    // control, not over the parent's background.
    QWidget* under = widget->childAt(position);
    const bool overBackground = under == nullptr;
    QWidget* control = under ? under : widget;
    while (isInnerPart(control) && control != &window_ && control->parentWidget())
        control = control->parentWidget();
    const Rule* rule = ruleFor(control->objectName());
    if (!rule)
        return;
    if (rule->backgroundOnly && !(overBackground && control == widget))
        return;
    apply(*rule, control);
}

void HintLine::apply(const Rule& rule, QWidget* control)
{
    const QString targetName = QString::fromUtf16(rule.target);
    auto* target = window_.findChild<QWidget*>(targetName);
    if (!target)
        return;
    switch (rule.action) {
    case Action::Show:
        setBoxText(target, QString::fromUtf16(rule.text));
        target->show();
        target->raise();
        break;
    case Action::Hide:
        target->hide();
        break;
    case Action::CopyText:
        setBoxText(target, controlText(control));
        break;
    case Action::ClearCaption:
        setBoxText(target, QString());
        break;
    }
}
