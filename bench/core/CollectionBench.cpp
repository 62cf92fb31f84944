// Keyed lookup in the collection behind every entity list and property bag: the time of one
// lookup must not grow with the number of items. Prints the ratio of a lookup among 100,000
// items to one among 1,000 (about 1 when lookups do not depend on the size).

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

/// A collection of `size` items keyed without regard to case, and keys to look up in another
/// order and letter case than they were added.
struct Fixture {
    explicit Fixture(std::int64_t size) : collection(MakeRef<CSuperCollection>()) {
        collection->SetCompareMode(qv::KeyCompare::Text);
        for (std::int64_t number = 0; number < size; ++number) {
            collection->Add(Variant(static_cast<std::int32_t>(number)), KeyOf(number));
        }
        for (std::int64_t number = 0; number < static_cast<std::int64_t>(ProbeCount); ++number) {
            probes.push_back(qv::automation::ToUpper(KeyOf(number * 104729 % size)));
        }
    }

    static constexpr std::size_t ProbeCount = 4096; // a power of two
    Ref<CSuperCollection> collection;
    std::vector<std::u16string> probes;
};

void KeyedLookup(benchmark::State& state, const Fixture& fixture) {
    std::size_t probe = 0;
    for (auto _ : state) {
        const Variant* item = fixture.collection->Find(fixture.probes[probe]);
        benchmark::DoNotOptimize(item);
        probe = (probe + 1) & (Fixture::ProbeCount - 1);
    }
}

void LateBoundItem(benchmark::State& state, const Fixture& fixture) {
    std::vector<Variant> keys(fixture.probes.begin(), fixture.probes.end());
    std::size_t probe = 0;
    for (auto _ : state) {
        Variant item = fixture.collection->Item(keys[probe]);
        benchmark::DoNotOptimize(item);
        probe = (probe + 1) & (Fixture::ProbeCount - 1);
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
    void PrintRatios() const {
        for (const char* name : {"KeyedLookup", "LateBoundItem"}) {
            const std::string small = std::string(name) + "/1000";
            const std::string large = std::string(name) + "/100000";
            if (mTimes.contains(small) && mTimes.contains(large) && mTimes.at(small) > 0) {
                std::printf("%s: lookup among 100000 items / among 1000 items = %.2f\n", name,
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
    for (const auto& [size, fixture] : {std::pair{"1000", &small}, std::pair{"100000", &large}}) {
        benchmark::RegisterBenchmark((std::string("KeyedLookup/") + size).c_str(), KeyedLookup, *fixture);
        benchmark::RegisterBenchmark((std::string("LateBoundItem/") + size).c_str(), LateBoundItem, *fixture);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
