#include "command/temp_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "command/file_names.h"
#include "command/io_failure.h"

namespace x91::cli {

namespace {

const char* const kCannotWrite = "cannot write";

// The signals whose default action ends the process, beside the real-time
// ones; each removes the temporary files first. SIGPIPE and SIGXFSZ are
// ignored instead (see main), so that a write they would stop fails and is
// reported. The faults a program raises itself (SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGTRAP, SIGSYS) are left to the system, debuggers and
// sanitizers; an abort (an uncaught exception, a failed sanitizer check)
// still cleans up.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,    SIGQUIT, SIGABRT,   SIGUSR1, SIGUSR2, SIGALRM,
                                  SIGTERM, SIGSTKFLT, SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR};

sigset_t ending_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal_number : kEndingSignals) sigaddset(&signals, signal_number);
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX; ++signal_number)
        sigaddset(&signals, signal_number);
    return signals;
}

// The signal handler may only use async-signal-safe calls, so the names of
// the open temporary files live in fixed slots it can read without locks.
constexpr int kSlots = 64;
constexpr int kPathMax = 4096;
// A slot is claimed first, then its path written, then marked ready: the
// handler only reads slots whose path is complete.
char slot_paths[kSlots][kPathMax];
std::atomic<bool> slot_claimed[kSlots];
std::atomic<bool> slot_ready[kSlots];

int claim_slot(const std::string& path) {
    if (path.size() >= kPathMax) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (slot_claimed[i].compare_exchange_strong(expected, true)) {
            std::memcpy(slot_paths[i], path.c_str(), path.size() + 1);
            slot_ready[i].store(true);
            return i;
        }
    }
    return -1;
}

void release_slot(int slot) {
    if (slot < 0) return;
    slot_ready[slot].store(false);
    slot_claimed[slot].store(false);
}

// Temporary files being created whose slot is not yet ready. Between
// mkstemp and the slot a file exists that the handler cannot name: the
// creating thread blocks the signals meanwhile, and a handler running on any
// other thread waits the few microseconds until the slot is ready.
std::atomic<int> creating{0};

// Holds the interrupt signals off the calling thread and makes the handler
// wait, for as long as it lives.
class CreationGuard {
  public:
    CreationGuard() {
        const sigset_t signals = ending_signals();
        pthread_sigmask(SIG_BLOCK, &signals, &saved_);
        creating.fetch_add(1);
    }
    ~CreationGuard() {
        creating.fetch_sub(1);
        pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
    }
    CreationGuard(const CreationGuard&) = delete;
    CreationGuard& operator=(const CreationGuard&) = delete;

  private:
    sigset_t saved_;
};

extern "C" void remove_temporaries_and_exit(int signal_number) {
    while (creating.load() > 0) {
    }
    for (int i = 0; i < kSlots; ++i)
        if (slot_ready[i].load()) unlink(slot_paths[i]);
    _exit(128 + signal_number);
}

// Reading the umask means setting it; done once, before conversions run on
// several threads, so no thread ever sees the temporary value.
mode_t process_umask() {
    static const mode_t mask = [] {
        const mode_t m = umask(0);
        umask(m);
        return m;
    }();
    return mask;
}

// The replaced file's mode and owner: the owner first, since a change of
// owner clears the set-user-ID and set-group-ID bits. Where the owner cannot
// be kept those bits stay off, so no one else's program gains them.
void keep_mode_and_owner(int fd, const struct stat& replaced) {
    mode_t mode = replaced.st_mode & 07777;
    if (fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
        mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
        static_cast<void>(fchown(fd, static_cast<uid_t>(-1), replaced.st_gid));
    }
    fchmod(fd, mode);
}

// The hidden name of the temporary file for target: ".NAME.XXXXXX" beside
// it, NAME shortened where the whole would pass name_max bytes.
std::string temporary_pattern(const std::string& target, long name_max) {
    const std::string suffix = ".XXXXXX";
    std::string name = base_name_of(target);
    const auto room =
        static_cast<std::size_t>(std::max(1L, name_max - 1 - static_cast<long>(suffix.size())));
    if (name.size() > room) name.resize(room);
    return directory_of(target) + "." + name + suffix;
}

}  // namespace

TempOutput::TempOutput(const std::string& target) : target_(target) {
    const std::string directory = directory_of(target);
    const long name_max = pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    std::string buffer = temporary_pattern(target, name_max > 0 ? name_max : NAME_MAX);
    {
        const CreationGuard guard;
        fd_ = mkstemp(buffer.data());
        if (fd_ < 0) {
            status_ = io_failure(Status::write_failed, kCannotWrite, errno);
            return;
        }
        // Moved, not copied: an allocation that failed here would leave a
        // file that nothing removes.
        path_ = std::move(buffer);
        slot_ = claim_slot(path_);
    }
    // mkstemp creates the file private to the user; give it the permissions
    // of the file it replaces, or those an ordinary new file would get.
    struct stat replaced {};
    if (stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)) {
        keep_mode_and_owner(fd_, replaced);
    } else {
        fchmod(fd_, 0666 & ~process_umask());
    }
}

TempOutput::~TempOutput() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty() && !committed_) unlink(path_.c_str());
    release_slot(slot_);
}

int TempOutput::take_descriptor() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

Result TempOutput::commit() {
    if (!status_) return status_;
    if (rename(path_.c_str(), target_.c_str()) != 0) {
        status_ = io_failure(Status::write_failed, kCannotWrite, errno);
        unlink(path_.c_str());
        release_slot(slot_);
        slot_ = -1;
        path_.clear();
        return status_;
    }
    committed_ = true;
    release_slot(slot_);
    slot_ = -1;
    return {};
}

// A signal ignored when the process started stays ignored, as the one who
// started it asked (nohup, a shell's background job).
void install_interrupt_cleanup() {
    process_umask();
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_exit;
    action.sa_mask = ending_signals();
    for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
        struct sigaction before {};
        if (sigismember(&action.sa_mask, signal_number) != 1 ||
            sigaction(signal_number, nullptr, &before) != 0 || before.sa_handler == SIG_IGN)
            continue;
        sigaction(signal_number, &action, nullptr);
    }
}

}  // namespace x91::cli
