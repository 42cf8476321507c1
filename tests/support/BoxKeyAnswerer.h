#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QMessageBox;

// Answers the program's real message boxes as a person does: each box that comes up gets the next
// key of the script (Return once the script is used up), sent to the box's own window the way the
// window system delivers it; the key ClickDefaultButton stands for a mouse click on the box's
// default button (a notice's one button), sent to the box's window in the same way. A box that is
// still up a few seconds after its key has ignored it: it is noted in ignored and closed, so that
// the test fails instead of hanging.
class BoxKeyAnswerer : public QObject {
public:
    struct Box {
        QString title;
        QString text;
    };

    static constexpr Qt::Key ClickDefaultButton = Qt::Key_unknown;

    explicit BoxKeyAnswerer(QList<Qt::Key> keys = {});

    QList<Box> seen;
    QStringList titles() const;
    QStringList texts() const;
    QStringList ignored;
    QList<Qt::Key> keys;
    // Runs when a box has come up, before its key is sent.
    std::function<void(QMessageBox&)> onShown;

private:
    void look();

    QTimer timer_;
    QPointer<QMessageBox> answered_;
    QElapsedTimer sinceKey_;
};
