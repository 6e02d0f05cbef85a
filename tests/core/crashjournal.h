#pragma once

// The side file through which the crash worker tells the crash-safety test what the list was
// before and what it will be after the change it is about to make. Plain C++ (the worker links
// no Qt). Written to a temporary name and renamed, so a kill never leaves half a record: the
// test always reads the record of the last change begun, or of the one before it, which then
// had finished.

#include "core/watchentry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::testing {

struct ChangeRecord
{
    WatchEntries before;
    WatchEntries after;
    // The lots file's bytes before and after the change; empty: no file.
    std::string holdingsBefore;
    std::string holdingsAfter;
};

namespace journal_detail {

inline void putValue(std::string &out, const std::string &value)
{
    out += std::to_string(value.size());
    out += ':';
    out += value;
}

inline void putList(std::string &out, const WatchEntries &list)
{
    out += std::to_string(list.size());
    out += '\n';
    for (const auto &entry : list) {
        putValue(out, entry.code);
        putValue(out, entry.takeProfit);
        putValue(out, entry.stopLoss);
        out += '\n';
    }
}

class Reader
{
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    std::optional<std::size_t> number(char end)
    {
        std::size_t value = 0;
        bool any = false;
        while (m_at < m_bytes.size() && m_bytes[m_at] >= '0' && m_bytes[m_at] <= '9') {
            value = value * 10 + static_cast<std::size_t>(m_bytes[m_at++] - '0');
            any = true;
        }
        if (!any || m_at >= m_bytes.size() || m_bytes[m_at] != end)
            return std::nullopt;
        ++m_at;
        return value;
    }

    std::optional<std::string> value()
    {
        const auto size = number(':');
        if (!size || m_bytes.size() - m_at < *size)
            return std::nullopt;
        std::string out(m_bytes.substr(m_at, *size));
        m_at += *size;
        return out;
    }

    bool expect(char c)
    {
        if (m_at >= m_bytes.size() || m_bytes[m_at] != c)
            return false;
        ++m_at;
        return true;
    }

    std::optional<WatchEntries> list()
    {
        const auto rows = number('\n');
        if (!rows)
            return std::nullopt;
        WatchEntries out;
        for (std::size_t i = 0; i < *rows; ++i) {
            auto code = value();
            auto takeProfit = code ? value() : std::nullopt;
            auto stopLoss = takeProfit ? value() : std::nullopt;
            if (!stopLoss || !expect('\n'))
                return std::nullopt;
            out.push_back({std::move(*code), std::move(*takeProfit), std::move(*stopLoss)});
        }
        return out;
    }

    bool atEnd() const { return m_at == m_bytes.size(); }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

} // namespace journal_detail

inline std::string EncodeChangeRecord(const ChangeRecord &record)
{
    std::string out = "before ";
    journal_detail::putList(out, record.before);
    out += "after ";
    journal_detail::putList(out, record.after);
    journal_detail::putValue(out, record.holdingsBefore);
    journal_detail::putValue(out, record.holdingsAfter);
    return out;
}

inline std::optional<ChangeRecord> DecodeChangeRecord(std::string_view bytes)
{
    if (bytes.substr(0, 7) != "before ")
        return std::nullopt;
    journal_detail::Reader reader(bytes.substr(7));
    auto before = reader.list();
    if (!before)
        return std::nullopt;
    for (char c : std::string_view("after ")) {
        if (!reader.expect(c))
            return std::nullopt;
    }
    auto after = reader.list();
    auto holdingsBefore = after ? reader.value() : std::nullopt;
    auto holdingsAfter = holdingsBefore ? reader.value() : std::nullopt;
    if (!holdingsAfter || !reader.atEnd())
        return std::nullopt;
    return ChangeRecord{std::move(*before), std::move(*after), std::move(*holdingsBefore),
                        std::move(*holdingsAfter)};
}

// Only a process kill has to be survived here, not a power cut: no fsync needed.
inline bool WriteChangeRecord(const std::filesystem::path &path, const ChangeRecord &record)
{
    const auto partial = std::filesystem::path(path.string() + ".partial");
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << EncodeChangeRecord(record);
        if (!out.flush())
            return false;
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

inline std::optional<ChangeRecord> ReadChangeRecord(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return DecodeChangeRecord(bytes);
}

} // namespace velmora::testing
