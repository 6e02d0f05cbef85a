#include "core/filesystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

bool fail(std::string *reason)
{
    if (reason)
        *reason = std::strerror(errno);
    return false;
}

class FdCloser
{
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdCloser(const FdCloser &) = delete;
    FdCloser &operator=(const FdCloser &) = delete;
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

} // namespace

StoreFileSystem::Presence StoreFileSystem::presence(const std::filesystem::path &path,
                                                    std::string *reason)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return Presence::Present;
    if (errno == ENOENT)
        return Presence::Missing;
    fail(reason);
    return Presence::Unknown;
}

std::optional<std::string> StoreFileSystem::readAll(const std::filesystem::path &path,
                                                    std::string *reason)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail(reason);
        return std::nullopt;
    }
    FdCloser closer(fd);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(reason);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

bool StoreFileSystem::writeDurably(const std::filesystem::path &path, const std::string &bytes,
                                   std::string *reason)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(reason);
    FdCloser closer(fd);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(reason);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        return fail(reason);
    if (::close(closer.release()) != 0)
        return fail(reason);
    return true;
}

bool StoreFileSystem::rename(const std::filesystem::path &from, const std::filesystem::path &to,
                             std::string *reason)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return fail(reason);
    return true;
}

bool StoreFileSystem::remove(const std::filesystem::path &path, std::string *reason)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return fail(reason);
    return true;
}

bool StoreFileSystem::syncDirectory(const std::filesystem::path &dir, std::string *reason)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(reason);
    FdCloser closer(fd);
    if (::fsync(fd) != 0)
        return fail(reason);
    return true;
}

StoreFileSystem &StoreFileSystem::real()
{
    static StoreFileSystem fs;
    return fs;
}

} // namespace velmora
