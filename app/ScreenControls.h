#pragma once

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QString>

#include <algorithm>

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

// The title bar's icon and buttons, which the window system draws beside a window's title.
constexpr int TitleBarControlsWidth = 120;

// A small window wide enough for its own title next to the title bar's icon and buttons; the title
// bar's font is often bold or larger, hence the quarter more. Returns how much wider it became.
inline int makeRoomForTitle(QWidget& window)
{
    const int needed = QFontMetrics(QApplication::font()).horizontalAdvance(window.windowTitle()) * 5 / 4 + TitleBarControlsWidth;
    const int added = std::max(0, needed - window.width());
    if (added > 0)
        window.setFixedWidth(window.width() + added);
    return added;
}

} // namespace ScreenControls
