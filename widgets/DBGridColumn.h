#pragma once

#include <QString>

namespace velmora {

// A persistent grid column: the field it shows, its title and width in pixels (-1: the default).
struct DBGridColumn {
    QString fieldName;
    QString title;
    int width = -1;
    bool readOnly = false;
};

}  // namespace velmora
