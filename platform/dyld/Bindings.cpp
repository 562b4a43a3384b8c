#include "dyld/Bindings.hpp"

#include <map>
#include <mutex>

namespace dyld {

std::optional<std::uint64_t> bindingFor(std::string_view symbol) {
    static const auto* const table = [] {
        auto* all = new std::map<std::string_view, const Binding*>();
        for (auto library :
             {libSystem::files(), libSystem::processes(), libSystem::formattedOutput(), libSystem::cLibrary(),
              libSystem::threads(), libSystem::dispatch(), libSystem::blockRuntime(),
              libSystem::codeSupport(), objcBindings(), cxxBindings(), coreFoundationBindings(),
              substrateBindings(), frameworkBindings()}) {
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
