#include "support/command_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace x91test {

namespace {

std::string shell_quote(const std::string& s) {
    std::string quoted = "'";
    for (char c : s) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

RunResult run_x91(const std::string& dir, const std::vector<std::string>& args,
                  const std::string& shell_prefix) {
    // Appended piece by piece: GCC 12 misreads `"literal" + std::string&&`
    // as an overlapping copy and warns.
    std::string command = "cd ";
    command += shell_quote(dir);
    command += " && ";
    command += shell_prefix;
    command += shell_quote(X91_BINARY);
    for (const auto& a : args) {
        command += ' ';
        command += shell_quote(a);
    }
    const std::string out_path = dir + "/.stdout";
    const std::string err_path = dir + "/.stderr";
    command += " >";
    command += shell_quote(out_path);
    command += " 2>";
    command += shell_quote(err_path);
    command += " </dev/null";
    const int raw = std::system(command.c_str());
    RunResult result;
    if (WIFEXITED(raw))
        result.status = WEXITSTATUS(raw);
    else if (WIFSIGNALED(raw))
        result.status = 128 + WTERMSIG(raw);
    result.out = slurp(out_path);
    result.err = slurp(err_path);
    unlink(out_path.c_str());
    unlink(err_path.c_str());
    return result;
}

}  // namespace x91test
