#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace velmora {

// The few file operations the watch-list store needs. Each returns the system's reason on
// failure. The default implementation talks to the real file system; tests put a fault in
// one operation by overriding it.
class StoreFileSystem
{
public:
    virtual ~StoreFileSystem() = default;

    enum class Presence { Missing, Present, Unknown };
    virtual Presence presence(const std::filesystem::path &path, std::string *reason);
    // Whole file; nullopt with *reason on failure.
    virtual std::optional<std::string> readAll(const std::filesystem::path &path,
                                               std::string *reason);
    // Creates or truncates, writes everything, flushes to disk, closes.
    virtual bool writeDurably(const std::filesystem::path &path, const std::string &bytes,
                              std::string *reason);
    virtual bool rename(const std::filesystem::path &from, const std::filesystem::path &to,
                        std::string *reason);
    // Removing a missing file succeeds.
    virtual bool remove(const std::filesystem::path &path, std::string *reason);
    // Makes renames and removals inside the directory durable.
    virtual bool syncDirectory(const std::filesystem::path &dir, std::string *reason);

    static StoreFileSystem &real();
};

} // namespace velmora
