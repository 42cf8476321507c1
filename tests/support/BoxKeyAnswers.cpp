#include "BoxKeyAnswers.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QWindow>

BoxKeyAnswers::BoxKeyAnswers(QList<Qt::Key> keys) : keys_(std::move(keys))
{
    // Polled rather than timed: a box is answered once it is shown and its window exposed.
    poll_.setInterval(10);
    connect(&poll_, &QTimer::timeout, this, &BoxKeyAnswers::answerWaitingBox);
    poll_.start();
}

void BoxKeyAnswers::answerWaitingBox()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || !box->windowHandle() || !box->windowHandle()->isExposed() || keys_.isEmpty())
        return;
    if (box->property("answered").toBool())
        return;
    box->setProperty("answered", true);
    texts.append(box->text());
    titles.append(box->windowTitle());
    QTest::keyClick(box->windowHandle(), keys_.takeFirst());
}
