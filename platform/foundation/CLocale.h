#pragma once
// The C locale as a value, so numbers are read and written with "." however
// the process locale is set (setlocale is process-wide and not ours to change).

#include <clocale>
#include <locale.h>

namespace ns {

inline locale_t cLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Switches the calling thread to the C locale for the scope.
class ScopedCLocale {
public:
    ScopedCLocale() : previous_(uselocale(cLocale())) {}
    ~ScopedCLocale() { uselocale(previous_); }
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

private:
    locale_t previous_;
};

}  // namespace ns
