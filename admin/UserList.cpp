#include "admin/UserList.h"

#include <QStringList>

namespace velmora {

std::vector<UserEntry> parseUserList(const QString& text) {
    std::vector<UserEntry> users;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.size() != 4 || parts[0].isEmpty()) continue;
        users.push_back(
            {parts[0], UserRights::fromServer(parts[1], parts[2]), parts[3] == QLatin1String("1")});
    }
    return users;
}

}  // namespace velmora
