#pragma once

#include "MessageBoxService.h"
#include "SilentReceiveView.h"

// Answers every box with OK and counts them: a bench run that shows one has gone wrong.
class CountingMessageBoxes final : public MessageBoxService {
public:
    Answer show(const Request&) override
    {
        ++shown;
        return Answer::Ok;
    }
    int shown = 0;
};
