// Test support: a numeric locale whose decimal point is a comma, to show
// that numbers are read and written the same whatever the locale.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Switches LC_NUMERIC to such a locale (an installed one, or one built
// with localedef in a scratch folder) until the end of the scope.
// selected(): such a locale exists here; effective(): C stdio now writes
// a decimal comma.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        const char* current = std::setlocale(LC_NUMERIC, nullptr);
        saved_ = current ? current : "C";
        selected_ = select();
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        effective_ = std::string(probe) == "1,5";
    }
    ~DecimalCommaLocale() { std::setlocale(LC_NUMERIC, saved_.c_str()); }
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;
    bool selected() const { return selected_; }
    bool effective() const { return effective_; }

private:
    static bool select() {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
            if (std::setlocale(LC_NUMERIC, name)) return true;
        const std::string dir = ::testing::TempDir() + "decimal_comma_" + std::to_string(::getpid());
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/comma.def") << "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\n"
                                             "grouping 3;3\nEND LC_NUMERIC\n";
        const std::string cmd =
            "localedef -c -i '" + dir + "/comma.def' -f UTF-8 '" + dir + "/comma' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == -1) return false;
        ::setenv("LOCPATH", dir.c_str(), 1);
        const bool ok = std::setlocale(LC_NUMERIC, "comma") != nullptr;
        ::unsetenv("LOCPATH");
        std::filesystem::remove_all(dir);  // the selected locale stays loaded
        return ok;
    }
    std::string saved_;
    bool selected_ = false, effective_ = false;
};
