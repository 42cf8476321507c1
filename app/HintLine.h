#pragma once

#include <QObject>
#include <QString>

class QWidget;

// The mouse-over hints of every screen: one table of rules keyed by the object name of the control
// under the pointer. A rule shows a hint box with its text, hides it, copies the control's text
// into a box, or clears a caption. Controls and boxes are looked up by name when the pointer moves,
// so a rule starts working as soon as a screen creates its control, and a rule whose control or
// box does not exist does nothing.
class HintLine : public QObject {
    Q_OBJECT
public:
    enum class Action { Show, Hide, CopyText, ClearCaption };

    struct Rule {
        // A control's name; for a control array, the array's name matches every element.
        const char16_t* control;
        Action action;
        // The hint box shown or hidden, the box that gets the copied text, or the label cleared.
        const char16_t* target;
        const char16_t* text = u"";
        // Frames and picture boxes hide their box only where the pointer is over their own
        // background, not over a control on them.
        bool backgroundOnly = false;
        bool array = false;
    };

    // Watches the pointer over the window and its children.
    explicit HintLine(QWidget& window);

    // The text a Show rule of the control puts into its box; empty when it has none.
    static QString hintFor(const QString& controlName);
    // Gives every control of the window that has a hint that hint as its accessible description,
    // so that a screen reader says it without the pointer.
    static void describe(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pointerMovedOver(QWidget* widget, const QPoint& position);
    void hideAll();
    void apply(const Rule& rule, QWidget* control);

    QWidget& window_;
};
