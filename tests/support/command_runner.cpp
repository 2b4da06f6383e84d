#include "support/command_runner.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

RunResult run_piped(const std::string& dir, const std::vector<std::string>& args,
                    const std::string& stdin_file, const std::string& stdout_file) {
    // Built by appending only: GCC 12 warns falsely about "literal" + string.
    std::string command = "set -o pipefail; cd ";
    command.append(shell_quote(dir)).append(" && ");
    if (stdin_file.empty()) {
        command.append("true");
    } else {
        command.append("cat ").append(shell_quote(stdin_file));
    }
    command.append(" | ").append(shell_quote(X91_BINARY));
    for (const auto& a : args) command.append(" ").append(shell_quote(a));
    command.append(" 2>.stderr | cat > ").append(shell_quote(stdout_file));
    const std::string shell = std::string("bash -c ").append(shell_quote(command));
    const int raw = std::system(shell.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = slurp(dir + "/" + stdout_file);
    r.err = slurp(dir + "/.stderr");
    std::remove((dir + "/.stderr").c_str());
    return r;
}

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
