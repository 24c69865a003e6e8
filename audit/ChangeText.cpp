#include "audit/ChangeText.h"

#include <nlohmann/json.hpp>

#include "audit/AuditWords.h"

namespace velmora {

namespace {

// Stored order matters: a record's fields read as its window lists them.
using Json = nlohmann::ordered_json;

constexpr const char* kEmpty = "空";
constexpr const char* kArrow = " → ";

std::string numberText(const Json& value) {
    if (!value.is_number_float()) return value.dump();
    // Whole numbers without the ".0" the server writes for a double: 数量 5, not 5.0.
    std::string text = value.dump();
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
    return text;
}

std::string valueText(std::string_view table, std::string_view field, const Json& value,
                      const ValueNamer& namer) {
    if (value.is_null()) return kEmpty;
    if (field == "ischeck" && value.is_number()) return value.get<double>() != 0 ? "是" : "否";
    if (value.is_boolean()) return value.get<bool>() ? "是" : "否";
    if (value.is_number()) return numberText(value);
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        if (text.empty()) return kEmpty;
        return namer ? namer(table, field, text) : text;
    }
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The object stored, or a discarded value when changes is no JSON object.
Json parsedObject(std::string_view changes) {
    Json parsed = Json::parse(changes.begin(), changes.end(), nullptr, false);
    return parsed.is_object() ? parsed : Json(Json::value_t::discarded);
}

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace

std::vector<std::string> changeLines(std::string_view table, std::string_view changes,
                                     const ValueNamer& namer) {
    if (blank(changes)) return {};
    const Json object = parsedObject(changes);
    if (object.is_discarded()) return {std::string(changes)};
    std::vector<std::string> lines;
    for (const auto& [field, value] : object.items()) {
        std::string line = fieldCaption(table, field) + "：";
        if (value.is_array() && value.size() == 2)
            line +=
                valueText(table, field, value[0], namer) + kArrow + valueText(table, field, value[1], namer);
        else
            line += valueText(table, field, value, namer);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string lineItem(std::string_view changes) {
    const Json object = parsedObject(changes);
    if (object.is_discarded()) return {};
    for (const char* field : {"chname", "chid"}) {
        auto it = object.find(field);
        if (it != object.end() && it->is_string() && !it->get_ref<const std::string&>().empty())
            return it->get<std::string>();
    }
    return {};
}

}  // namespace velmora
