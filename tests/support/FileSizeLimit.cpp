#include "FileSizeLimit.h"

#include <QtGlobal>
#include <csignal>

namespace norvelle::test {

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    if (::getrlimit(RLIMIT_FSIZE, &m_previous) != 0)
        qFatal("getrlimit failed");
    rlimit limit = m_previous;
    limit.rlim_cur = bytes;
    if (m_previous.rlim_max != RLIM_INFINITY && m_previous.rlim_max < bytes)
        limit.rlim_cur = m_previous.rlim_max;
    m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    if (!m_set)
        qFatal("setrlimit failed");
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_set)
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
}

} // namespace norvelle::test
