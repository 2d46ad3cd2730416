#pragma once
// Lets this process's writes beyond a file size fail (EFBIG) as on a full
// drive, for root as well, while the object lives. Helper processes started
// before it are not affected.

#include <signal.h>
#include <sys/resource.h>

namespace quillbox::test {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldSignal = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        ::signal(SIGXFSZ, m_oldSignal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit m_old{};
    sighandler_t m_oldSignal = SIG_DFL;
};

}  // namespace quillbox::test
