#pragma once

#include <QString>

// Message boxes: notices with OK, questions with Yes and No. The window shows real ones; tests
// record what was asked and script the answers.
class MessageBoxService {
public:
    enum class Buttons { Ok, YesNo };
    enum class Icon { None, Information, Question, Exclamation, Critical };
    enum class Answer { Ok, Yes, No };

    struct Request {
        QString text;
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        // The button that Enter presses in a question.
        Answer defaultAnswer = Answer::Yes;
    };

    virtual ~MessageBoxService() = default;
    virtual Answer show(const Request& request) = 0;

    // The program's name, the title of every notice that names no other.
    static QString programTitle() { return QStringLiteral("Nemuroa"); }

    void notify(const QString& text, Icon icon = Icon::None) { show({text, programTitle(), Buttons::Ok, icon}); }
    bool confirm(const QString& text) { return show({text, QStringLiteral("確認"), Buttons::YesNo, Icon::Question}) == Answer::Yes; }
    // A question whose yes deletes or overwrites: a stray Enter answers no.
    bool confirmDeletion(const QString& text)
    {
        return show({text, QStringLiteral("確認"), Buttons::YesNo, Icon::Question, Answer::No}) == Answer::Yes;
    }
};
