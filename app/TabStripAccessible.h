#pragma once

#include <QAccessibleWidget>
#include <QHash>

class TabStrip;

// What assistive tools see of the painted tab strip: a page tab list whose children are its tabs,
// each named by its caption, the selected one marked selected, each pressed as a click presses it.
class TabStripAccessible : public QAccessibleWidget {
public:
    explicit TabStripAccessible(TabStrip* strip);
    ~TabStripAccessible() override;

    // Makes QAccessible build this interface for every TabStrip; safe to call more than once.
    static void install();

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    TabStrip* strip() const;

private:
    mutable QHash<int, QAccessible::Id> tabs_;
};
