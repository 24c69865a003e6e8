#pragma once

#include <memory>

#include "transport/Dispatch.h"
#include "transport/IProviderServer.h"

namespace velmora {

// The serving side of the provider interface: answers the member numbers 20000000-20000006 by
// calling provider, unpacking arguments from the dispatch order and writing back the
// by-reference ones. Subclasses add members of their own (GetSysTime and the like).
class ProviderDispatch : public DispatchObject {
  public:
    explicit ProviderDispatch(IProviderServer& provider);

  protected:
    using DispatchObject::addMember;

  private:
    IProviderServer& provider_;
};

}  // namespace velmora
