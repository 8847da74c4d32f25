#include "tests/tools/hostile_files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

namespace vexl::testing {

namespace fs = std::filesystem;

namespace {

std::string quote(const std::string& s) { return "'" + s + "'"; }

std::string replaced(std::string text, const std::string& key, const std::string& value)
{
    for (std::size_t at; (at = text.find(key)) != std::string::npos;)
        text.replace(at, key.size(), value);
    return text;
}

bool has(const std::string& haystack, const std::string& needle) { return haystack.find(needle) != std::string::npos; }

void make_socket(const fs::path& where)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, where.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    ::close(fd);
}

// Reads a FIFO to its end on a thread of its own.
class FifoReader {
public:
    explicit FifoReader(fs::path fifo) : fifo_(std::move(fifo)), thread_([this] {
        const int fd = ::open(fifo_.c_str(), O_RDONLY);
        char buffer[65536];
        for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            got_.append(buffer, static_cast<std::size_t>(n));
        ::close(fd);
    })
    {
    }
    // Once the writer is gone: a reader still waiting for one is let go.
    std::string finish()
    {
        if (const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
            ::close(fd);
        thread_.join();
        return got_;
    }

private:
    fs::path fifo_;
    std::string got_;
    std::thread thread_;
};

}  // namespace

bool running_as_root() { return ::geteuid() == 0; }

HostileFiles::HostileFiles(std::string tool) : tool_(std::move(tool))
{
    std::string pattern = (fs::temp_directory_path() / "vexl-hostile-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
}

HostileFiles::~HostileFiles()
{
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    fs::remove(dir_.string() + ".out", ignored);
    fs::remove(dir_.string() + ".err", ignored);
}

std::string HostileFiles::read(const std::string& name) const
{
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void HostileFiles::put(const std::string& name, const std::string& content) const
{
    std::ofstream(path(name), std::ios::binary) << content;
}

std::vector<std::string> HostileFiles::names() const
{
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir_))
        found.push_back(entry.path().filename().string());
    std::sort(found.begin(), found.end());
    return found;
}

ToolRun HostileFiles::run(const std::string& args, const std::string& stdout_to) const
{
    const std::string out = dir_.string() + ".out";
    const std::string err = dir_.string() + ".err";
    const std::string command = "cd " + quote(dir_) + " && timeout -s KILL 600 " + quote(tool_) + " " + args +
                                " </dev/null >" + quote(stdout_to.empty() ? out : stdout_to) + " 2>" + quote(err);
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    for (auto [file, text] : {std::pair{out, &run.out}, std::pair{err, &run.err}}) {
        std::ifstream in(file, std::ios::binary);
        text->assign(std::istreambuf_iterator<char>(in), {});
    }
    return run;
}

void HostileFiles::expect_output_targets_handled(const std::string& args, bool fifo_works)
{
    const std::vector<std::string> inputs = names();
    const auto run_to = [&](const std::string& out) { return run(replaced(args, "{OUT}", quote(out))); };
    // Everything but the inputs goes after each case; what was there is checked first.
    const auto leaves = [&](std::set<std::string> expected) {
        expected.insert(inputs.begin(), inputs.end());
        const std::vector<std::string> now = names();
        EXPECT_EQ(std::set<std::string>(now.begin(), now.end()), expected) << "no temporaries, nothing else";
        for (const std::string& name : now)
            if (std::find(inputs.begin(), inputs.end(), name) == inputs.end())
                fs::remove_all(path(name));
    };

    ToolRun r = run_to("plain");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string reference = read("plain");
    ASSERT_FALSE(reference.empty());
    leaves({"plain"});

    if (running_as_root()) {
        SCOPED_TRACE("a character device: written in place, not replaced");
        ASSERT_EQ(::mknod(path("out").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        r = run_to("out");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_character_file(path("out")));
        leaves({"out"});
    }
    {
        SCOPED_TRACE("a FIFO: streamed into, or refused");
        ASSERT_EQ(::mkfifo(path("out").c_str(), 0666), 0);
        FifoReader reader(path("out"));
        r = run_to("out");
        const std::string streamed = reader.finish();
        if (fifo_works) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(streamed == reference) << streamed.size() << " bytes came through";
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(has(r.err, "out: ")) << r.err;
        }
        EXPECT_TRUE(fs::is_fifo(path("out")));
        leaves({"out"});
    }
    {
        SCOPED_TRACE("symbolic links: the file they lead to is replaced or made");
        put("real", "old");
        fs::create_symlink("real", path("out"));
        fs::create_symlink("sub/made", path("dangling"));
        fs::create_directory(path("sub"));
        EXPECT_EQ(run_to("out").status, 0);
        EXPECT_EQ(run_to("dangling").status, 0);
        EXPECT_TRUE(fs::is_symlink(path("out")) && fs::is_symlink(path("dangling")));
        EXPECT_TRUE(read("real") == reference);
        EXPECT_TRUE(read("sub/made") == reference);
        EXPECT_EQ(std::distance(fs::directory_iterator(path("sub")), fs::directory_iterator()), 1);
        leaves({"out", "real", "dangling", "sub"});
    }
    for (const auto& [kind, make, message] :
         {std::tuple{"a folder", +[](const fs::path& p) { fs::create_directory(p); }, "is a directory"},
          std::tuple{"a socket", +[](const fs::path& p) { make_socket(p); }, "is a socket"}}) {
        SCOPED_TRACE(std::string(kind) + ": refused");
        make(path("out"));
        r = run_to("out");
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(has(r.err, "out: " + std::string(message))) << r.err;
        EXPECT_EQ(fs::status(path("out")).type(),
                  std::string(kind) == "a folder" ? fs::file_type::directory : fs::file_type::socket);
        leaves({"out"});
    }
    {
        SCOPED_TRACE("a replaced file keeps its mode; a read-only one is refused but by root");
        put("private", "old");
        fs::permissions(path("private"), fs::perms::owner_read | fs::perms::owner_write);
        put("readonly", "old");
        fs::permissions(path("readonly"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        EXPECT_EQ(run_to("private").status, 0);
        EXPECT_TRUE(read("private") == reference);
        EXPECT_EQ(fs::status(path("private")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        r = run_to("readonly");
        if (running_as_root()) {
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_TRUE(read("readonly") == reference);
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(has(r.err, "readonly: is read-only (mode 0444)")) << r.err;
            EXPECT_EQ(read("readonly"), "old");
        }
        EXPECT_EQ(fs::status(path("readonly")).permissions(),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        leaves({"private", "readonly"});
    }
    if (running_as_root()) {
        SCOPED_TRACE("a full disk: the old file stays, nothing is added");
        fs::create_directory(path("disk"));
        {
            SmallDisk disk(path("disk"), 16);
            ASSERT_TRUE(disk.mounted());
            put("disk/out", "old");
            r = run_to("disk/out");
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(has(r.err, "disk/out: ")) << r.err;
            EXPECT_EQ(read("disk/out"), "old");
            EXPECT_EQ(std::distance(fs::directory_iterator(path("disk")), fs::directory_iterator()), 1);
        }
        leaves({"disk"});
    }
}

void HostileFiles::expect_input_kept_from_output(const std::string& args, const std::string& input)
{
    const std::string original = read(input);
    fs::create_symlink(input, path("link"));
    for (const std::string& out : {"./" + input, std::string("link")}) {
        const ToolRun r = run(replaced(args, "{OUT}", quote(out)));
        EXPECT_EQ(r.status, 2) << out;
        EXPECT_TRUE(has(r.err, "input file")) << r.err;
    }
    EXPECT_TRUE(read(input) == original);
    fs::remove(path("link"));
}

void HostileFiles::expect_inputs_refused(const std::string& args, const std::string& placed_at)
{
    const fs::path placed = placed_at.empty() ? fs::path() : path(placed_at);
    fs::path kept;
    if (!placed.empty() && fs::exists(fs::symlink_status(placed))) {
        kept = placed.string() + ".kept";
        fs::rename(placed, kept);
    }
    for (const char* in : {"/dev/zero", "fifo", "folder"}) {
        const fs::path made = placed.empty() ? path(in) : placed;
        if (std::string(in) == "fifo")
            ASSERT_EQ(::mkfifo(made.c_str(), 0666), 0);
        else if (std::string(in) == "folder")
            fs::create_directory(made);
        else if (!placed.empty())
            fs::create_symlink(in, made);
        const std::vector<std::string> before = names();
        const auto started = std::chrono::steady_clock::now();
        const ToolRun r = run(replaced(replaced(args, "{IN}", in), "{OUT}", "out"));
        EXPECT_EQ(r.status, 1) << in << ": " << r.err;
        EXPECT_TRUE(has(r.err, (placed.empty() ? std::string(in) : placed_at) + ": is a")) << r.err;
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << in << " was read";
        EXPECT_EQ(names(), before) << in;
        if (made != "/dev/zero")
            fs::remove(made);
    }
    if (!kept.empty())
        fs::rename(kept, placed);
}

pid_t HostileFiles::start(const std::vector<std::string>& args, int signal) const
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The run must see the signal as a user's shell would deliver it.
        ::signal(signal, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 2);
        if (::chdir(dir_.c_str()) != 0)
            ::_exit(127);
        std::vector<char*> argv{const_cast<char*>(tool_.c_str())};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(tool_.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

int HostileFiles::signal_after(const std::vector<std::string>& args, int signal,
                               std::chrono::microseconds delay) const
{
    const pid_t pid = start(args, signal);
    std::this_thread::sleep_for(delay);
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

int HostileFiles::interrupt(const std::vector<std::string>& args, int signal, bool wait_for_name) const
{
    const pid_t pid = start(args, signal);
    // An output on its way: an unnamed file of the folder among the run's
    // descriptors, or a temporary's name in the folder.
    const auto writing = [&] {
        if (wait_for_name) {
            const std::vector<std::string> now = names();
            return std::any_of(now.begin(), now.end(), [](const std::string& n) { return has(n, ".tmp-"); });
        }
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            const std::string target = fs::read_symlink(fd.path(), ec).string();
            if (target.starts_with(dir_.string()) && (has(target, "(deleted)") || has(target, ".tmp-")))
                return true;
        }
        return false;
    };
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!writing()) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ADD_FAILURE() << "the run ended before it could be interrupted";
            return status;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the run never wrote";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ::kill(pid, signal);
    ::waitpid(pid, &status, 0);
    return status;
}

SmallDisk::SmallDisk(const fs::path& where, int kib) : where_(where)
{
    const std::string options = "size=" + std::to_string(kib) + "k";
    mounted_ = running_as_root() && ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk()
{
    if (mounted_)
        ::umount2(where_.c_str(), MNT_DETACH);
}

}  // namespace vexl::testing
