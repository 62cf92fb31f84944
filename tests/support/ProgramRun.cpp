#include "support/ProgramRun.h"

#include <fstream>
#include <iterator>
#include <set>

#include <cerrno>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qv::test {

namespace {

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), {});
}

} // namespace

RunResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                     const std::map<std::string, std::string>& environment,
                     const std::filesystem::path& folder, const std::filesystem::path& input) {
    // Everything the child needs is built before the fork: after it only async-signal-safe calls.
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        if (environment.count(text.substr(0, text.find('='))) == 0) {
            variables.push_back(text);
        }
    }
    for (const auto& [name, value] : environment) {
        if (!value.empty()) {
            variables.push_back(name + "=");
            variables.back() += value;
        }
    }
    std::vector<char*> envp;
    envp.reserve(variables.size() + 1);
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> argumentTexts{program.string()};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(argumentTexts.size() + 1);
    for (std::string& argument : argumentTexts) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    char pattern[] = "/tmp/qv-run-XXXXXX";
    const std::filesystem::path outputs = ::mkdtemp(pattern);
    const std::string outFile = (outputs / "out").string();
    const std::string errFile = (outputs / "err").string();
    const std::string inFile = input.string();
    const std::string folderText = folder.string();

    RunResult result;
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open(inFile.c_str(), O_RDONLY);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(folderText.c_str()) != 0) {
            ::_exit(127);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (child > 0) {
        int status = 0;
        pid_t waited = 0;
        do {
            waited = ::waitpid(child, &status, 0);
        } while (waited < 0 && errno == EINTR);
        result.status = waited == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    result.out = ReadAll(outFile);
    result.err = ReadAll(errFile);
    std::filesystem::remove_all(outputs);
    return result;
}

} // namespace qv::test
