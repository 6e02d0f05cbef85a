#pragma once

#include "core/systemerror.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One alert as the history keeps it: when it was raised, for which stock, at which price and
// why, all as shown to the user.
struct AlertRecord
{
    std::string time;      // "yyyy-MM-dd HH:mm:ss", local time
    std::string code;      // as the list stores codes (UTF-8)
    std::string name;      // may be empty, may hold a comma
    std::string price;     // as the quote gave it
    std::string condition; // e.g. "涨幅达到 3%"

    bool operator==(const AlertRecord &) const = default;
};

// The history of alerts lives in the data folder, beside the list.
inline constexpr const char *kAlertLogFileName = "AlertLog.csv";
inline constexpr std::string_view kAlertLogHeader = "时间,代码,名称,价格,条件";

// The history keeps the newest kAlertLogKept records; it may grow to kAlertLogTrimAbove before
// it is cut back, so that not every alert rewrites the file.
inline constexpr std::size_t kAlertLogKept = 10000;
inline constexpr std::size_t kAlertLogTrimAbove = 10500;

// One record as a line of the file, CR LF included; a value is quoted only when it must be.
std::string AlertLogLine(const AlertRecord &record);

// The whole file: a UTF-8 byte order mark, the header, then the records in order, CR LF after
// every line.
std::string AlertLogCsv(const std::vector<AlertRecord> &records);

// The records of a file, oldest first. Tolerant of hand edits: without byte order mark or header,
// LF line ends, blank lines; fields a line lacks are empty, extra ones are ignored.
std::vector<AlertRecord> ReadAlertLog(std::string_view bytes);

// Adds the record as the file's last line with one write to the file opened for appending, then
// flushes it to disk. A missing or empty file starts with the byte order mark and the header; a
// last line without its line end gets one first. On a failure nothing of this record stays and
// every line already there does.
std::optional<SystemError> AppendAlertRecord(const std::filesystem::path &file,
                                             const AlertRecord &record);

// Writes the file anew with these records: a new file beside it, flushed, then renamed over it.
// On a failure the file is as it was.
std::optional<SystemError> RewriteAlertLog(const std::filesystem::path &file,
                                           const std::vector<AlertRecord> &records);

} // namespace velmora
