#pragma once
// One process-wide slot per platform service. The executables install the
// real Linux implementations at start; unit tests install fakes. The code
// above the platform layer only ever asks for the interface.

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

namespace vexl::platform {

template <class Interface>
struct ServiceSlot {
    static inline Interface* current = nullptr;
};

// The installed implementation. A missing one is a wiring error of the
// executable or the test, never a runtime condition, so it aborts loudly.
template <class Interface>
Interface& service()
{
    Interface* impl = ServiceSlot<Interface>::current;
    if (impl == nullptr) {
        std::fprintf(stderr, "vexlade: platform service %s is not installed\n",
                     typeid(Interface).name());
        std::abort();
    }
    return *impl;
}

template <class Interface>
bool service_installed()
{
    return ServiceSlot<Interface>::current != nullptr;
}

// Installs an implementation for the lifetime of this object and puts the
// previous one back afterwards, so tests can nest fakes safely.
template <class Interface>
class ScopedService {
public:
    explicit ScopedService(Interface& impl) : previous_(ServiceSlot<Interface>::current)
    {
        ServiceSlot<Interface>::current = &impl;
    }
    ~ScopedService() { ServiceSlot<Interface>::current = previous_; }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;

private:
    Interface* previous_;
};

}  // namespace vexl::platform
