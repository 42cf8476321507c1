#pragma once

#include <QStringList>
#include <QToolBar>

// tbToolBar above the body box: ten buttons, each known by its key, whose clicks are dispatched by
// that key.
class EditorToolBar : public QToolBar {
    Q_OBJECT
public:
    struct Button {
        const char16_t* key;
        const char16_t* toolTip;
    };

    explicit EditorToolBar(QWidget* parent = nullptr);

    // The keys in button order; each button's action is named after its key.
    static QStringList keys();

signals:
    void buttonClicked(const QString& key);
};
