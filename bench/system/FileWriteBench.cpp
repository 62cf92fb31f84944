// Writing many small files the way a generation writes its pages (WriteFileAtomic without the
// flushes: beside the target, then renamed over it) against the same system calls made bare, in
// the same run. Prints the ratio of the library's write to the bare one (the goal is at most 1.6
// on a memory file system: besides the four calls of the bare write, the library locks the folder
// shared while its file is unrenamed, so that another run's sweep leaves the file alone, which
// is three calls more), and the ratio of a bare write that opens the system's random source for
// every file, which tells what naming the temporary files would cost if it were done so.
//
//   file_write_bench [files] [repetitions]
//
// Each figure is the median of the repetitions, after one warm-up round; the runs of a round take
// turns, each round starting with another, and every run replaces files that the one before it
// wrote. The files go to /dev/shm where
// there is one.

#include "platform/system/FileSystem.h"
#include "platform/system/Paths.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

/// A page's worth of text.
std::string PageBytes() {
    std::string bytes;
    while (bytes.size() < 4096) {
        bytes += "<tr><td class=\"caption\">Name</td><td><%= rs(\"name\") %></td></tr>\r\n";
    }
    return bytes;
}

fs::path FileIn(const fs::path& folder, int index) {
    return folder / ("page" + std::to_string(index) + ".asp");
}

void WriteThroughLibrary(const fs::path& folder, int files, const std::string& bytes) {
    for (int index = 0; index < files; ++index) {
        qv::system::WriteFileAtomic(qv::system::FromNativePath(FileIn(folder, index)), bytes,
                                    qv::system::Durability::RenameOnly);
    }
}

/// Write beside and rename with nothing else: a hidden temporary file made with O_EXCL, the
/// bytes, close, rename. `suffix` names the temporary file.
template <class Suffix>
void WriteBare(const fs::path& folder, int files, const std::string& bytes, Suffix suffix) {
    for (int index = 0; index < files; ++index) {
        const fs::path target = FileIn(folder, index);
        char text[16];
        std::snprintf(text, sizeof text, "%08x", suffix());
        const fs::path temporary = folder / ("." + target.filename().string() + ".tmp-" + text);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
            ::close(fd) != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
            throw std::runtime_error("cannot write " + target.string());
        }
    }
}

template <class Run> double TimeOnce(const Run& run) {
    const auto start = std::chrono::steady_clock::now();
    run();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int files = std::max(1, argc > 1 ? std::atoi(argv[1]) : 2000);
    const int repetitions = std::max(1, argc > 2 ? std::atoi(argv[2]) : 7);
    // In memory where the system offers it: the disk's own delays, which vary from run to run,
    // would drown what the library adds.
    std::string pattern = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    pattern += "/qv-file-write-bench-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("file_write_bench: mkdtemp");
        return 1;
    }
    const fs::path work = pattern;
    const fs::path library = work / "library";
    const fs::path bare = work / "bare";
    const fs::path bareRandom = work / "bare-random";
    for (const fs::path& folder : {library, bare, bareRandom}) {
        fs::create_directories(folder);
    }
    const std::string bytes = PageBytes();
    try {
        unsigned counter = 0;
        auto counted = [&counter] { return ++counter; };
        auto fromDevice = [] { return static_cast<unsigned>(std::random_device()()); };
        const std::function<void()> runs[] = {[&] { WriteThroughLibrary(library, files, bytes); },
                                              [&] { WriteBare(bare, files, bytes, counted); },
                                              [&] { WriteBare(bareRandom, files, bytes, fromDevice); }};
        constexpr std::size_t RunCount = std::size(runs);
        std::vector<double> times[RunCount];
        for (int round = 0; round <= repetitions; ++round) {
            // Each round starts with another run, so that whatever the first of a round meets
            // (or leaves behind for the next) falls on every run alike.
            for (std::size_t step = 0; step < RunCount; ++step) {
                const std::size_t run = (static_cast<std::size_t>(round) + step) % RunCount;
                const double seconds = TimeOnce(runs[run]);
                if (round > 0) {
                    times[run].push_back(seconds);
                }
            }
        }
        const std::vector<double>& libraryTimes = times[0];
        const std::vector<double>& bareTimes = times[1];
        const std::vector<double>& bareRandomTimes = times[2];
        const double reference = Median(bareTimes);
        std::printf("%d files of %zu bytes, median of %d runs\n", files, bytes.size(), repetitions);
        std::printf("library write / bare write:                       %.2f (goal <= 1.6)\n",
                    Median(libraryTimes) / reference);
        std::printf("bare write, random source per file / bare write:  %.2f\n",
                    Median(bareRandomTimes) / reference);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "file_write_bench: %s\n", error.what());
        fs::remove_all(work);
        return 1;
    }
    fs::remove_all(work);
    return 0;
}
