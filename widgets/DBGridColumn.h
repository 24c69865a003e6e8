#pragma once

#include <QString>

namespace velmora {

// A persistent grid column: the field it shows, its title and width in pixels (-1: the default).
// An amount column shows its numbers with two decimals at least, right-aligned.
struct DBGridColumn {
    QString fieldName;
    QString title;
    int width = -1;
    bool readOnly = false;
    bool amount = false;
};

}  // namespace velmora
