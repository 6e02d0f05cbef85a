#pragma once

#include <clocale>
#include <string>

namespace velmora::testing {

// Switches the process locale for one scope (a decimal comma, say) and restores it after.
class LocaleGuard
{
public:
    explicit LocaleGuard(const char *name) : m_saved(std::setlocale(LC_ALL, nullptr))
    {
        m_ok = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleGuard() { std::setlocale(LC_ALL, m_saved.c_str()); }
    LocaleGuard(const LocaleGuard &) = delete;
    LocaleGuard &operator=(const LocaleGuard &) = delete;

    // False when the system lacks the locale (the test set-up generates de_DE.UTF-8).
    bool active() const { return m_ok; }

private:
    std::string m_saved;
    bool m_ok = false;
};

} // namespace velmora::testing
