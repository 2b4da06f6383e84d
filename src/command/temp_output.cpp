#include "command/temp_output.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "command/file_names.h"
#include "command/io_failure.h"

namespace x91::cli {

namespace {

const char* const kCannotWrite = "cannot write";

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
        sigset_t signals;
        sigemptyset(&signals);
        for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal_number);
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

std::string directory_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);
}

std::string base_name_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

}  // namespace

TempOutput::TempOutput(const std::string& target) : target_(target) {
    // A hidden name beside the target: same directory, so rename() is atomic
    // and never crosses file systems.
    std::string pattern = directory_of(target) + "." + base_name_of(target) + ".XXXXXX";
    std::string buffer = pattern;
    const CreationGuard guard;
    const int fd = mkstemp(buffer.data());
    if (fd < 0) {
        status_ = io_failure(Status::write_failed, kCannotWrite, errno);
        return;
    }
    // mkstemp creates the file private to the user; give it the permissions
    // an ordinary new file would get.
    fchmod(fd, 0666 & ~process_umask());
    close(fd);
    path_ = buffer;
    slot_ = claim_slot(path_);
}

TempOutput::~TempOutput() {
    if (!path_.empty() && !committed_) unlink(path_.c_str());
    release_slot(slot_);
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

Result open_output(const std::string& out, std::unique_ptr<TempOutput>& temp) {
    temp.reset();
    if (is_std_stream(out)) return {};
    temp = std::make_unique<TempOutput>(out);
    return temp->status();
}

Result commit_output(TempOutput* temp) {
    return temp ? temp->commit() : Result{};
}

void install_interrupt_cleanup() {
    process_umask();
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_exit;
    sigemptyset(&action.sa_mask);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

}  // namespace x91::cli
