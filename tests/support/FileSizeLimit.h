#pragma once

#include <sys/resource.h>

namespace norvelle::test {

// Makes writes past a file size fail while it lives, as on a disk that fills up:
// write() then fails with EFBIG (SIGXFSZ is ignored), which reaches the code under
// test exactly like ENOSPC. Unprivileged; the limit holds for the whole process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    bool m_set = false;
};

} // namespace norvelle::test
