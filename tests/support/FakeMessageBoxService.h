#pragma once

#include "MessageBoxService.h"

#include <QList>

#include <functional>

// Records every message box the program asks for and answers from a script: the queued answers in
// order, then Yes for a question and Ok for a notice.
class FakeMessageBoxService final : public MessageBoxService {
public:
    Answer show(const Request& request) override;

    QList<Request> requests;
    QList<Answer> answers;
    // Runs while the box is "open", e.g. to act the way a user could meanwhile.
    std::function<void(const Request&)> whileShown;

    QStringList texts() const;
    int count(const QString& text) const;
};
