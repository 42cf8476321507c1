#include "BoxKeyAnswerer.h"

#include <QApplication>
#include <QMessageBox>
#include <QAbstractButton>
#include <QPushButton>
#include <QTest>
#include <QWindow>

namespace {
constexpr int LookMilliseconds = 5;
constexpr int IgnoredAfterMilliseconds = 4000;
} // namespace

BoxKeyAnswerer::BoxKeyAnswerer(QList<Qt::Key> script) : keys(std::move(script))
{
    connect(&timer_, &QTimer::timeout, this, &BoxKeyAnswerer::look);
    timer_.start(LookMilliseconds);
}

void BoxKeyAnswerer::look()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || !box->windowHandle() || !box->windowHandle()->isExposed())
        return;
    if (box == answered_) {
        if (sinceKey_.elapsed() > IgnoredAfterMilliseconds) {
            ignored << box->windowTitle();
            box->reject();
        }
        return;
    }
    answered_ = box;
    seen.append({box->windowTitle(), box->text()});
    if (onShown)
        onShown(*box);
    const Qt::Key key = keys.isEmpty() ? Qt::Key_Return : keys.takeFirst();
    sinceKey_.start();
    if (key == ClickDefaultButton) {
        // A notice's one button is its default, whether or not the box names it so.
        const QAbstractButton* button = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
        QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, button->mapTo(box, button->rect().center()));
    } else {
        QTest::keyClick(box->windowHandle(), key);
    }
}

QStringList BoxKeyAnswerer::titles() const
{
    QStringList all;
    for (const Box& box : seen)
        all.append(box.title);
    return all;
}

QStringList BoxKeyAnswerer::texts() const
{
    QStringList all;
    for (const Box& box : seen)
        all.append(box.text);
    return all;
}
