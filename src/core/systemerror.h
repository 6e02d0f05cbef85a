#pragma once

#include <string>

namespace velmora {

// Why the system refused an operation: its error number and its own words.
struct SystemError
{
    int number = 0;
    std::string text;
};

// A reason of our own, beside the system's: the path names something other than a regular file
// (a folder, a FIFO, a device), which is never read.
inline constexpr int kNotARegularFile = -1001;

// errno as it stands, with the system's text for it.
SystemError LastSystemError();

// The short Chinese wording of the common reasons a file cannot be read or written ("文件不存在",
// "权限不足", "磁盘已满" ...), or nullptr for a reason without one.
const char *ChineseSystemErrorText(int number);

// What a message says of a reason: the Chinese wording where there is one, else the system's.
std::string SystemErrorText(const SystemError &error);

} // namespace velmora
