#include "support/command_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace x91test {

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

namespace {

int exit_status(int raw) {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a shell command line with standard output and error into files in
// dir, and collects them.
RunResult run_captured(const std::string& dir, std::string command) {
    const std::string out_path = dir + "/.stdout";
    const std::string err_path = dir + "/.stderr";
    command += " >";
    command += shell_quote(out_path);
    command += " 2>";
    command += shell_quote(err_path);
    command += " </dev/null";
    RunResult result;
    result.status = exit_status(std::system(command.c_str()));
    result.out = slurp(out_path);
    result.err = slurp(err_path);
    unlink(out_path.c_str());
    unlink(err_path.c_str());
    return result;
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
    return run_captured(dir, std::move(command));
}

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

RunResult run_shell(const std::string& dir, const std::string& script) {
    std::string command = "cd ";
    command += shell_quote(dir);
    command += " && X91=";
    command += shell_quote(X91_BINARY);
    command += " bash -c ";
    command += shell_quote(script);
    return run_captured(dir, std::move(command));
}

RunResult run_x91_on_terminal(const std::string& dir, const std::vector<std::string>& args) {
    RunResult result;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return result;
    const std::string slave_name = ptsname(master);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int slave = open(slave_name.c_str(), O_RDWR);
        const int null = open("/dev/null", O_RDONLY);
        if (slave < 0 || null < 0 || chdir(dir.c_str()) != 0) _exit(126);
        termios settings{};
        tcgetattr(slave, &settings);
        settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tcsetattr(slave, TCSANOW, &settings);
        dup2(null, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        std::vector<char*> argv = {const_cast<char*>(X91_BINARY)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(X91_BINARY, argv.data());
        _exit(127);
    }
    // Read as it comes, or the child blocks on a full terminal; the read
    // fails (EIO) once the child has closed its end.
    char buffer[4096];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, static_cast<std::size_t>(got));
    close(master);
    int raw = 0;
    if (pid > 0 && waitpid(pid, &raw, 0) == pid) result.status = exit_status(raw);
    return result;
}
}  // namespace x91test
