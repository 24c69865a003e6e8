#pragma once
// Every picture of the application shell, drawn in code: the eighteen 16 x 16 images of the
// main window's image list, the program's icon, the navigation panel's picture strip and icons,
// the login's row icons and the splash picture.

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace velmora {

// The images of ImageList1, by index: 0 cut, 1 copy, 2 paste, 3 delete, 4 find, 5 exit, 6 new,
// 7 open, 8 save, 9 save as, 10 card index, 11 print preview, 12 undo, 13 key, 14 printer,
// 15 tile horizontally, 16 tile vertically, 17 cascade.
std::vector<QIcon> mainImageList();
constexpr int kMainImageCount = 18;

// The program's icon at the sizes a desktop asks for: the window icon, and the files of the
// client package's desktop entry.
QIcon programIcon();
QPixmap programIconPixmap(int size);
constexpr int kProgramIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The vertical strip along the navigation panel's left edge.
QPixmap navigationStrip(int width, int height);

// The 32 x 32 icons of the eight navigation entries, top to bottom: password, items, customers,
// salesmen, invoicing, order list, customer summary, sales analysis.
enum class NavigationPicture { Password, Items, Customers, Salesmen, Invoice, OrderList, Summary, Analysis };
QPixmap navigationIcon(NavigationPicture which);

// The icons in front of the login's three input rows.
enum class LoginPicture { Server, User, Password };
QPixmap loginIcon(LoginPicture which);

// The splash window's picture, 425 x 279.
QPixmap splashPicture();

}  // namespace velmora
