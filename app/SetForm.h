#pragma once

#include <QDialog>

// The settings chooser: two buttons leading to the account dialog and the server dialog. A modeless
// dialog, so that assistive tools present it as a window of its own.
class SetForm : public QDialog {
    Q_OBJECT
public:
    explicit SetForm(QWidget* parent = nullptr);

signals:
    void accountRequested();
    void serversRequested();

protected:
    // Esc closes the chooser, as it closes a dialog.
    void keyPressEvent(QKeyEvent* event) override;
};
