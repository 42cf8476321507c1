#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QLineEdit;

// The mouse-over rule of the view fields: moving the pointer over the subject, sender or date box
// copies that box's text into the copy box, where the header copy button takes it from.
class ViewFieldCopyRule : public QObject {
    Q_OBJECT
public:
    ViewFieldCopyRule(QLineEdit* copyBox, const QList<QLineEdit*>& fields, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QLineEdit> copyBox_;
    QList<QLineEdit*> fields_;
};
