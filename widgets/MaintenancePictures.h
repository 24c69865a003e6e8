#pragma once

#include <functional>
#include <initializer_list>
// The pictures of the maintenance windows' buttons, the invoicing window's among them, drawn in
// code.

#include <QIcon>

class QToolButton;

namespace velmora {

enum class MaintenancePicture {
    Insert,
    Edit,
    Delete,
    Cancel,
    Save,
    Refresh,
    Exit,
    Print,
    InsertLine,
    DeleteLine,
    Approve,   // 审核: a red seal with a tick
    Withdraw,  // 弃审: the seal greyed and struck through
    Password,  // 重设口令: a key
    Disable,   // 停用: a closed padlock
    Enable,    // 启用: an open padlock
    History,   // 历史: a clock
};

QIcon maintenanceIcon(MaintenancePicture picture);

// A flat button of a window's button bar: the picture beside the caption (greyed with it while
// disabled), raised only under the mouse, never taking the focus from the boxes.
QToolButton* pictureButton(QWidget* parent, const char* name, const QString& caption,
                           MaintenancePicture picture);

// One button of a window's button bar, and what a click on it does (under the error guard).
struct BarButton {
    QToolButton*& button;
    const char* name;
    const char* caption;  // UTF-8
    MaintenancePicture picture;
    std::function<void()> click;
};
// Lays the buttons out on bar in a row from the left, each at least minimumWidth wide.
void fillButtonBar(QWidget* bar, std::initializer_list<BarButton> buttons, int minimumWidth = 64);

}  // namespace velmora
