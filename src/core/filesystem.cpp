#include "core/filesystem.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace velmora {

namespace {

bool fail(SystemError *error)
{
    if (error)
        *error = LastSystemError();
    return false;
}


} // namespace

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int FileDescriptor::release()
{
    return std::exchange(m_fd, -1);
}

StoreFileSystem::Presence StoreFileSystem::presence(const std::filesystem::path &path,
                                                    SystemError *error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return Presence::Present;
    if (errno == ENOENT)
        return Presence::Missing;
    fail(error);
    return Presence::Unknown;
}

std::optional<std::string> ReadRegularFile(const std::filesystem::path &path, std::size_t maxBytes,
                                           SystemError *error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        fail(error);
        return std::nullopt;
    }
    FileDescriptor closer(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        fail(error);
        return std::nullopt;
    }
    const auto refuse = [error](int number) {
        if (error)
            *error = {number, std::strerror(number > 0 ? number : EINVAL)};
        return std::nullopt;
    };
    if (S_ISDIR(info.st_mode))
        return refuse(EISDIR);
    if (!S_ISREG(info.st_mode))
        return refuse(kNotARegularFile);
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes)
        return refuse(EFBIG);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(error);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes) // grew while being read
            return refuse(EFBIG);
    }
    return bytes;
}

std::optional<std::string> StoreFileSystem::readAll(const std::filesystem::path &path,
                                                    SystemError *error)
{
    return ReadRegularFile(path, std::numeric_limits<std::size_t>::max(), error);
}

bool StoreFileSystem::writeDurably(const std::filesystem::path &path, const std::string &bytes,
                                   SystemError *error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(error);
    FileDescriptor closer(fd);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(error);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        return fail(error);
    if (::close(closer.release()) != 0)
        return fail(error);
    return true;
}

bool StoreFileSystem::rename(const std::filesystem::path &from, const std::filesystem::path &to,
                             SystemError *error)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return fail(error);
    return true;
}

bool StoreFileSystem::remove(const std::filesystem::path &path, SystemError *error)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return fail(error);
    return true;
}

bool StoreFileSystem::syncDirectory(const std::filesystem::path &dir, SystemError *error)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail(error);
    FileDescriptor closer(fd);
    if (::fsync(fd) != 0)
        return fail(error);
    return true;
}

bool StoreFileSystem::writable(const std::filesystem::path &dir, SystemError *error)
{
    // Also false for the administrator on a read-only mount, which no permission overrides.
    if (::access(dir.c_str(), W_OK) != 0)
        return fail(error);
    return true;
}

bool StoreFileSystem::makeDirectory(const std::filesystem::path &dir, SystemError *error)
{
    if (::mkdir(dir.c_str(), 0755) != 0)
        return fail(error);
    return true;
}

std::optional<std::vector<StoreFileSystem::DirectoryEntry>>
StoreFileSystem::listDirectory(const std::filesystem::path &dir, SystemError *error)
{
    DIR *stream = ::opendir(dir.c_str());
    if (!stream) {
        fail(error);
        return std::nullopt;
    }
    std::vector<DirectoryEntry> entries;
    for (;;) {
        errno = 0;
        const dirent *item = ::readdir(stream);
        if (!item)
            break;
        const std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        bool isDirectory = item->d_type == DT_DIR;
        if (item->d_type == DT_UNKNOWN) { // some file systems do not fill in the type
            struct stat st {};
            isDirectory = ::fstatat(::dirfd(stream), item->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
                          && S_ISDIR(st.st_mode);
        }
        entries.push_back({name, isDirectory});
    }
    const bool failed = errno != 0;
    if (failed)
        fail(error);
    ::closedir(stream);
    if (failed)
        return std::nullopt;
    return entries;
}

bool StoreFileSystem::removeDirectory(const std::filesystem::path &dir, SystemError *error)
{
    std::error_code code;
    std::filesystem::remove_all(dir, code);
    if (code) {
        if (error)
            *error = {code.value(), code.message()};
        return false;
    }
    return true;
}

StoreFileSystem &StoreFileSystem::real()
{
    static StoreFileSystem fs;
    return fs;
}

} // namespace velmora
