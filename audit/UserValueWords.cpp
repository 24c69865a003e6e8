#include "audit/UserValueWords.h"

#include "session/UserRights.h"
#include "widgets/Text.h"

namespace velmora {

ValueNamer userValueWords() {
    return [](std::string_view table, std::string_view field, const std::string& text) -> std::string {
        if (table != "user1") return text;
        if (field == "role") return toStdString(UserRights::roleCaption(toQString(text)));
        if (field == "rights") {
            // Rights not given one by one follow the role's preset.
            if (text == "preset") return "按角色预设";
            const QString captions = UserRights::fromServer(QString(), toQString(text)).captions();
            return captions.isEmpty() ? text : toStdString(captions);
        }
        return text;
    };
}

}  // namespace velmora
