#include "ListEnterKey.h"

#include <QAbstractItemView>
#include <QKeyEvent>

#include <utility>

ListEnterKey::ListEnterKey(QAbstractItemView* list, std::function<void()> click) : QObject(list), click_(std::move(click))
{
    list->installEventFilter(this);
}

void ListEnterKey::install(QAbstractItemView* list, const QString& whatEnterDoes, std::function<void()> click)
{
    list->setAccessibleDescription(whatEnterDoes);
    new ListEnterKey(list, std::move(click));
}

bool ListEnterKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            click_();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
