#include "core/text/CFormat.h"

#include <cstdarg>
#include <cstdio>

namespace kivo {

namespace {

void AppendFormatV(std::string& out, const char* format, std::va_list args) {
    std::va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&out[start], static_cast<std::size_t>(length) + 1, format, args);
    out.resize(start + static_cast<std::size_t>(length));  // drop the terminating NUL
}

}  // namespace

CNumericLocale::CNumericLocale()
    : cLocale_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))),
      previous_(cLocale_ != nullptr ? uselocale(cLocale_) : static_cast<locale_t>(nullptr)) {}

CNumericLocale::~CNumericLocale() {
    if (cLocale_ == nullptr) return;
    uselocale(previous_);
    freelocale(cLocale_);
}

void AppendFormat(std::string& out, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    AppendFormatV(out, format, args);
    va_end(args);
}

std::string FormatC(const char* format, ...) {
    const CNumericLocale cLocale;
    std::string out;
    std::va_list args;
    va_start(args, format);
    AppendFormatV(out, format, args);
    va_end(args);
    return out;
}

}  // namespace kivo
