#pragma once
// The whole client of a window benchmark, in this process on the offscreen platform: every window
// made as the program makes them, logged in as the administrator to the server on port, message
// boxes written to stderr and answered OK.

#include <QString>
#include <cstdint>
#include <cstdio>

#include "app/ProgramEntry.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "tests/support/TestLogin.h"
#include "widgets/MessageService.h"

namespace velmora::bench {

inline void startLoggedInClient(ProgramEntry& entry, uint16_t port) {
    MessageService::setHandler([](const MessageRequest& box) {
        std::fprintf(stderr, "message: %s\n", box.text.toUtf8().constData());
        return MessageButton::Ok;
    });
    entry.createAll();
    delete Frmlogin;  // the bench logs in itself
    Frmlogin = nullptr;
    MainForm->SocketConnection1.setAddress("127.0.0.1");
    MainForm->SocketConnection1.setPort(port);
    test::loginAs(MainForm->SocketConnection1);
    MainForm->Session.CurrentUserName = QStringLiteral("管理员");
}

}  // namespace velmora::bench
