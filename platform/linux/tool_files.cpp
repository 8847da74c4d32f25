#include "platform/linux/tool_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>

#include "platform/linux/file_kind.h"

namespace vexl::platform {
namespace {

// Every signal whose default action ends the process and that can be
// caught: a run ended by any of them must leave no temporary name.
constexpr int terminating_signals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGPIPE, SIGALRM,
                                       SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF};

constexpr int most_link_hops = 40;  // as the kernel allows

static_assert(sizeof(sigset_t) <= 128, "HeldTerminationSignals keeps the mask in 128 bytes");

std::atomic<bool> named_only{false};

sigset_t terminating_set()
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : terminating_signals)
        sigaddset(&set, number);
    return set;
}

std::string describe_errno(int error) { return std::strerror(error); }

// "is a directory" and the like, for anything but a regular file.
std::string kind_of(mode_t mode) { return std::string("is ") + kind_of_file(mode); }

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows `path` through its chain of symbolic links to the name the chain
// ends in, which need not exist (a dangling link names the file to create).
// `through_proc`: a link on the way was one of /proc's, as /dev/stdout is.
bool follow_links(const std::string& path, std::string& resolved, bool& through_proc, std::string& error)
{
    resolved = path;
    through_proc = false;
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(resolved.c_str(), &info) != 0) {
            if (errno == ENOENT)
                return true;
            error = describe_errno(errno);
            return false;
        }
        if (!S_ISLNK(info.st_mode))
            return true;
        if (hops == most_link_hops) {
            error = describe_errno(ELOOP);
            return false;
        }
        through_proc = through_proc || resolved.starts_with("/proc/");
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(resolved.c_str(), link.data(), link.size());
        if (length < 0) {
            error = describe_errno(errno);
            return false;
        }
        link.resize(static_cast<std::size_t>(length));
        resolved = link.starts_with('/') || resolved.find('/') == std::string::npos
                       ? link
                       : folder_of(resolved) + "/" + link;
    }
}

enum class OutputKind { new_file, regular_file, in_place, in_place_truncated };

// Decides how `target` is written and which name is opened or replaced
// (`resolved`); false with the reason.
bool examine_output(const std::string& target, std::string& resolved, OutputKind& kind, std::string& error)
{
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        error = describe_errno(errno);
        return false;
    }
    if (exists && (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode))) {
        // Opened by the name given: /dev/stdout reaches a pipe through a
        // link of /proc that no name could be followed through.
        resolved = target;
        kind = OutputKind::in_place;
        return true;
    }
    if (exists && S_ISSOCK(info.st_mode)) {
        error = "is a socket; only files, devices and FIFOs can be written";
        return false;
    }
    if (exists && !S_ISREG(info.st_mode)) {
        error = kind_of(info.st_mode);
        return false;
    }
    bool through_proc = false;
    if (!follow_links(target, resolved, through_proc, error))
        return false;
    if (!exists) {
        kind = OutputKind::new_file;
        return true;
    }
    if (through_proc) {
        // /dev/stdout or /dev/fd/N on a file: that descriptor's file is
        // written in place, as cp writes it, not a new file under its name.
        resolved = target;
        kind = OutputKind::in_place_truncated;
        return true;
    }
    // As cp: a file its owner made read-only is not replaced (root may).
    if (::faccessat(AT_FDCWD, resolved.c_str(), W_OK, AT_EACCESS) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        error = errno == EACCES ? std::string("is read-only (mode ") + mode + "); not replaced"
                                : describe_errno(errno);
        return false;
    }
    kind = OutputKind::regular_file;
    return true;
}

std::string random_number()
{
    static std::mt19937 generator{std::random_device{}()};
    return std::to_string(generator() % 1000000000u);
}

std::string random_suffix() { return ".tmp-" + random_number(); }

// A folder beside a target names the process that made it, so that a later
// run can tell one left behind by a killed run from one still being filled.
std::string folder_suffix() { return ".tmp-" + std::to_string(::getpid()) + "-" + random_number(); }

bool process_exists(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// Opens for reading without blocking on a FIFO, then insists on a regular
// file; -1 with the reason otherwise.
int open_regular(const std::string& path, struct stat& info, std::string& problem)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        problem = describe_errno(errno);
        return -1;
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = S_ISDIR(info.st_mode) ? kind_of(info.st_mode) : kind_of(info.st_mode) + ", not a regular file";
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace

// A temporary name on the list the signal handler walks. Entries are never
// freed or reused, so the handler may read any entry at any time; an entry
// counts while `live`.
struct TemporaryName {
    std::string name;
    bool folder = false;  // removed when empty, after the files listed later
    std::atomic<bool> live{true};
    TemporaryName* next = nullptr;
};

namespace {

// Pushed to only with the signals held, by the thread that holds them.
std::atomic<TemporaryName*> temporaries{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<TemporaryName*>::is_always_lock_free,
              "read in a signal handler");

TemporaryName* list_name(std::string name, bool folder)
{
    auto* entry = new TemporaryName{std::move(name), folder};
    entry->next = temporaries.load();
    temporaries.store(entry);
    return entry;
}

TemporaryName* list_temporary(const std::string& target) { return list_name(target + random_suffix(), false); }

// Newest first, so a folder goes after the files made in it.
extern "C" void remove_temporaries_and_die(int number)
{
    for (TemporaryName* t = temporaries.load(); t != nullptr; t = t->next)
        if (t->live.load())
            t->folder ? ::rmdir(t->name.c_str()) : ::unlink(t->name.c_str());
    // The signal's own course: the exit status says what ended the run.
    ::signal(number, SIG_DFL);
    ::raise(number);
}

// Installs the handler for the signals the user has not chosen to ignore.
void install_removal_handler()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_die;
    action.sa_mask = terminating_set();
    action.sa_flags = SA_RESTART;
    for (int number : terminating_signals) {
        struct sigaction previous {};
        if (::sigaction(number, nullptr, &previous) == 0 && previous.sa_handler == SIG_DFL)
            ::sigaction(number, &action, nullptr);
    }
}

}  // namespace

bool read_regular_file(const std::string& path, std::uint64_t limit, std::vector<std::uint8_t>& bytes,
                       std::string& problem)
{
    struct stat info {};
    const int fd = open_regular(path, info, problem);
    if (fd < 0)
        return false;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limit) {
        ::close(fd);
        problem = "is " + std::to_string(size) + " bytes, more than the " + std::to_string(limit) + " accepted";
        return false;
    }
    bytes.resize(size);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = describe_errno(errno);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;  // it shrank meanwhile
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    ::close(fd);
    return true;
}

std::string input_problem(const std::string& path)
{
    struct stat info {};
    std::string problem;
    const int fd = open_regular(path, info, problem);
    if (fd >= 0)
        ::close(fd);
    return problem;
}

std::FILE* open_regular_file(const std::string& path, std::string& problem)
{
    struct stat info {};
    const int fd = open_regular(path, info, problem);
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        problem = describe_errno(errno);
        ::close(fd);
    }
    return file;
}

bool seekable(int fd) { return ::lseek(fd, 0, SEEK_CUR) >= 0; }

std::FILE* open_stream(int fd)
{
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return nullptr;
    std::FILE* stream = ::fdopen(copy, "wb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(copy);
        errno = error;
    }
    return stream;
}

bool same_file(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::string output_problem(const std::string& target)
{
    std::string resolved;
    std::string error;
    OutputKind kind{};
    if (!examine_output(target, resolved, kind, error))
        return error;
    if (kind == OutputKind::in_place || kind == OutputKind::in_place_truncated)
        return {};
    return folder_problem(folder_of(resolved));
}

std::string folder_problem(const std::string& folder)
{
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return "cannot write in " + folder + ": " + describe_errno(errno);
    return {};
}

bool resolve_links(const std::string& path, std::string& resolved, std::string& error)
{
    bool through_proc = false;
    return follow_links(path, resolved, through_proc, error);
}

PendingFile::~PendingFile()
{
    if (!placed_)
        discard();
}

bool PendingFile::open(const std::string& target, std::string& error)
{
    OutputKind kind{};
    if (!examine_output(target, target_, kind, error))
        return false;
    if (kind == OutputKind::in_place || kind == OutputKind::in_place_truncated) {
        // A FIFO blocks here until somebody reads it, as with `cat > fifo`.
        const int truncate = kind == OutputKind::in_place_truncated ? O_TRUNC : 0;
        fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | truncate);
        if (fd_ < 0) {
            error = describe_errno(errno);
            return false;
        }
        in_place_ = true;
        reopen_path_ = target_;
        return true;
    }
    replaces_ = kind == OutputKind::regular_file;
    const std::string folder = folder_of(target_);
    if (!named_only.load()) {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            reopen_path_ = "/proc/self/fd/" + std::to_string(fd_);
            // Without /proc the unnamed file could never be given a name.
            if (::access(reopen_path_.c_str(), F_OK) == 0)
                return true;
            ::close(fd_);
            fd_ = -1;
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error = describe_errno(errno);
            return false;
        }
    }
    // A named temporary: listed for the signal handler before it exists.
    HeldTerminationSignals held;
    install_removal_handler();
    for (int attempt = 0; attempt < 16; ++attempt) {
        TemporaryName* entry = list_temporary(target_);
        fd_ = ::open(entry->name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = entry;
            reopen_path_ = entry->name;
            return true;
        }
        entry->live.store(false);
        if (errno != EEXIST) {
            error = describe_errno(errno);
            return false;
        }
    }
    error = "cannot create a temporary file";
    return false;
}

bool PendingFile::stage(std::string& error)
{
    if (staged_)
        return true;
    if (fd_ < 0) {
        error = "the output is not open";
        return false;
    }
    if (!in_place_) {
        // The replaced file's permissions stay, as when cp overwrites it.
        struct stat old {};
        if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
            if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
                // Only root may give a file away; others keep it as theirs.
                [[maybe_unused]] const int ignored = ::fchown(fd_, old.st_uid, old.st_gid);
            }
            if (::fchmod(fd_, old.st_mode & 07777) != 0) {
                error = describe_errno(errno);
                return false;
            }
        }
    }
    if (!in_place_ && temporary_ == nullptr) {
        HeldTerminationSignals held;
        install_removal_handler();
        for (int attempt = 0; temporary_ == nullptr; ++attempt) {
            TemporaryName* entry = list_temporary(target_);
            if (::linkat(AT_FDCWD, reopen_path_.c_str(), AT_FDCWD, entry->name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temporary_ = entry;
                break;
            }
            entry->live.store(false);
            if (errno != EEXIST || attempt == 15) {
                error = describe_errno(errno);
                return false;
            }
        }
        reopen_path_ = temporary_->name;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        error = describe_errno(errno);
        return false;
    }
    staged_ = true;
    return true;
}

bool PendingFile::place(std::string& error)
{
    if (!staged_ && !stage(error))
        return false;
    if (in_place_) {
        placed_ = true;
        return true;
    }
    HeldTerminationSignals held;
    if (::rename(temporary_->name.c_str(), target_.c_str()) != 0) {
        error = describe_errno(errno);
        return false;
    }
    temporary_->live.store(false);
    placed_ = true;
    return true;
}

void PendingFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (temporary_ != nullptr && temporary_->live.load()) {
        HeldTerminationSignals held;
        ::unlink(temporary_->name.c_str());
        temporary_->live.store(false);
    }
}

NewFolder::~NewFolder()
{
    if (made_ != nullptr && made_->live.load()) {
        HeldTerminationSignals held;
        ::rmdir(made_->name.c_str());  // fails, as it should, when not empty
        made_->live.store(false);
    }
}

bool NewFolder::make(const std::string& path, std::string& error)
{
    HeldTerminationSignals held;
    install_removal_handler();
    TemporaryName* entry = list_name(path, true);
    if (::mkdir(path.c_str(), 0777) == 0) {
        made_ = entry;
        return true;
    }
    const int failure = errno;
    entry->live.store(false);
    struct stat info {};
    if (failure == EEXIST && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return true;
    error = failure == EEXIST ? "exists and is not a folder" : describe_errno(failure);
    return false;
}

bool NewFolder::make_beside(const std::string& target, std::string& error)
{
    HeldTerminationSignals held;
    install_removal_handler();
    for (int attempt = 0; attempt < 16; ++attempt) {
        TemporaryName* entry = list_name(target + folder_suffix(), true);
        if (::mkdir(entry->name.c_str(), 0777) == 0) {
            made_ = entry;
            return true;
        }
        entry->live.store(false);
        if (errno != EEXIST) {
            error = describe_errno(errno);
            return false;
        }
    }
    error = "cannot make a temporary folder";
    return false;
}

std::string NewFolder::path() const { return made_ != nullptr ? made_->name : std::string(); }

void NewFolder::keep()
{
    if (made_ != nullptr)
        made_->live.store(false);
}

bool exchange_names(const std::string& a, const std::string& b, bool& unsupported, std::string& error)
{
    unsupported = false;
    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0)
        return true;
    unsupported = errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
    error = describe_errno(errno);
    return false;
}

std::vector<std::string> stale_folders_beside(const std::string& target)
{
    std::vector<std::string> stale;
    const std::string folder = folder_of(target);
    const std::string prefix = target.substr(target.find_last_of('/') + 1) + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!name.starts_with(prefix))
            continue;
        // TARGET.tmp-PID-N: digits, a dash, digits.
        const std::string_view rest = name.substr(prefix.size());
        const std::size_t dash = rest.find('-');
        const auto digits = [](std::string_view text) {
            return !text.empty() && text.size() < 10 && text.find_first_not_of("0123456789") == std::string_view::npos;
        };
        if (dash == std::string_view::npos || !digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)))
            continue;
        const std::string path = (folder == "/" ? "" : folder) + "/" + std::string(name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
            !process_exists(std::stol(std::string(rest.substr(0, dash)))))
            stale.push_back(path);
    }
    ::closedir(dir);
    return stale;
}

HeldTerminationSignals::HeldTerminationSignals()
{
    const sigset_t set = terminating_set();
    ::pthread_sigmask(SIG_BLOCK, &set, reinterpret_cast<sigset_t*>(saved_));
}

HeldTerminationSignals::~HeldTerminationSignals()
{
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(saved_), nullptr);
}

void use_named_temporaries(bool named) { named_only.store(named); }

}  // namespace vexl::platform
