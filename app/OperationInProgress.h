#pragma once

#include <QElapsedTimer>
#include <QString>

#include <memory>

class BlockedCloseRequest;
class MainForm;
class QObject;

// Marks an operation on the main window that must not be interleaved with others, such as a
// receive or a send session. While one lasts, user input to the program's windows is dropped, so
// no click or key starts another handler inside the operation's waits; a box the operation shows
// takes keys and clicks as usual (Qt's own modality keeps them from the other windows meanwhile).
// While it lasts the pointer is busy, and the status bar says what runs when the operation names it
// (a send shows its own text before it starts). Esc and the window's close button, also one pressed
// while a box of the operation is up, ask "中止しますか？" at the operation's next network wait;
// after a yes the window closes once the operation has ended, when the close button asked; an
// operation that ends before it can ask closes the window then.
// Create one on the stack for the length of the operation; an inner one leaves everything to the
// outermost.
class OperationInProgress {
public:
    explicit OperationInProgress(MainForm& form, const QString& runningStatus = {});
    ~OperationInProgress();
    OperationInProgress(const OperationInProgress&) = delete;
    OperationInProgress& operator=(const OperationInProgress&) = delete;

    // Esc, or the close button (thenClose), during the operation.
    void requestStop(bool thenClose);
    // The mail library's wait hook: repaints and runs timers, asks the question once a stop was
    // requested, and tells whether the user has said yes.
    bool keepWindowAlive();
    bool stopConfirmed() const { return stopConfirmed_; }

    static QString stopQuestion() { return QStringLiteral("中止しますか？"); }

private:
    MainForm& form_;
    bool outermost_ = false;
    // The outermost operation's filter of user input, installed on the application.
    std::unique_ptr<QObject> inputFilter_;
    // The close button pressed while a box of the operation is up, which Qt itself would drop.
    std::unique_ptr<BlockedCloseRequest> blockedClose_;
    QElapsedTimer sincePump_;
    bool stopRequested_ = false;
    bool closeRequested_ = false;
    bool asking_ = false;
    bool stopConfirmed_ = false;
};
