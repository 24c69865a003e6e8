#pragma once

#include <functional>
#include <memory>

#include "transport/IProviderServer.h"

namespace velmora {

// Hands a dataset the provider interface of its remote server for one call. The connection's
// source opens the connection when it is closed; a source may throw or return null.
using ProviderSource = std::function<std::shared_ptr<IProviderServer>()>;

}  // namespace velmora
