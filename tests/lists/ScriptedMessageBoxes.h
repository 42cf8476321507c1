#pragma once

#include "MessageBoxService.h"

#include <deque>
#include <vector>

// Records every message box and answers questions from a script (Yes when the script is empty).
class ScriptedMessageBoxes : public MessageBoxService {
public:
    Answer show(const Request& request) override
    {
        shown.push_back(request);
        if (request.buttons == Buttons::Ok)
            return Answer::Ok;
        if (answers.empty())
            return Answer::Yes;
        const Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Request> shown;
    std::deque<Answer> answers;
};
