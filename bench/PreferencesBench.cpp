// What the Settings app's `set` costs in Foundation on a preferences file of many keys: the store
// reads the file, merges the value in and writes the file whole; the app then reads it back.
#include "Foundation/Foundation.hpp"
#include "Foundation/NSDictionary.hpp"
#include "Foundation/NSNumber.hpp"
#include "Foundation/NSString.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// A preferences file of `keys` entries (booleans and short texts), written once per size.
std::string preferencesFile(long keys) {
    static std::string folder = [] {
        char name[] = "/tmp/glintmere-bench-XXXXXX";
        return std::string(mkdtemp(name) != nullptr ? name : "/tmp");
    }();
    const std::string path = folder + "/keys-" + std::to_string(keys) + ".plist";
    if (access(path.c_str(), R_OK) != 0) {
        NS::AutoreleaseScope pool;
        auto values = NS::MutableDictionary::dictionary();
        for (long k = 0; k < keys; ++k) {
            char key[32];
            std::snprintf(key, sizeof key, "key%06ld", k);
            values->setObjectForKey(k % 3 == 0 ? NS::String::string(key).as<NS::Object>()
                                               : NS::Number::number(k % 2 == 0).as<NS::Object>(),
                                    NS::String::string(key));
        }
        if (!values->writeToFile(NS::String::string(path), true)) {
            std::fprintf(stderr, "preferences_bench: cannot write %s\n", path.c_str());
            std::exit(1);
        }
    }
    return path;
}

void PreferencesRead(benchmark::State& state) {
    const std::string file = preferencesFile(state.range(0));
    for (auto _ : state) {
        NS::AutoreleaseScope pool;
        auto read = NS::Dictionary::dictionaryWithContentsOfFile(NS::String::string(file));
        if (read->count() != static_cast<unsigned long>(state.range(0))) {
            state.SkipWithError("the file read back short");
            break;
        }
        benchmark::DoNotOptimize(read.get());
    }
}

// The store, then the read that shows the stored value: what one `set` asks of Foundation.
void PreferencesSet(benchmark::State& state) {
    const std::string file = preferencesFile(state.range(0));
    bool on = false;
    for (auto _ : state) {
        NS::AutoreleaseScope pool;
        auto path = NS::String::string(file);
        auto stored = NS::MutableDictionary::dictionaryWithContentsOfFile(path);
        stored->setObjectForKey(NS::Number::number(on = !on), NS::String::string("isEnabled"));
        stored->writeToFile(path, true);
        auto shown =
            NS::Dictionary::dictionaryWithContentsOfFile(path)->objectForKey(NS::String::string("isEnabled"));
        if (!NS::cast<NS::Number>(shown) || NS::cast<NS::Number>(shown)->boolValue() != on) {
            state.SkipWithError("the stored value did not read back");
            break;
        }
        benchmark::DoNotOptimize(shown.get());
    }
}

BENCHMARK(PreferencesRead)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(PreferencesSet)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
