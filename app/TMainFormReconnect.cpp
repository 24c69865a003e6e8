// A lost connection: the main window connects again to the same server and resumes the login
// with the token the server gave, so that the open windows go on with what they hold.
#include <QStatusBar>

#include "app/LoginValues.h"
#include "app/TMainForm.h"
#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "transport/DispatchAppServer.h"
#include "widgets/ApplicationQuit.h"

namespace velmora {

namespace {

void closeQuietly(SocketConnection& c) {
    try {
        c.close();
    } catch (...) {
        // what is left of a dead connection needs no orderly end
    }
}

}  // namespace

void TMainForm::PrepareReconnect() {
    // A connection opened behind the program's back would not be logged in.
    SocketConnection1.setReopenOnDemand(false);
    loginFingerprint_ = SocketConnection1.serverFingerprint();
    try {
        resumeToken_ = SocketConnection1.getServer()->GetResumeToken();
    } catch (const std::exception&) {
        resumeToken_.clear();  // a server that offers no resume: a lost connection means a new login
    }
    ConnectionLoss::setReconnect([this] { return Reconnect(); });
    setUnsavedWorkCheck([this] { return AskAboutUnsavedWork() != UnsavedWork::KeepWorking; });
}

QString TMainForm::serverAddressText() const {
    const SocketConnection& c = SocketConnection1;
    const std::string& where = c.address().empty() ? c.host() : c.address();
    return QString::fromStdString(where) + QLatin1Char(':') + QString::number(c.port());
}

ReconnectResult TMainForm::Reconnect() {
    const QString where = serverAddressText();
    try {
        closeQuietly(SocketConnection1);
        if (!openTrusted(SocketConnection1, Trust)) {
            closeQuietly(SocketConnection1);
            return {false, QStringLiteral("未连接服务器 %1：它的证书未获信任。").arg(where), QString()};
        }
    } catch (const std::exception& e) {
        closeQuietly(SocketConnection1);
        return {false, QStringLiteral("无法连接服务器 %1。").arg(where), QString::fromUtf8(e.what())};
    }
    showEncryptionMark(EncryptionLabel, SocketConnection1);
    if (SocketConnection1.serverFingerprint() != loginFingerprint_) {
        // Another certificate than at the login (a CA may vouch for both): the token stays here.
        closeQuietly(SocketConnection1);
        return {false,
                QStringLiteral("服务器 %1 的证书与登录时不同，不能恢复登录，请退出后重新登录。").arg(where),
                QString()};
    }
    if (resumeToken_.empty()) {
        closeQuietly(SocketConnection1);
        return {false, QStringLiteral("服务器 %1 不支持恢复登录，请退出后重新登录。").arg(where), QString()};
    }
    try {
        resumeToken_ = SocketConnection1.getServer()->ResumeSession(LoginUserName, resumeToken_);
    } catch (const std::exception& e) {
        // Not logged in, the connection is of no use: the next action reports the loss again.
        closeQuietly(SocketConnection1);
        return {false, QStringLiteral("无法以用户 %1 恢复登录。").arg(Session.CurrentUserName),
                QString::fromUtf8(e.what())};
    }
    try {
        for (ClientDataSet* ds : dm->dataSets()) ds->Reattach();
    } catch (const std::exception& e) {
        return {false, QStringLiteral("已重新连接服务器 %1，但未能重新打开数据。").arg(where),
                QString::fromUtf8(e.what())};
    }
    statusBar()->showMessage(QStringLiteral("已重新连接服务器 %1").arg(where), 5000);
    return {true, QString(), QString()};
}

}  // namespace velmora
