// Attaches a FakeHost to the platform layer linked into the test itself (wtk_plugin_base), for
// tests that call library routines directly rather than through a loaded module.
#pragma once

#include "fake_host.h"

extern "C" void WertowikAttachHost(const WertowikHostServices* services);

namespace wtk::test {

class InProcessHost {
public:
    explicit InProcessHost(const FakeHost& host) { WertowikAttachHost(host.services()); }
    InProcessHost(const InProcessHost&) = delete;
    InProcessHost& operator=(const InProcessHost&) = delete;
    ~InProcessHost() { WertowikAttachHost(nullptr); }
};

}  // namespace wtk::test
