#pragma once

#include <QObject>

// While it lives, clicks, keys and close requests aimed at the program's windows are dropped, so
// that window events processed in the middle of a long operation (a repaint, a nested wait of
// another timer) cannot start a second one. Modal message boxes still take their input.
class UserInputBlocker : public QObject {
    Q_OBJECT
public:
    UserInputBlocker();
    ~UserInputBlocker() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
