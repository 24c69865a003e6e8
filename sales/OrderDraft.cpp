#include "sales/OrderDraft.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace velmora {

namespace {

constexpr const char* kKind = "velmora-order-draft";
constexpr int kVersion = 1;
// A draft is a few lines typed by hand; anything far larger is not one.
constexpr qint64 kMaxDraftBytes = 4 * 1024 * 1024;

QJsonObject lineObject(const OrderDraftLine& l) {
    return {{"chid", l.chid},         {"chname", l.chname}, {"ggxh", l.ggxh},  {"jldw", l.jldw},
            {"quantity", l.quantity}, {"price", l.price},   {"money", l.money}};
}

OrderDraftLine lineOf(const QJsonObject& o) {
    return {o.value("chid").toString(), o.value("chname").toString(),   o.value("ggxh").toString(),
            o.value("jldw").toString(), o.value("quantity").toString(), o.value("price").toString(),
            o.value("money").toString()};
}

}  // namespace

QByteArray OrderDraft::toJson() const {
    QJsonArray lineArray;
    for (const OrderDraftLine& l : lines) lineArray.append(lineObject(l));
    QJsonObject o{{"kind", kKind},
                  {"version", kVersion},
                  {"changedOrder", changedOrder},
                  {"number", number},
                  {"date", date},
                  {"customer", customer},
                  {"customerName", customerName},
                  {"salesman", salesman},
                  {"salesmanName", salesmanName},
                  {"lines", lineArray}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<OrderDraft> OrderDraft::fromJson(const QByteArray& json) {
    QJsonParseError error{};
    QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    QJsonObject o = doc.object();
    if (o.value("kind").toString() != QLatin1String(kKind) || o.value("version").toInt() != kVersion)
        return std::nullopt;
    OrderDraft d;
    d.changedOrder = o.value("changedOrder").toBool();
    d.number = o.value("number").toString();
    d.date = o.value("date").toString();
    d.customer = o.value("customer").toString();
    d.customerName = o.value("customerName").toString();
    d.salesman = o.value("salesman").toString();
    d.salesmanName = o.value("salesmanName").toString();
    for (const QJsonValue& v : o.value("lines").toArray())
        if (v.isObject()) d.lines.push_back(lineOf(v.toObject()));
    return d;
}

QString orderDraftPath(const QString& server, const QString& user) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    // Percent-encoded: a user name or address never makes a path of its own ("..", "/").
    QString name = QString::fromLatin1(QUrl::toPercentEncoding(server + QLatin1Char('@') + user, "@:"));
    return folder + QStringLiteral("/drafts/") + name + QStringLiteral(".json");
}

bool saveOrderDraft(const QString& path, const OrderDraft& draft, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("cannot create its folder"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    // Only this user reads what this user typed.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(draft.toJson());
    if (!file.commit()) return fail(file.errorString());
    return true;
}

std::optional<OrderDraft> loadOrderDraft(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxDraftBytes) return std::nullopt;
    return OrderDraft::fromJson(file.read(kMaxDraftBytes));
}

void removeOrderDraft(const QString& path) {
    QFile::remove(path);
}

}  // namespace velmora
