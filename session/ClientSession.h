#pragma once
// What the windows share of the running client, held by the main window and handed to every
// window it opens: the connection and the data module, the logged-in user and their rights, the
// list totals, the picker results, and the opening of another child window. Windows reach the
// main window only through this object, so they never include a header of the program's shell.

#include <QString>
#include <cassert>
#include <vector>

#include "data/ProviderSource.h"
#include "session/PickedItem.h"
#include "session/UserRights.h"
#include "widgets/ShowOrCreateForm.h"

class QWidget;

namespace velmora {

class SocketConnection;
class Tdm;

class ClientSession {
  public:
    // mainForm owns the child windows; connection is the one connection to the application
    // server. Both must outlive the session.
    ClientSession(QWidget& mainForm, SocketConnection& connection);
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // The data module is created after the main window; the program sets it before it creates
    // any window that uses it, and it must outlive them.
    void setDataModule(Tdm* module) { dm_ = module; }
    Tdm& dm() const {
        assert(dm_ && "the data module is created before any window");
        return *dm_;
    }

    SocketConnection& SocketConnection1() const { return connection_; }
    // The provider interface of the connection, as the data module's datasets reach it.
    ProviderSource providerSource() const;

    // Brings the open window of exactly class T to the front, or creates one owned by owner; a
    // new window is constructed with (owner, *this). reference must outlive the window.
    template <typename T>
    T* ShowOrCreateForm(T*& reference, QWidget* owner) {
        return velmora::ShowOrCreateForm(reference, owner, *this);
    }

    // The main window: the owner of the child windows it opens.
    QWidget* const MainForm;

    // Written by the login, stamped on every new order.
    QString CurrentUserName;
    // Written by the login, next to the name: what the windows offer this user. Every right until
    // then, and with a server that does not tell.
    UserRights CurrentUserRights;
    // Written by the sales order list query, shown by its result window.
    QString ListTotalQuantity;
    QString ListTotalMoney;
    // The code of the customer chosen last; valid after a customer picker returned mrOk, kept
    // until the next choice.
    QString PickedCustomerCode;
    // The items chosen in the last item picker confirmed with OK, in the order in which they
    // stand in the dataset; emptied each time an item picker is created.
    std::vector<PickedItem> PickedItems;

  private:
    SocketConnection& connection_;
    Tdm* dm_ = nullptr;
};

}  // namespace velmora
