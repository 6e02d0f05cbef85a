#pragma once

#include "core/systemerror.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// An open file descriptor, closed when it goes (unless released first, to close it by hand and
// see whether that failed).
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int fd() const { return m_fd; }
    int release();

private:
    int m_fd;
};

// Reads a whole regular file, never waiting on it: it is opened without blocking and read only
// when it is a regular file (a FIFO or a device could hang the reader or never end), and only
// when it holds at most maxBytes, checked before reading. nullopt with *error (EISDIR for a
// folder, kNotARegularFile for anything else that is no regular file, EFBIG when too large).
std::optional<std::string> ReadRegularFile(const std::filesystem::path &path, std::size_t maxBytes,
                                           SystemError *error);

// The few file operations the watch-list store needs. Each says why it failed. The default
// implementation talks to the real file system; tests put a fault in one operation by
// overriding it.
class StoreFileSystem
{
public:
    virtual ~StoreFileSystem() = default;

    enum class Presence { Missing, Present, Unknown };
    virtual Presence presence(const std::filesystem::path &path, SystemError *error);
    // Whole file; nullopt with *error on failure.
    virtual std::optional<std::string> readAll(const std::filesystem::path &path,
                                               SystemError *error);
    // Creates or truncates, writes everything, flushes to disk, closes.
    virtual bool writeDurably(const std::filesystem::path &path, const std::string &bytes,
                              SystemError *error);
    virtual bool rename(const std::filesystem::path &from, const std::filesystem::path &to,
                        SystemError *error);
    // Removing a missing file succeeds.
    virtual bool remove(const std::filesystem::path &path, SystemError *error);
    // Makes renames and removals inside the directory durable.
    virtual bool syncDirectory(const std::filesystem::path &dir, SystemError *error);
    // Whether files may be created and replaced in the directory (false on a read-only mount).
    virtual bool writable(const std::filesystem::path &dir, SystemError *error);

    // For the copies kept before each change, which live in folders of their own.
    struct DirectoryEntry
    {
        std::string name;
        bool isDirectory = false; // a symbolic link is not one, whatever it points to
    };
    // Creates the directory, not its parents; fails with EEXIST when the name is taken, so two
    // writers never share one.
    virtual bool makeDirectory(const std::filesystem::path &dir, SystemError *error);
    // The entries of the directory, without "." and "..", in no particular order.
    virtual std::optional<std::vector<DirectoryEntry>>
    listDirectory(const std::filesystem::path &dir, SystemError *error);
    // Removes the directory with everything in it, following no symbolic link; removing a
    // missing one succeeds.
    virtual bool removeDirectory(const std::filesystem::path &dir, SystemError *error);

    static StoreFileSystem &real();
};

} // namespace velmora
