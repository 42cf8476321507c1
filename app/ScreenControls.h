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

inline QPushButton* button(const QString& name, const QString& caption, const QRect& geometry, QWidget* parent)
{
    auto* made = new QPushButton(caption, parent);
    made->setObjectName(name);
    made->setGeometry(geometry);
    return made;
}

} // namespace ScreenControls
