#pragma once

#include "MessageBoxService.h"

#include <QPointer>
#include <QWidget>

// Real message boxes, modal to the main window while it exists. Texts are shown as plain text.
class QtMessageBoxService final : public MessageBoxService {
public:
    void setParentWindow(QWidget* window) { parent_ = window; }
    Answer show(const Request& request) override;

private:
    QPointer<QWidget> parent_;
};
