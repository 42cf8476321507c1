#pragma once

#include <QWidget>

// The settings chooser: two buttons leading to the account dialog and the server dialog.
class SetForm : public QWidget {
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
