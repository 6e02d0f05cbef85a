#pragma once

#include "core/watchliststore.h"

#include <QTemporaryDir>

#include <array>
#include <set>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace velmora::testing {

inline void writeFile(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readFile(const std::filesystem::path &path)
{
    if (!std::filesystem::is_regular_file(path))
        return {}; // missing, or a folder standing where the file should be
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::filesystem::path pathOf(const QTemporaryDir &dir)
{
    return std::filesystem::path(dir.path().toStdString());
}

// The names of the files in dir, to see that nothing was left behind.
inline std::set<std::string> listing(const std::filesystem::path &dir)
{
    std::set<std::string> names;
    for (const auto &item : std::filesystem::directory_iterator(dir))
        names.insert(item.path().filename().string());
    return names;
}

// The bytes of the code, take-profit and stop-loss files.
using Files = std::array<std::string, 3>;

// Writes the three files; an empty text leaves its file out.
inline void putThree(const std::filesystem::path &dir, const Files &files)
{
    const char *names[] = {kCodeFileName, kTakeProfitFileName, kStopLossFileName};
    for (int i = 0; i < 3; ++i) {
        if (!files[i].empty())
            writeFile(dir / names[i], files[i]);
    }
}

// The bytes of the three watch-list files (empty for a missing one).
inline Files snapshot(const std::filesystem::path &dir)
{
    return {readFile(dir / kCodeFileName), readFile(dir / kTakeProfitFileName),
            readFile(dir / kStopLossFileName)};
}

} // namespace velmora::testing
