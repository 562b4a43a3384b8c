#include "dyld/Bindings.hpp"

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace dyld {

void* standInExport(const char* library, std::string_view symbol) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_GLOBAL);
    const std::string name(symbol.substr(1));
    // A program that refers to a framework's variable itself holds the copy that every library uses
    // (a copy relocation), and the framework's own stays as it was linked: the process's first
    // definition is the live one.
    void* found = handle == nullptr ? nullptr : dlsym(RTLD_DEFAULT, name.c_str());
    if (found == nullptr && handle != nullptr) {
        found = dlsym(handle, name.c_str());
    }
    if (found == nullptr) {
        guestFault(std::string(symbol) + " is not exported by " + library + " in this device");
    }
    return found;
}

std::optional<std::uint64_t> bindingFor(std::string_view symbol) {
    static const auto* const table = [] {
        auto* all = new std::map<std::string_view, const Binding*>();
        for (auto library :
             {libSystem::files(), libSystem::processes(), libSystem::formattedOutput(), libSystem::cLibrary(),
              libSystem::threads(), libSystem::dispatch(), libSystem::blockRuntime(),
              libSystem::codeSupport(), objcBindings(), cxxBindings(), coreFoundationBindings(),
              substrateBindings(), uiKitBindings(), socialBindings(), mobileGestaltBindings()}) {
            for (const Binding& binding : library) {
                all->emplace(binding.symbol, &binding);
            }
        }
        return all;
    }();
    auto it = table->find(symbol);
    if (it == table->end()) {
        return std::nullopt;
    }
    return it->second->address(symbol);
}

} // namespace dyld
