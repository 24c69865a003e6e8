#pragma once

class QApplication;

namespace velmora {

// Prepares the application object before any window exists: the style, the typeface mapping,
// the default font ("宋体", 12 pixels) and Qt's own Simplified Chinese texts, so that the
// standard buttons read 确定, 取消, 是 and 否. Returns false when the translations could not be
// loaded (the program still runs, with English standard buttons).
bool setupApplication(QApplication& app);

}  // namespace velmora
