#pragma once

#include "Clipboard.h"

// A clipboard of one plain text that counts how often it was cleared and set.
class FakeClipboard final : public Clipboard {
public:
    void clear() override
    {
        contents.clear();
        ++clears;
    }
    void setText(const QString& text) override
    {
        contents = text;
        ++sets;
    }
    QString text() const override { return contents; }

    QString contents;
    int clears = 0;
    int sets = 0;
};
