// cfunction layer, library part: the directives of FORMAT$ that print
// numbers in words or digits: ~F ~E ~$ (floating point, rounded half away
// from zero) and ~R (a radix, English words, Roman numerals).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "library/format.h"

namespace formatting {

// A number's value as a long double; false when it is no number.
bool floatValue(_cell* c, long double* x) {
    if (isFloating(c)) {
        *x = c->car.n->value;
    } else if (isInteger(c)) {
        *x = (long double)CellToInt(c);
    } else if (isBunsu(c)) {
        *x = (long double)CellToBunshi(c) / (long double)CellToBunbo(c);
    } else {
        return false;
    }
    return true;
}

// The significant digits of |x| (15 at most, no trailing zeros) and the
// exponent of the first: |x| = 0.d1d2... * 10^(exp + 1).
void shortestDigits(long double x, std::string* digits, int* exp) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14Le", std::fabs(x));
    digits->clear();
    const char* p = buf;
    for (; *p && *p != 'e'; p++)
        if (std::isdigit((unsigned char)*p)) *digits += *p;
    *exp = *p == 'e' ? std::atoi(p + 1) : 0;
    while (digits->size() > 1 && digits->back() == '0') digits->pop_back();
    if (*digits == "0") *exp = 0;
}

// |x| in positional notation, with the fewest digits that give it back.
std::string shortestFixed(long double x) {
    std::string digits;
    int e;
    shortestDigits(x, &digits, &e);
    std::string s;
    if (e >= 0) {
        size_t ints = (size_t)e + 1;
        if (digits.size() <= ints) {
            s = digits + std::string(ints - digits.size(), '0') + ".0";
        } else {
            s = digits.substr(0, ints) + "." + digits.substr(ints);
        }
    } else {
        s = "0." + std::string((size_t)(-e - 1), '0') + digits;
    }
    return s;
}

// The shortest digits of |x| rounded, half away from zero as Common Lisp
// prints, to `keep` significant digits (none or fewer: zero or one unit of
// the last place kept, 10^(exp + 1 - keep)).
void roundedDigits(long double x, long keep, std::string* digits, int* exp) {
    shortestDigits(x, digits, exp);
    if (keep >= (long)digits->size()) return;
    if (keep < 0 || *digits == "0") {
        *digits = "0";
        *exp = 0;
        return;
    }
    bool up = (*digits)[(size_t)keep] >= '5';
    digits->resize((size_t)keep);
    if (up) {
        long i = keep - 1;
        for (; i >= 0; i--) {
            if ((*digits)[(size_t)i] != '9') {
                (*digits)[(size_t)i]++;
                break;
            }
            (*digits)[(size_t)i] = '0';
        }
        if (i < 0) {
            digits->insert(digits->begin(), '1');
            (*exp)++;
        }
    }
    while (digits->size() > 1 && digits->back() == '0') digits->pop_back();
    if (digits->empty()) {
        *digits = up ? "1" : "0";
        if (!up) *exp = 0;
    }
}

// |x| with d decimals.
std::string fixedDigits(long double x, long d) {
    std::string digits;
    int e;
    shortestDigits(x, &digits, &e);
    long keep = e + 1 + d;
    if (keep <= 0) {
        // Below the last decimal kept: zero, or one unit of it when x is
        // at least half of it.
        bool up = keep == 0 && digits[0] >= '5' && digits != "0";
        std::string s = "0.";
        if (d > 0) s += std::string((size_t)(d - 1), '0') + (up ? "1" : "0");
        if (d == 0 && up) s = "1.";
        if (d == 0) s.pop_back();
        return s;
    }
    roundedDigits(x, keep, &digits, &e);
    if (digits == "0") e = 0;
    std::string ints, frac;
    if (e >= 0) {
        ints = digits.substr(0, std::min(digits.size(), (size_t)e + 1));
        ints += std::string((size_t)e + 1 - ints.size(), '0');
        if (digits.size() > (size_t)e + 1) frac = digits.substr((size_t)e + 1);
    } else {
        ints = "0";
        frac = std::string((size_t)(-e - 1), '0') + digits;
    }
    if ((long)frac.size() < d)
        frac += std::string((size_t)(d - (long)frac.size()), '0');
    return d > 0 ? ints + "." + frac : ints;
}

// ~w,d,k,overflowchar,padcharF
bool Formatter::fixedFloat(const Directive& d, Args* a) {
    long w, dd, k;
    char over, pad;
    if (!param(d, 0, a, -1, &w) || !param(d, 1, a, -1, &dd) ||
        !param(d, 2, a, 0, &k) || !charParam(d, 3, a, 0, &over) ||
        !charParam(d, 4, a, ' ', &pad))
        return false;
    _cell* v = nullptr;
    if (!take(a, d, &v)) return false;
    long double x;
    if (!floatValue(v, &x)) {
        return padded(printed(lisp, v, false), w, 1, 0, ' ', true);
    }
    if (dd > 1000) dd = 1000;
    if (k != 0) x *= std::pow(10.0L, (long double)k);
    if (std::isnan(x) || std::isinf(x)) {
        return padded(printed(lisp, v, false), w, 1, 0, pad, true);
    }
    std::string sign = std::signbit(x) && x != 0 ? "-" : (d.at ? "+" : "");
    std::string s;
    if (dd >= 0) {
        s = fixedDigits(x, dd);
        if (dd == 0) s += ".";
    } else {
        s = shortestFixed(x);
        if (w >= 0 && (long)(sign.size() + s.size()) > w) {
            // Only the width bounds the decimals: as many as fit.
            long ints = (long)s.find('.');
            long room = w - (long)sign.size() - ints - 1;
            if (room < 0) room = 0;
            long have = (long)s.size() - ints - 1;
            if (room < have) {
                s = fixedDigits(x, room);
                if (room == 0) s += ".";
            }
        }
    }
    if (w >= 0 && (long)(sign.size() + s.size()) > w &&
        s.compare(0, 2, "0.") == 0)
        s.erase(0, 1);
    s = sign + s;
    if (w >= 0 && (long)s.size() > w && over != 0) {
        out.append((size_t)w, over);
        return true;
    }
    return padded(s, w, 1, 0, pad, true);
}

// ~w,d,e,k,overflowchar,padcharE: one digit before the point (k = 1).
bool Formatter::expFloat(const Directive& d, Args* a) {
    long w, dd, e, k;
    char over, pad;
    if (!param(d, 0, a, -1, &w) || !param(d, 1, a, -1, &dd) ||
        !param(d, 2, a, -1, &e) || !param(d, 3, a, 1, &k) ||
        !charParam(d, 4, a, 0, &over) || !charParam(d, 5, a, ' ', &pad))
        return false;
    (void)k;
    _cell* v = nullptr;
    if (!take(a, d, &v)) return false;
    long double x;
    if (!floatValue(v, &x) || std::isnan(x) || std::isinf(x)) {
        return padded(printed(lisp, v, false), w, 1, 0, ' ', true);
    }
    if (dd > 1000) dd = 1000;
    std::string sign = std::signbit(x) && x != 0 ? "-" : (d.at ? "+" : "");
    std::string mant;
    int ex;
    if (dd >= 0) {
        std::string digits;
        roundedDigits(x, dd + 1, &digits, &ex);
        if (digits == "0") ex = 0;
        digits += std::string(
            (size_t)(dd + 1) - std::min(digits.size(), (size_t)dd + 1), '0');
        mant = digits.substr(0, 1) + "." + digits.substr(1);
    } else {
        std::string digits;
        shortestDigits(x, &digits, &ex);
        mant = digits.substr(0, 1) + "." +
               (digits.size() > 1 ? digits.substr(1) : "0");
    }
    std::string exs = std::to_string(ex < 0 ? -ex : ex);
    if (e > 0 && (long)exs.size() < e)
        exs.insert(0, (size_t)(e - (long)exs.size()), '0');
    std::string s = sign + mant + "e" + (ex < 0 ? "-" : "+") + exs;
    if (w >= 0 && (long)s.size() > w && over != 0) {
        out.append((size_t)w, over);
        return true;
    }
    return padded(s, w, 1, 0, pad, true);
}

// ~d,n,w,padchar$: d decimals, at least n digits before the point.
bool Formatter::money(const Directive& d, Args* a) {
    long dd, n, w;
    char pad;
    if (!param(d, 0, a, 2, &dd) || !param(d, 1, a, 1, &n) ||
        !param(d, 2, a, 0, &w) || !charParam(d, 3, a, ' ', &pad))
        return false;
    _cell* v = nullptr;
    if (!take(a, d, &v)) return false;
    long double x;
    if (!floatValue(v, &x) || std::isnan(x) || std::isinf(x))
        return padded(printed(lisp, v, false), w, 1, 0, ' ', true);
    if (dd < 0) dd = 0;
    if (dd > 1000) dd = 1000;
    std::string s = fixedDigits(x, dd);
    long ints = (long)s.find('.');
    if (ints == (long)std::string::npos) ints = (long)s.size();
    if (ints < n) s.insert(0, (size_t)(n - ints), '0');
    std::string sign = std::signbit(x) && x != 0 ? "-" : (d.at ? "+" : "");
    if (d.colon) {
        out += sign;
        return padded(s, w - (long)sign.size(), 1, 0, pad, true);
    }
    return padded(sign + s, w, 1, 0, pad, true);
}

const char* const kOnes[] = {"zero",    "one",       "two",      "three",
                             "four",    "five",      "six",      "seven",
                             "eight",   "nine",      "ten",      "eleven",
                             "twelve",  "thirteen",  "fourteen", "fifteen",
                             "sixteen", "seventeen", "eighteen", "nineteen"};
const char* const kTens[] = {"",      "",      "twenty",  "thirty", "forty",
                             "fifty", "sixty", "seventy", "eighty", "ninety"};
const char* const kScales[] = {
    "",          " thousand",    " million",    " billion",
    " trillion", " quadrillion", " quintillion"};

// 1 to 999 in words.
std::string hundreds(unsigned long n) {
    std::string s;
    if (n >= 100) {
        s = std::string(kOnes[n / 100]) + " hundred";
        n %= 100;
        if (n == 0) return s;
        s += " ";
    }
    if (n < 20) return s + kOnes[n];
    s += kTens[n / 10];
    if (n % 10 != 0) s += std::string("-") + kOnes[n % 10];
    return s;
}

std::string cardinal(long v) {
    if (v == 0) return "zero";
    unsigned long u = v < 0 ? 0UL - (unsigned long)v : (unsigned long)v;
    std::string s;
    for (int scale = 0; u != 0; scale++, u /= 1000) {
        unsigned long part = u % 1000;
        if (part == 0) continue;
        std::string words = hundreds(part) + kScales[scale];
        s = s.empty() ? words : words + " " + s;
    }
    return v < 0 ? "negative " + s : s;
}

std::string ordinal(long v) {
    std::string s = cardinal(v);
    size_t cut = s.find_last_of(" -");
    std::string head = cut == std::string::npos ? "" : s.substr(0, cut + 1);
    std::string last = cut == std::string::npos ? s : s.substr(cut + 1);
    static const char* const irregular[][2] = {
        {"one", "first"},     {"two", "second"},   {"three", "third"},
        {"five", "fifth"},    {"eight", "eighth"}, {"nine", "ninth"},
        {"twelve", "twelfth"}};
    for (const auto& r : irregular)
        if (last == r[0]) return head + r[1];
    if (last.back() == 'y')
        return head + last.substr(0, last.size() - 1) + "ieth";
    return head + last + "th";
}

std::string roman(long n, bool old) {
    static const struct {
        long value;
        const char* text;
    } kNew[] = {{1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"},
                {90, "XC"},  {50, "L"},   {40, "XL"}, {10, "X"},   {9, "IX"},
                {5, "V"},    {4, "IV"},   {1, "I"}};
    std::string s;
    for (const auto& r : kNew) {
        if (old && std::strlen(r.text) == 2) continue;
        while (n >= r.value) {
            s += r.text;
            n -= r.value;
        }
    }
    return s;
}

// ~R: with a radix, as ~D in that radix; without, in English words (~:R
// ordinal) or Roman numerals (~@R, ~:@R the old ones without subtraction).
bool Formatter::radix(const Directive& d, Args* a) {
    if (!d.params.empty() && d.params[0].kind != Param::kNone) {
        long r;
        if (!param(d, 0, a, 10, &r)) return false;
        if (r < 2 || r > 36)
            return fail("エラー: FORMAT の ~R の基数は 2 から 36 までです");
        return integer(d, a, (int)r);
    }
    _cell* v = nullptr;
    if (!take(a, d, &v)) return false;
    if (!isInteger(v))
        return fail("エラー: FORMAT の ~R の引数が整数ではありません");
    long n = CellToInt(v);
    if (d.at) {
        if (n < 1 || n > (d.colon ? 4999 : 3999))
            return fail("エラー: ローマ数字にできない数です--" +
                        std::to_string(n));
        out += roman(n, d.colon);
    } else {
        out += d.colon ? ordinal(n) : cardinal(n);
    }
    return true;
}

}  // namespace formatting
