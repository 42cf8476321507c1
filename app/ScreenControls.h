#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>

// Controls placed the way the screens were designed: by object name and geometry in pixels.
namespace ScreenControls {

inline QLabel* label(const QString& text, const QRect& geometry, QWidget* parent)
{
    auto* made = new QLabel(text, parent);
    made->setGeometry(geometry);
    return made;
}

inline QLineEdit* box(const QString& name, const QRect& geometry, QWidget* parent)
{
    auto* made = new QLineEdit(parent);
    made->setObjectName(name);
    made->setGeometry(geometry);
    return made;
}

// Gives a box its text and shows the text's start, as a text box given a text does: a sender
// longer than its box shows the name rather than the end of the address.
inline void showFromStart(QLineEdit* box, const QString& text)
{
    box->setText(text);
    box->setCursorPosition(0);
}

inline QPushButton* button(const QString& name, const QString& caption, const QRect& geometry, QWidget* parent)
{
    auto* made = new QPushButton(caption, parent);
    made->setObjectName(name);
    made->setGeometry(geometry);
    return made;
}

} // namespace ScreenControls
