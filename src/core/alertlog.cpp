#include "core/alertlog.h"

#include "core/csvtable.h"
#include "core/filesystem.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

// Writes all of bytes at the end of the file: one write, unless the system takes fewer bytes.
bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Whether the file's last byte ends a line (an empty file counts as ending one).
bool endsWithLineEnd(int fd, off_t size)
{
    char last = '\n';
    return size == 0 || ::pread(fd, &last, 1, size - 1) != 1 || last == '\n' || last == '\r';
}

std::filesystem::path folderOf(const std::filesystem::path &file)
{
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

} // namespace

std::string AlertLogLine(const AlertRecord &record)
{
    std::string line;
    AppendCsvField(line, record.time);
    for (const std::string *value : {&record.code, &record.name, &record.price, &record.condition}) {
        line += ',';
        AppendCsvField(line, *value);
    }
    line += "\r\n";
    return line;
}

std::string AlertLogCsv(const std::vector<AlertRecord> &records)
{
    std::string out(kUtf8ByteOrderMark);
    out += kAlertLogHeader;
    out += "\r\n";
    for (const AlertRecord &record : records)
        out += AlertLogLine(record);
    return out;
}

std::vector<AlertRecord> ReadAlertLog(std::string_view bytes)
{
    std::vector<AlertRecord> records;
    CsvReader reader(bytes);
    CsvRecord record;
    bool first = true;
    while (reader.next(record)) {
        if (record.blank())
            continue;
        if (std::exchange(first, false) && record.value(0) == "时间" && record.value(1) == "代码")
            continue;
        records.push_back({std::string(record.value(0)), std::string(record.value(1)),
                           std::string(record.value(2)), std::string(record.value(3)),
                           std::string(record.value(4))});
    }
    return records;
}

std::optional<SystemError> AppendAlertRecord(const std::filesystem::path &file,
                                             const AlertRecord &record)
{
    // Without blocking: a FIFO in place of the file fails at once instead of waiting for a
    // reader. Opened for reading too, to see how the last line ends.
    FileDescriptor opened(::open(file.c_str(),
                           O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644));
    if (opened.fd() < 0)
        return LastSystemError();
    struct stat info {};
    if (::fstat(opened.fd(), &info) != 0)
        return LastSystemError();
    if (!S_ISREG(info.st_mode))
        return SystemError{kNotARegularFile, std::strerror(EINVAL)};

    std::string bytes;
    if (info.st_size == 0) {
        bytes = kUtf8ByteOrderMark;
        bytes += kAlertLogHeader;
        bytes += "\r\n";
    } else if (!endsWithLineEnd(opened.fd(), info.st_size)) {
        bytes = "\r\n";
    }
    bytes += AlertLogLine(record);
    if (!writeAll(opened.fd(), bytes) || ::fdatasync(opened.fd()) != 0) {
        const SystemError error = LastSystemError();
        // Whatever of this record got in goes again, so that the next one starts a line.
        if (::ftruncate(opened.fd(), info.st_size) == 0)
            ::fdatasync(opened.fd());
        return error;
    }
    if (::close(opened.release()) != 0)
        return LastSystemError();
    // A file just created stays after a crash only once its folder is flushed too.
    if (info.st_size == 0)
        StoreFileSystem::real().syncDirectory(folderOf(file), nullptr);
    return std::nullopt;
}

std::optional<SystemError> RewriteAlertLog(const std::filesystem::path &file,
                                           const std::vector<AlertRecord> &records)
{
    StoreFileSystem &fs = StoreFileSystem::real();
    std::filesystem::path written = file;
    written += ".new";
    SystemError error;
    if (!fs.writeDurably(written, AlertLogCsv(records), &error) || !fs.rename(written, file, &error)) {
        fs.remove(written, nullptr);
        return error;
    }
    fs.syncDirectory(folderOf(file), nullptr);
    return std::nullopt;
}

} // namespace velmora
