#include "ViewFieldCopyRule.h"

#include <QEvent>
#include <QLineEdit>

ViewFieldCopyRule::ViewFieldCopyRule(QLineEdit* copyBox, const QList<QLineEdit*>& fields, QObject* parent)
    : QObject(parent), copyBox_(copyBox), fields_(fields)
{
    for (QLineEdit* field : fields_) {
        // Without tracking a box hears of the pointer only while a button is held.
        field->setMouseTracking(true);
        field->installEventFilter(this);
    }
}

bool ViewFieldCopyRule::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove && copyBox_) {
        if (auto* field = qobject_cast<QLineEdit*>(watched); field && fields_.contains(field))
            copyBox_->setText(field->text());
    }
    return QObject::eventFilter(watched, event);
}
