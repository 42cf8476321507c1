#include "EditorToolBar.h"

#include "ToolbarPictures.h"
#include "WidgetNames.h"

#include <QAction>

#include <array>

namespace {

constexpr std::array<EditorToolBar::Button, 10> Buttons{{
    {u"New", u"新規作成"},
    {u"Open", u"開く"},
    {u"Save", u"名前を付けて保存"},
    {u"Print", u"印刷"},
    {u"Cut", u"切り取り"},
    {u"Copy", u"ｺﾋﾟｰ"},
    {u"Paste", u"貼り付け"},
    {u"Bold", u"太字"},
    {u"Italic", u"斜体"},
    {u"Underline", u"下線"},
}};

} // namespace

EditorToolBar::EditorToolBar(QWidget* parent) : QToolBar(parent)
{
    setObjectName(WidgetNames::tbToolBar);
    setIconSize(QSize(16, 16));
    setFloatable(false);
    setMovable(false);
    for (const Button& button : Buttons) {
        const QString key = QString::fromUtf16(button.key);
        QAction* action = addAction(ToolbarPictures::image(key), QString::fromUtf16(button.toolTip));
        action->setObjectName(key);
        action->setToolTip(QString::fromUtf16(button.toolTip));
        connect(action, &QAction::triggered, this, [this, key] { emit buttonClicked(key); });
        // Toolbar buttons take no focus by default; these are the only way to the three styles.
        if (QWidget* button = widgetForAction(action))
            button->setFocusPolicy(Qt::TabFocus);
    }
}

QStringList EditorToolBar::keys()
{
    QStringList keys;
    for (const Button& button : Buttons)
        keys.append(QString::fromUtf16(button.key));
    return keys;
}
