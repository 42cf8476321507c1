#include "RecordLayout.h"

int RecordLayout::liveOffset() const
{
    for (const FieldSpec& field : fields) {
        if (field.kind == FieldKind::Live)
            return field.offset;
    }
    return -1;
}
