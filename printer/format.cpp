// ctextproc layer, printer part: the text of a floating number, shared by the
// printer and by the conversions that turn numbers into text.
#include <cstdio>
#include <cstring>

#include "reader/ctextproc.h"

// "%.15Lg" can drop both the point and the exponent (3 gives "3"); ".0" is
// then appended so that the text reads back as a floating number, not an
// integer. Infinities and not-a-number get the same suffix ("inf.0").
void ctextproc::myftoa(char* buf, long double v) {
    int n = std::snprintf(buf, kFloatTextSize, "%.15Lg", v);
    if (n < 0) {
        buf[0] = '\0';
        n = 0;
    }
    // The longest "%.15Lg" text is 23 bytes, so the suffix always fits.
    if (std::strchr(buf, '.') == nullptr && std::strchr(buf, 'e') == nullptr &&
        n + 3 <= kFloatTextSize) {
        buf[n] = '.';
        buf[n + 1] = '0';
        buf[n + 2] = '\0';
    }
}
