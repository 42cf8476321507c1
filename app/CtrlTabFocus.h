#pragma once

#include <QObject>

class QWidget;

// Ctrl+Tab and Ctrl+Shift+Tab move the focus on and back from any control of the window, as Tab
// and Shift+Tab do. In the message bodies Tab is a character, as a letter is written; there the
// Ctrl keys are the way out, and they work the same everywhere so that a person can go back.
class CtrlTabFocus : public QObject {
    Q_OBJECT
public:
    explicit CtrlTabFocus(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
};
