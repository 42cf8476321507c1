#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAbstractItemView;

// Enter (Return, or the keypad's) on a list does what a click on the list does. The screens' lists
// act on a click alone and their arrows only move the highlight, so without it a hand on the
// keyboard, or a screen reader, could reach a row but never open it. The list's description tells
// assistive tools what Enter does.
class ListEnterKey : public QObject {
public:
    static void install(QAbstractItemView* list, const QString& whatEnterDoes, std::function<void()> click);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ListEnterKey(QAbstractItemView* list, std::function<void()> click);

    std::function<void()> click_;
};
