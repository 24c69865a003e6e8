#pragma once
// The provider object the wire fuzz target serves: it decodes what it is sent as the server
// does and answers with packets of its own, so that every member's path runs.

#include "transport/ClassRegistry.h"

namespace velmora::fuzz {

constexpr const char* kFuzzClassId = "{276F7104-2B30-4414-AD12-DE1160EAA8D1}";
constexpr const char* kFuzzProgId = "brandolex.test";

ClassRegistry providerClasses();

}  // namespace velmora::fuzz
