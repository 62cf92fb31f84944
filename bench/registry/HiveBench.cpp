// Loading a settings hive must take time in proportion to its text. Each shape is read at a
// small and a large size in the same run, and the ratio of the time per byte of the large to
// the small one is printed at the end. Linear loading gives 1 to 3 (a large index no longer fits
// the processor's caches); a lookup that walks a list of the names gives about 100.
//
// Shapes: many values in one key, many sibling keys under one key, and keys nested as deep as
// a hive may hold them (where each section line names the whole path, so the text itself grows
// with the square of the depth).

#include "platform/registry/HiveFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using qv::registry::ParseHive;

std::string ValuesInOneKey(std::size_t count) {
    std::string text = "[Software\\Quorvane\\Many]\n";
    for (std::size_t number = 0; number < count; ++number) {
        text += "\"Value" + std::to_string(number * 7919 % 1000003) + "\"=4:" + std::to_string(number) + "\n";
    }
    return text;
}

std::string SiblingKeys(std::size_t count) {
    std::string text;
    for (std::size_t number = 0; number < count; ++number) {
        text += "[Software\\Key" + std::to_string(number * 7919 % 1000003) + "]\n@=4:1\n";
    }
    return text;
}

// Every key of a chain `depth` deep, each with its own section, as a saved hive writes them.
std::string NestedKeys(std::size_t depth) {
    std::string text;
    std::string path;
    for (std::size_t level = 0; level < depth; ++level) {
        path += level == 0 ? "Level" : "\\Level";
        text += "[" + path + "]\n\"Depth\"=4:" + std::to_string(level) + "\n";
    }
    return text;
}

void Parse(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        auto root = ParseHive(text, u"bench.reg");
        benchmark::DoNotOptimize(root);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["bytes"] = static_cast<double>(text.size());
}

/// Collects the time per byte of each run, to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto bytes = run.counters.find("bytes");
            if (bytes != run.counters.end() && bytes->second.value > 0) {
                mTimePerByte[run.benchmark_name()] = run.GetAdjustedCPUTime() / bytes->second.value;
            }
        }
    }
    void PrintRatio(const std::string& small, const std::string& large) const {
        if (mTimePerByte.contains(small) && mTimePerByte.contains(large) && mTimePerByte.at(small) > 0) {
            std::printf("%-28s time per byte / %-28s = %.2f\n", large.c_str(), small.c_str(),
                        mTimePerByte.at(large) / mTimePerByte.at(small));
        }
    }

private:
    std::map<std::string, double> mTimePerByte;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    struct Shape {
        const char* name;
        std::string (*make)(std::size_t);
        std::size_t small;
        std::size_t large;
    };
    const Shape shapes[] = {
        {"ValuesInOneKey", ValuesInOneKey, 1000, 100000},
        {"SiblingKeys", SiblingKeys, 1000, 100000},
        {"NestedKeys", NestedKeys, 32, qv::registry::MaxKeyDepth},
    };
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const Shape& shape : shapes) {
        std::string names[2];
        int which = 0;
        for (std::size_t size : {shape.small, shape.large}) {
            names[which] = std::string(shape.name) + "/" + std::to_string(size);
            benchmark::RegisterBenchmark(names[which].c_str(), Parse, shape.make(size));
            ++which;
        }
        pairs.emplace_back(names[0], names[1]);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& [small, large] : pairs) {
        reporter.PrintRatio(small, large);
    }
    benchmark::Shutdown();
    return 0;
}
