#include "app/ServerTrust.h"

#include <QDir>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>

#include "transport/SocketConnection.h"
#include "widgets/MessageService.h"

namespace velmora {

namespace {

const QString kByCa = QStringLiteral("ca");
const QString kKnownServers = QStringLiteral("known_servers/");

// The verifier's refusals, which openTrusted turns into a question or a warning once the
// connection attempt is over: no box waits on a half-open connection.
struct UnknownCertificate : SocketConnectionError {
    explicit UnknownCertificate(ServerCertificate c)
        : SocketConnectionError("the server's certificate is not known yet"), certificate(std::move(c)) {}
    ServerCertificate certificate;
};

struct ChangedCertificate : SocketConnectionError {
    explicit ChangedCertificate(ServerCertificate c)
        : SocketConnectionError("the server's certificate has changed"), certificate(std::move(c)) {}
    ServerCertificate certificate;
};

QString fingerprintOf(const ServerCertificate& certificate) {
    return QString::fromStdString(certificate.fingerprint);
}

bool askToTrust(const QString& server, const ServerCertificate& certificate) {
    MessageRequest question;
    question.text = QStringLiteral("首次连接到服务器 %1，证书指纹 %2，是否信任？")
                        .arg(server, fingerprintOf(certificate));
    question.caption = QStringLiteral("安全提示");
    question.icon = MessageIcon::Question;
    question.buttons = MessageButtons::YesNo;
    question.details = QStringLiteral(
        "请向系统管理员核对这个指纹（在服务器上运行 velmora-server cert show 即可看到）。"
        "指纹一致才选择“是”，以后连接这台服务器时不再询问，除非它的证书改变；"
        "选择“否”则不连接。");
    return MessageService::show(question) == MessageButton::Yes;
}

void warn(const QString& text, const QString& details) {
    MessageRequest warning;
    warning.text = text + QStringLiteral("\n有人可能正在冒充这台服务器，以窃取口令和数据。");
    warning.caption = QStringLiteral("安全警告");
    warning.icon = MessageIcon::Error;
    warning.buttons = MessageButtons::Ok;
    warning.details = details;
    MessageService::show(warning);
}

void warnChanged(const QString& server, const QString& remembered, const ServerCertificate& certificate) {
    const QString before = remembered == kByCa ? QStringLiteral("由受信任的证书机构签发") : remembered;
    warn(QStringLiteral("警告：服务器 %1 的证书已改变，连接已取消！").arg(server),
         QStringLiteral("以前的指纹：%1\n现在的指纹：%2\n\n"
                        "如果系统管理员确实更换了服务器的证书：请在服务器上运行 velmora-server cert show，"
                        "核对新的指纹与上面“现在的指纹”一致，然后在本机运行 velmora --forget-server %3，"
                        "再重新连接。否则请不要连接，并告知系统管理员。")
             .arg(before, fingerprintOf(certificate), server));
}

void warnDowngrade(const QString& server) {
    warn(QStringLiteral("警告：服务器 %1 以前使用加密连接，现在却不提供加密，连接已取消！").arg(server),
         QStringLiteral("如果系统管理员确实关闭了服务器的加密（velmora-server 的 tls 设置），请在本机运行 "
                        "velmora --forget-server %1，再重新连接，此后与它的连接不加密。"
                        "否则请不要连接，并告知系统管理员。")
             .arg(server));
}

}  // namespace

ServerTrust::ServerTrust(QString settingsFile)
    : file_(settingsFile.isEmpty() ? defaultSettingsFile() : std::move(settingsFile)) {}

QString ServerTrust::defaultSettingsFile() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("velmora/velmora.ini"));
}

TlsClientSettings ServerTrust::tlsSettings() const {
    QSettings settings(file_, QSettings::IniFormat);
    TlsClientSettings result;
    result.caFile = settings.value(QStringLiteral("tls/ca_file")).toString().toStdString();
    result.minVersion = settings.value(QStringLiteral("tls/min_version")).toString() == QLatin1String("1.2")
                            ? TlsVersion::V1_2
                            : TlsVersion::V1_3;
    return result;
}

QString ServerTrust::serverKey(const std::string& host, uint16_t port) {
    return QString::fromStdString(host).toLower() + QLatin1Char(':') + QString::number(port);
}

QString ServerTrust::remembered(const QString& server) const {
    return QSettings(file_, QSettings::IniFormat).value(kKnownServers + server).toString();
}

void ServerTrust::remember(const QString& server, const QString& fingerprintOrCa) {
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(kKnownServers + server, fingerprintOrCa);
}

bool ServerTrust::forget(const QString& server) {
    QSettings settings(file_, QSettings::IniFormat);
    if (!settings.contains(kKnownServers + server)) return false;
    settings.remove(kKnownServers + server);
    return true;
}

ServerTrust::Verdict ServerTrust::judge(const ServerCertificate& certificate) const {
    if (certificate.trustedByCa) return Verdict::Trusted;
    const QString known = remembered(serverKey(certificate.host, certificate.port));
    if (known.isEmpty()) return Verdict::New;
    return known == fingerprintOf(certificate) ? Verdict::Trusted : Verdict::Changed;
}

bool openTrusted(SocketConnection& connection, ServerTrust& trust) {
    const std::string& host = connection.address().empty() ? connection.host() : connection.address();
    const QString server = ServerTrust::serverKey(host, connection.port());
    const bool seenEncrypted = !trust.remembered(server).isEmpty();
    connection.setEncryption(seenEncrypted ? SocketConnection::Encryption::Required
                                           : SocketConnection::Encryption::Preferred);
    connection.setTlsSettings(trust.tlsSettings());
    connection.setCertificateVerifier([&trust](const ServerCertificate& certificate) {
        switch (trust.judge(certificate)) {
            case ServerTrust::Verdict::Trusted:
                return true;
            case ServerTrust::Verdict::New:
                throw UnknownCertificate(certificate);
            case ServerTrust::Verdict::Changed:
                break;
        }
        throw ChangedCertificate(certificate);
    });
    // A second open follows an accepted certificate; should the server show yet another one
    // then, that is a changed certificate.
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            connection.open();
        } catch (const UnknownCertificate& e) {
            if (!askToTrust(server, e.certificate)) return false;
            trust.remember(server, fingerprintOf(e.certificate));
            continue;
        } catch (const ChangedCertificate& e) {
            warnChanged(server, trust.remembered(server), e.certificate);
            return false;
        } catch (const TlsNotOffered&) {
            if (!seenEncrypted) throw;
            warnDowngrade(server);
            return false;
        }
        // Only a CA's word lets an unremembered server in: remember that it was encrypted.
        if (connection.encrypted() && trust.remembered(server).isEmpty()) trust.remember(server, kByCa);
        return true;
    }
    return false;
}

void showEncryptionMark(QLabel* label, const SocketConnection& connection) {
    const bool encrypted = connection.encrypted();
    label->setText(encrypted ? QStringLiteral("已加密") : QStringLiteral("未加密"));
    label->setToolTip(encrypted ? QStringLiteral("与服务器的连接已加密，证书指纹 %1")
                                      .arg(QString::fromStdString(connection.serverFingerprint()))
                                : QStringLiteral("与服务器的连接未加密：口令和数据以明文在网络上传输"));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, encrypted ? QColor(0, 128, 0) : QColor(Qt::red));
    label->setPalette(palette);
    label->adjustSize();
    label->show();
}

}  // namespace velmora
