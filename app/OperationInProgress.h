#pragma once

#include <memory>

class MainForm;
class QObject;

// Marks an operation on the main window that must run to its end, such as a receive or a send
// session. While one lasts, user input to the program's windows is dropped (a box the operation
// itself shows still takes it), so no click or key starts another handler inside the operation's
// waits; and a close request waits until the last operation has ended, when the window closes.
// Create one on the stack for the length of the operation; they nest.
class OperationInProgress {
public:
    explicit OperationInProgress(MainForm& form);
    ~OperationInProgress();
    OperationInProgress(const OperationInProgress&) = delete;
    OperationInProgress& operator=(const OperationInProgress&) = delete;

private:
    MainForm& form_;
    // The outermost operation's filter of user input, installed on the application.
    std::unique_ptr<QObject> inputFilter_;
};
