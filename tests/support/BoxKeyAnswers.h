#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <Qt>

// Answers the real message boxes the way a person does: as soon as a box is up, one key goes to
// the box's own window through the window system, never to the box widget. The keys are used in
// order, one per box; what each box said and its title are kept.
class BoxKeyAnswers : public QObject {
    Q_OBJECT
public:
    explicit BoxKeyAnswers(QList<Qt::Key> keys);

    QStringList texts;
    QStringList titles;

private:
    void answerWaitingBox();

    QList<Qt::Key> keys_;
    QTimer poll_;
};
