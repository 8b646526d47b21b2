#include "host/host.h"

#include <cstdio>
#include <cstdlib>

namespace host {
namespace {
Host* gHost = nullptr;
}

Host& currentHost() {
    if (!gHost) {
        std::fputs("tavrin: no host installed\n", stderr);
        std::abort();
    }
    return *gHost;
}

void installHost(Host* host) { gHost = host; }

bool hasHost() { return gHost != nullptr; }

}  // namespace host
