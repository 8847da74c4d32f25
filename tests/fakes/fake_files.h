#pragma once
// Files held in memory; any step can be told to fail or a read to come
// up short.

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/fakes/call_journal.h"

namespace vexl::fakes {

class FakeFiles : public platform::Files {
public:
    explicit FakeFiles(CallJournal* journal = nullptr) : journal_(journal) {}

    bool stat_size(const char* path, std::int64_t& size) override
    {
        log(std::string("stat ") + path);
        const auto it = contents.find(path);
        if (it == contents.end() || fail_stat)
            return false;
        size = static_cast<std::int64_t>(it->second.size()) + stat_size_error;
        return true;
    }
    int open_read(const char* path) override
    {
        log(std::string("open ") + path);
        if (fail_open || contents.find(path) == contents.end())
            return -1;
        open_path = path;
        position = 0;
        ++open_count;
        return 3;
    }
    std::int64_t read(int fd, void* buffer, std::uint32_t count) override
    {
        log("read " + std::to_string(count));
        if (fd != 3 || fail_read)
            return -1;
        const std::vector<unsigned char>& data = contents[open_path];
        std::size_t n = std::min<std::size_t>(count, data.size() - position);
        if (short_read > 0 && n > static_cast<std::size_t>(short_read))
            n = static_cast<std::size_t>(short_read);
        std::memcpy(buffer, data.data() + position, n);
        position += n;
        return static_cast<std::int64_t>(n);
    }
    int close(int fd) override
    {
        log("close");
        if (fd == 3)
            --open_count;
        return fd == 3 ? 0 : -1;
    }

    std::map<std::string, std::vector<unsigned char>> contents;
    bool fail_stat = false;
    bool fail_open = false;
    bool fail_read = false;
    int short_read = 0;              // > 0: reads deliver at most this many bytes
    std::int64_t stat_size_error = 0;  // added to the size stat reports
    int open_count = 0;              // descriptors open now

private:
    void log(std::string call)
    {
        if (journal_ != nullptr)
            journal_->add(std::move(call));
    }

    CallJournal* journal_;
    std::string open_path;
    std::size_t position = 0;
};

}  // namespace vexl::fakes
