#pragma once

#include <QIcon>
#include <QString>

// The pictures of the editor toolbar's buttons, drawn like the program's other pictures.
namespace ToolbarPictures {

// key is the button's key: "New", "Open", "Save", "Print", "Cut", "Copy", "Paste", "Bold", "Italic"
// or "Underline"; any other key gets an empty icon.
QIcon image(const QString& key);

} // namespace ToolbarPictures
