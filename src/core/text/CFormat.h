#pragma once

#include <locale.h>  // locale_t: POSIX per-thread locale

#include <string>

// printf into strings with the "C" locale's decimal point, whatever locale the window has
// taken on: a record file or a label never gets a decimal comma.

namespace kivo {

// Switches this thread to the "C" locale for as long as it lives.
class CNumericLocale {
public:
    CNumericLocale();
    ~CNumericLocale();
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t cLocale_;
    locale_t previous_;
};

// Appends printf output of any length to `out`. The caller holds a CNumericLocale.
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// printf output of any length, in the "C" locale.
std::string FormatC(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kivo
