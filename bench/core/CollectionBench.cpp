// Keyed lookup in the collection behind every entity list and property bag: the time of one
// lookup must not grow with the number of items. Prints the ratio of a lookup among 100,000
// items to one among 1,000; about 1 means the cost does not depend on the size.
//
// Two access patterns: "hot" looks up the same 256 keys over and over (what a generation run
// does with the fields of a table), "spread" 4,096 keys spread over the whole collection, where
// the larger collection no longer fits the processor's caches and memory latency shows.

#include "core/CSuperCollection.h"

#include "platform/automation/Text.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using qv::CSuperCollection;
using qv::automation::MakeRef;
using qv::automation::Ref;
using qv::automation::Variant;

std::u16string KeyOf(std::int64_t number) {
    return u"Field_" + qv::automation::FromUtf8(std::to_string(number * 7919 % 1000003));
}

/// A collection of `size` items keyed without regard to case.
struct Fixture {
    explicit Fixture(std::int64_t size) : collection(MakeRef<CSuperCollection>()), size(size) {
        collection->SetCompareMode(qv::KeyCompare::Text);
        for (std::int64_t number = 0; number < size; ++number) {
            collection->Add(Variant(static_cast<std::int32_t>(number)), KeyOf(number));
        }
    }

    /// `count` keys of items spread over the collection, in another letter case than added.
    std::vector<std::u16string> Probes(std::int64_t count) const {
        std::vector<std::u16string> probes;
        for (std::int64_t number = 0; number < count; ++number) {
            probes.push_back(qv::automation::ToUpper(KeyOf(number * 104729 % size)));
        }
        return probes;
    }

    Ref<CSuperCollection> collection;
    std::int64_t size;
};

void KeyedLookup(benchmark::State& state, const Fixture& fixture, std::int64_t probeCount) {
    const std::vector<std::u16string> probes = fixture.Probes(probeCount);
    std::size_t probe = 0;
    for (auto _ : state) {
        const Variant* item = fixture.collection->Find(probes[probe]);
        benchmark::DoNotOptimize(item);
        if (++probe == probes.size()) {
            probe = 0;
        }
    }
}

void LateBoundItem(benchmark::State& state, const Fixture& fixture, std::int64_t probeCount) {
    const std::vector<std::u16string> texts = fixture.Probes(probeCount);
    const std::vector<Variant> probes(texts.begin(), texts.end());
    std::size_t probe = 0;
    for (auto _ : state) {
        Variant item = fixture.collection->Item(probes[probe]);
        benchmark::DoNotOptimize(item);
        if (++probe == probes.size()) {
            probe = 0;
        }
    }
}

/// Collects the time per lookup of each run, to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            mTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }
    void PrintRatios(const std::vector<std::string>& names) const {
        for (const std::string& name : names) {
            const std::string small = name + "/1000";
            const std::string large = name + "/100000";
            if (mTimes.contains(small) && mTimes.contains(large) && mTimes.at(small) > 0) {
                std::printf("%-22s lookup among 100000 items / among 1000 items = %.2f\n", name.c_str(),
                            mTimes.at(large) / mTimes.at(small));
            }
        }
    }

private:
    std::map<std::string, double> mTimes;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const Fixture small(1000);
    const Fixture large(100000);
    struct Pattern {
        const char* name;
        std::int64_t probes;
    };
    const Pattern patterns[] = {{"hot", 256}, {"spread", 4096}};
    std::vector<std::string> names;
    for (const Pattern& pattern : patterns) {
        for (const char* kind : {"KeyedLookup", "LateBoundItem"}) {
            const std::string name = std::string(kind) + "/" + pattern.name;
            names.push_back(name);
            for (const Fixture* fixture : {&small, &large}) {
                const std::string fullName = name + "/" + std::to_string(fixture->size);
                if (kind == std::string("KeyedLookup")) {
                    benchmark::RegisterBenchmark(fullName.c_str(), KeyedLookup, *fixture, pattern.probes);
                } else {
                    benchmark::RegisterBenchmark(fullName.c_str(), LateBoundItem, *fixture, pattern.probes);
                }
            }
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(names);
    benchmark::Shutdown();
    return 0;
}
