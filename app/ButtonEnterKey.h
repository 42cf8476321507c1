#pragma once

#include <QObject>

class QPushButton;
class QWidget;

// Enter (Return, or the keypad's) on a focused button presses it, as Space does and as on the
// platform the screens were drawn for. A Qt button outside a dialog takes only Space, and one in a
// dialog takes Enter only by becoming the dialog's default button, which the server dialog must
// not have; this works the same in every window and leaves a dialog's default button alone.
class ButtonEnterKey : public QObject {
public:
    // For every push button the window holds now.
    static void install(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ButtonEnterKey(QPushButton* button);

    QPushButton* button_;
};
