#pragma once

#include <QProxyStyle>

namespace velmora {

// The look of every window: Qt's Fusion style with the few habits of the desktop the windows
// were laid out for (a password box shows each character as "*").
class VelmoraStyle : public QProxyStyle {
  public:
    VelmoraStyle();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

}  // namespace velmora
