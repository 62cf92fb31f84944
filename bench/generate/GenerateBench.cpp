// A whole generation run of the bundled template package over generated SQLite databases of N
// and 2N tables of 6 columns (or fewer: the first C of them), in one process as `quorvane
// generate` makes it (the project loaded
// from its database, every table generated into an empty site). Prints the time per page, the
// ratio of the 2N run to the N run (the goal is at most 2.2: generation must grow linearly with
// the schema), and the share of the run's CPU time spent in the script engine, measured by a
// profiling timer that samples the stack: "inclusive" counts samples with any engine frame,
// "own" those whose innermost library frame is the engine's.
//
//   generate_bench [tables] [repetitions] [columns]   (default 1000 tables, 1 repetition, 6 columns)
//
// With few columns a table's pages are small, and what a run does once for every table (the
// templates walk the whole table list by number) weighs the more: a cost that grows with the
// square of the tables shows there first.
//
// Each figure is the median of the repetitions, after one warm-up round that extracts the package
// and prepares the scripts; the two projects' runs take turns.

#include "generate/Generator.h"
#include "project/Qel.h"

#include "core/Apartment.h"

#include "platform/ado/ConnectionString.h"
#include "platform/automation/Variant.h"
#include "platform/host/HeadlessHost.h"
#include "platform/system/Paths.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <execinfo.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qv::automation::Variant;

constexpr int MaxDepth = 64;
constexpr int MaxSamples = 200000;

/// Stacks taken by the profiling timer; written only by its handler while sampling is on.
struct Samples {
    void* frames[MaxSamples][MaxDepth];
    int depth[MaxSamples];
    std::atomic<int> count{0};
    std::atomic<bool> on{false};
};
Samples* gSamples = nullptr;

void TakeSample(int) {
    if (gSamples == nullptr || !gSamples->on.load()) {
        return;
    }
    const int index = gSamples->count.load();
    if (index >= MaxSamples) {
        return;
    }
    gSamples->depth[index] = ::backtrace(gSamples->frames[index], MaxDepth);
    gSamples->count.store(index + 1);
}

void Sampling(bool on) {
    itimerval timer{};
    timer.it_interval.tv_usec = on ? 2000 : 0;
    timer.it_value.tv_usec = on ? 2000 : 0;
    gSamples->on.store(on);
    ::setitimer(ITIMER_PROF, &timer, nullptr);
}

/// Where a frame lies: 0 outside the library, 1 in the library, 2 in the script engine.
int FrameKind(void* address, std::map<void*, int>& known) {
    if (auto found = known.find(address); found != known.end()) {
        return found->second;
    }
    char** names = ::backtrace_symbols(&address, 1);
    const std::string name = names != nullptr ? names[0] : "";
    std::free(names);
    const int kind = name.find("2qv8vbscript") != std::string::npos ? 2
                     : name.find("_ZN2qv") != std::string::npos     ? 1
                                                                    : 0;
    known.emplace(address, kind);
    return kind;
}

/// The columns of every table, of which a database takes the first few.
constexpr const char* Columns[] = {"id INTEGER PRIMARY KEY", "name VARCHAR(50) NOT NULL",
                                   "amount DECIMAL(10,2)",   "created DATE",
                                   "active BOOLEAN",         "notes TEXT"};
constexpr int MaxColumns = static_cast<int>(std::size(Columns));

void CreateDatabase(const fs::path& file, int tables, int columns) {
    const fs::path script = file.string() + ".sql";
    {
        std::ofstream out(script);
        out << "BEGIN;\n";
        for (int index = 0; index < tables; ++index) {
            out << "CREATE TABLE t" << index << " (";
            for (int column = 0; column < columns; ++column) {
                out << (column == 0 ? "" : ", ") << Columns[column];
            }
            out << ");\n";
        }
        out << "COMMIT;\n";
    }
    fs::remove(file);
    const std::string command = "sqlite3 '" + file.string() + "' < '" + script.string() + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "cannot create %s with sqlite3\n", file.c_str());
        std::exit(1);
    }
}

std::size_t CountFiles(const fs::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        count += entry.is_regular_file() ? 1 : 0;
    }
    return count;
}

struct RunFigures {
    double seconds = 0;
    std::size_t pages = 0;
};

/// A new project loaded from the database, generating the bundled package.
qv::automation::Ref<qv::Qel> LoadProject(const fs::path& database) {
    auto project = qv::automation::MakeRef<qv::Qel>();
    project->AddProj(u"bench");
    qv::ado::ConnectionString text;
    text.Set(u"Driver", u"SQLite3");
    text.Set(u"Database", qv::system::FromNativePath(database));
    project->LoadDB(Variant(u""), Variant(u"CONNECTIONSTRING"), Variant(u""), Variant(u""), Variant(false),
                    Variant(u""), Variant(u""), Variant(text.ToString()), Variant(u""));
    if (!project->ProjErr().empty()) {
        std::fprintf(stderr, "load failed\n");
        std::exit(1);
    }
    project->SetTemplate(qv::system::FromNativePath(fs::path(QV_SHARE_DIR) / "templates" / "quorvane.zip"));
    return project;
}

/// Generates the project into an empty site, which is removed again (untimed).
RunFigures GenerateOnce(qv::Qel& project, const fs::path& site, bool sample) {
    fs::remove_all(site);
    project.SetDestination(qv::system::FromNativePath(site));
    project.SetAppRootFolder(project.Destination());
    if (sample) {
        Sampling(true);
    }
    const auto start = std::chrono::steady_clock::now();
    project.GenScript();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (sample) {
        Sampling(false);
    }
    if (!project.ProjErr().empty()) {
        std::fprintf(stderr, "generation failed\n");
        std::exit(1);
    }
    const RunFigures figures{seconds, CountFiles(site)};
    fs::remove_all(site);
    return figures;
}

RunFigures Median(std::vector<RunFigures> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const RunFigures& a, const RunFigures& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int tables = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    const int columns = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, MaxColumns) : MaxColumns;
    char pattern[] = "/tmp/qv-generate-bench-XXXXXX";
    const fs::path work = ::mkdtemp(pattern);
    // The sites go to memory where the system offers it: the disk's own delays, which vary from
    // run to run, would drown the generation's.
    std::string sitePattern = fs::is_directory("/dev/shm") ? "/dev/shm" : work.string();
    sitePattern += "/qv-generate-bench-sites-XXXXXX";
    if (::mkdtemp(sitePattern.data()) == nullptr) {
        std::perror("generate_bench: mkdtemp");
        return 1;
    }
    const fs::path site = sitePattern;
    ::setenv("QUORVANE_USER_HIVE", (work / "user.reg").c_str(), 1);
    ::setenv("QUORVANE_DOCUMENTS", (work / "documents").c_str(), 1);
    ::setenv("QUORVANE_MACHINE_HIVE", (fs::path(QV_SHARE_DIR) / "machine.reg").c_str(), 1);

    static Samples samples;
    gSamples = &samples;
    void* warm[1];
    ::backtrace(warm, 1); // loads the unwinder before the handler needs it
    struct sigaction action {};
    action.sa_handler = TakeSample;
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGPROF, &action, nullptr);

    CreateDatabase(work / "small.db", tables, columns);
    CreateDatabase(work / "large.db", 2 * tables, columns);
    // Both projects in one apartment, their runs taking turns, so that a burst of other work on
    // the machine falls on both alike rather than on one side of the ratio; round 0 extracts the
    // package and prepares the scripts.
    std::vector<RunFigures> smallRuns, largeRuns;
    {
        qv::ResetApartment();
        qv::host::HeadlessHost host;
        qv::SetCurrentHost(&host);
        qv::RegisterGenerator();
        {
            const auto smallProject = LoadProject(work / "small.db");
            const auto largeProject = LoadProject(work / "large.db");
            for (int round = 0; round <= repetitions; ++round) {
                const RunFigures smallRun =
                    GenerateOnce(*smallProject, site / "small", /*sample=*/round == 1);
                const RunFigures largeRun = GenerateOnce(*largeProject, site / "large", /*sample=*/false);
                if (round > 0) {
                    smallRuns.push_back(smallRun);
                    largeRuns.push_back(largeRun);
                }
            }
        }
        qv::ResetApartment();
        qv::SetCurrentHost(nullptr);
    }
    const RunFigures small = Median(smallRuns);
    const RunFigures large = Median(largeRuns);

    std::map<void*, int> known;
    int inclusive = 0;
    int own = 0;
    const int count = samples.count.load();
    for (int index = 0; index < count; ++index) {
        bool anyEngine = false;
        int innermost = 0;
        // Frame 0 is the handler, frame 1 the signal trampoline.
        for (int frame = 2; frame < samples.depth[index]; ++frame) {
            const int kind = FrameKind(samples.frames[index][frame], known);
            anyEngine = anyEngine || kind == 2;
            if (innermost == 0 && kind != 0) {
                innermost = kind;
            }
        }
        inclusive += anyEngine ? 1 : 0;
        own += innermost == 2 ? 1 : 0;
    }
    std::printf("tables of %d columns\n", columns);
    std::printf("generation of %d tables: %zu pages in %.2f s, %.2f ms per page\n", tables, small.pages,
                small.seconds, 1000 * small.seconds / static_cast<double>(small.pages));
    std::printf("generation of %d tables: %zu pages in %.2f s, %.2f ms per page\n", 2 * tables, large.pages,
                large.seconds, 1000 * large.seconds / static_cast<double>(large.pages));
    std::printf("ratio %d / %d tables: %.2f (goal at most 2.2)\n", 2 * tables, tables,
                large.seconds / small.seconds);
    if (count > 0) {
        std::printf("script engine share of %d samples: %.0f%% inclusive, %.0f%% own\n", count,
                    100.0 * inclusive / count, 100.0 * own / count);
    }
    fs::remove_all(site);
    fs::remove_all(work);
    return 0;
}
