#include "ButtonEnterKey.h"

#include <QKeyEvent>
#include <QPushButton>

ButtonEnterKey::ButtonEnterKey(QPushButton* button) : QObject(button), button_(button) { button->installEventFilter(this); }

void ButtonEnterKey::install(QWidget& window)
{
    for (QPushButton* button : window.findChildren<QPushButton*>())
        new ButtonEnterKey(button);
}

bool ButtonEnterKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && !key->isAutoRepeat() && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            button_->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
