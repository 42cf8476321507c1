#include "FakeMessageBoxService.h"

MessageBoxService::Answer FakeMessageBoxService::show(const Request& request)
{
    requests.append(request);
    if (whileShown)
        whileShown(request);
    if (!answers.isEmpty())
        return answers.takeFirst();
    return request.buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

QStringList FakeMessageBoxService::texts() const
{
    QStringList result;
    for (const Request& request : requests)
        result.append(request.text);
    return result;
}

int FakeMessageBoxService::count(const QString& text) const { return static_cast<int>(texts().count(text)); }
