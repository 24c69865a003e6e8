#pragma once
// What a box says of a failure: a sentence in Chinese first, and, when the failure carries a
// lower layer's own text (a socket's, a database's, the dataset engine's, mostly English), that
// text below it as the technical detail.

#include <QString>
#include <exception>

namespace velmora {

struct FailureText {
    QString sentence;
    QString details;              // empty when the sentence is the failure's own text
    bool connectionLost = false;  // the connection to the server failed under the call
};

FailureText describeFailure(const std::exception& failure);

// The part of a server's refusal meant for the user: its texts say it in Chinese first, with an
// English gloss in parentheses after it, which is left out.
QString refusalText(const std::exception& refusal);

// True when text opens with a Chinese character: a text of the program's own (or the server's,
// which opens its refusals with one) that needs no sentence before it.
bool opensInChinese(const QString& text);

}  // namespace velmora
