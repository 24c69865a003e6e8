#pragma once
// Category codes and the tree node texts made of them: "01" for a top-level category, "01-001"
// for a sub-category under it; a node reads "(code) name".

#include <QString>

namespace velmora {

enum class CategoryLevel { None, Top, Sub };

// The level a stored code stands for: by its length once spaces are trimmed, 2 or 6.
CategoryLevel categoryLevel(const QString& code);

// "(" + code + ") " + name, the code and the name as stored.
QString categoryNodeText(const QString& code, const QString& name);

// The code of a node read by position: characters 2-3 of a top-level node's text, 2-7 of a
// sub-category node's text.
QString codeByPosition(const QString& nodeText, CategoryLevel level);

// The code of a node read as the text between its leading "(" and the first ")".
QString codeBetweenParentheses(const QString& nodeText);

}  // namespace velmora
