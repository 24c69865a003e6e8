#pragma once
// The small pictures of this layer's own controls, drawn in code: button glyphs, the
// record navigator's arrows, the grid's row indicator and the tree's folders.

#include <QIcon>
#include <QPixmap>

namespace velmora {

enum class IndicatorKind { Current, Edit, Insert };
enum class NavigatorGlyph { First, Prior, Next, Last };

QPixmap checkGlyph();  // a green tick: OK
QPixmap crossGlyph();  // a red cross: Cancel
QPixmap indicatorGlyph(IndicatorKind kind);
QPixmap navigatorGlyph(NavigatorGlyph glyph);
QPixmap closedFolderGlyph();
QPixmap openFolderGlyph();
// The tree's node picture: the closed folder, and the open one while the node is selected.
QIcon folderIcon();

}  // namespace velmora
