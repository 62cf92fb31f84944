#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace qv::test {

/// What a program run left: its exit status (-1 when it did not exit normally) and its output.
struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

/// Runs a program with the calling process's environment changed by `environment` (an empty
/// value removes the variable), in `folder`, with standard input from /dev/null so that it can
/// never wait for an answer.
RunResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                     const std::map<std::string, std::string>& environment,
                     const std::filesystem::path& folder, const std::filesystem::path& input = "/dev/null");

} // namespace qv::test
