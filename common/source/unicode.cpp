#include "unicode.h"

#include "text_utils.h"

#include <utf8.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <iconv.h>
#include <langinfo.h>
#include <stdexcept>

namespace vex {

namespace {

const char* invalid_internal = "Invalid UTF-8 sequence in internal string";

// The run of a sorted table whose first code point is the last at or before c;
// null before the first run.
template <class Run, size_t N>
const Run* run_from(const Run (&runs)[N], char32_t c) noexcept {
    const auto after =
        std::upper_bound(std::begin(runs), std::end(runs), c, [](char32_t v, const Run& r) { return v < r.first; });
    return after == std::begin(runs) ? nullptr : &*(after - 1);
}

struct fold_run_t {
    char32_t first;
    char32_t last;
    int32_t delta;
    char32_t stride;
};

constexpr fold_run_t fold_runs[] = {
#include "case_fold_table.inc"
};

char32_t fold_case(char32_t c) noexcept {
    const fold_run_t* run = run_from(fold_runs, c);
    if (!run || c > run->last || (c - run->first) % run->stride != 0) return c;
    return static_cast<char32_t>(static_cast<int32_t>(c) + run->delta);
}

struct letter_run_t {
    char32_t first;
    char32_t last;
};

constexpr letter_run_t letter_runs[] = {
#include "letter_table.inc"
};

bool all_ascii(std::string_view text) noexcept {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool is_letter(char32_t c) noexcept {
    const letter_run_t* run = run_from(letter_runs, c);
    return run && c <= run->last;
}

bool is_utf8_codeset(std::string_view name) {
    return ascii_iequals(name, "UTF-8") || ascii_iequals(name, "UTF8");
}

class iconv_handle {
public:
    iconv_handle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~iconv_handle() {
        if (ok()) iconv_close(cd_);
    }
    iconv_handle(const iconv_handle&) = delete;
    iconv_handle& operator=(const iconv_handle&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Converts valid UTF-8 one code point at a time, so that a character the code set
// cannot hold becomes '?' as the platform conversion does.
std::string to_codeset(std::string_view text, const char* codeset) {
    iconv_handle cd(codeset, "UTF-8");
    if (!cd.ok()) throw std::runtime_error("Failed to convert UTF-16 to ANSI");
    std::string out;
    out.reserve(text.size());
    auto it = text.begin();
    char buf[16];
    while (it != text.end()) {
        auto next = it;
        utf8::unchecked::next(next);
        char* in = const_cast<char*>(&*it);
        size_t in_left = static_cast<size_t>(next - it);
        char* o = buf;
        size_t o_left = sizeof buf;
        if (iconv(cd.get(), &in, &in_left, &o, &o_left) == static_cast<size_t>(-1)) {
            if (errno != EILSEQ && errno != EINVAL) throw std::runtime_error("Failed to convert UTF-16 to ANSI during execution");
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
            out += '?';
        } else {
            out.append(buf, o);
        }
        it = next;
    }
    char* o = buf;
    size_t o_left = sizeof buf;
    iconv(cd.get(), nullptr, nullptr, &o, &o_left);
    out.append(buf, o);
    return out;
}

// Converts the whole text, appending to out. At a character the target
// cannot hold, `references` writes "&#xH;" in its place (the input is then
// UTF-8), else the conversion fails.
bool convert_all(iconv_t cd, std::string_view text, std::string& out, bool references) {
    char* in = const_cast<char*>(text.data());
    size_t in_left = text.size();
    char buf[4096];
    while (in_left > 0) {
        char* o = buf;
        size_t o_left = sizeof buf;
        const size_t done = iconv(cd, &in, &in_left, &o, &o_left);
        out.append(buf, o);
        if (done != static_cast<size_t>(-1) || errno == E2BIG) continue;
        if (errno != EILSEQ || !references) return false;
        const char* next = in;
        const uint32_t c = utf8::unchecked::next(next);
        char digits[8];
        const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, c, 16);
        if (ec != std::errc()) return false;
        if (!convert_all(cd, "&#x" + std::string(digits, end) + ";", out, false)) return false;
        in_left -= static_cast<size_t>(next - in);
        in = const_cast<char*>(next);
    }
    char* o = buf;
    size_t o_left = sizeof buf;
    if (iconv(cd, nullptr, nullptr, &o, &o_left) == static_cast<size_t>(-1)) return false;
    out.append(buf, o);
    return true;
}

} // namespace

bool encoding_to_utf8(std::string_view text, const char* from, std::string& out) {
    iconv_handle cd("UTF-8", from);
    std::string result;
    if (!cd.ok() || !convert_all(cd.get(), text, result, false)) return false;
    out = std::move(result);
    return true;
}

bool utf8_to_xml_encoding(std::string_view text, const char* to, std::string& out) {
    if (!utf8::is_valid(text.begin(), text.end())) return false;
    iconv_handle cd(to, "UTF-8");
    std::string result;
    if (!cd.ok() || !convert_all(cd.get(), text, result, true)) return false;
    out = std::move(result);
    return true;
}

bool from_ansi_string(std::string_view text, std::string& out) {
    if (text.empty()) {
        out.clear();
        return true;
    }
    if (!utf8::is_valid(text.begin(), text.end())) return false;
    // Surrogate code points and overlong forms are rejected by is_valid too.
    out.assign(text);
    return true;
}

bool wide_to_utf8(std::string& out, const char16_t* text, size_t length) {
    std::string result;
    result.reserve(length);
    const char16_t* end = text + length;
    for (const char16_t* p = text; p < end; ++p) {
        char32_t cp = *p;
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (p + 1 >= end || p[1] < 0xDC00 || p[1] > 0xDFFF) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return false;
        }
        utf8::unchecked::append(cp, std::back_inserter(result));
    }
    out = std::move(result);
    return true;
}

std::u16string utf8_to_wide(const char* text, size_t length) {
    if (length == 0) return {};
    if (!utf8::is_valid(text, text + length)) throw std::runtime_error(invalid_internal);
    std::u16string out;
    out.reserve(length);
    utf8::unchecked::utf8to16(text, text + length, std::back_inserter(out));
    return out;
}

std::string utf8_to_codepage(std::string_view text, unsigned code_page) {
    if (!utf8::is_valid(text.begin(), text.end())) throw std::runtime_error(invalid_internal);
    if (text.empty()) return {};
    const char* codeset = code_page == 65001 ? "UTF-8" : nl_langinfo(CODESET);
    if (code_page != 65001 && code_page != system_code_page)
        throw std::runtime_error("Failed to convert UTF-16 to ANSI");
    if (is_utf8_codeset(codeset)) return std::string(text);
    return to_codeset(text, codeset);
}

bool utf8_iequals(std::string_view a, std::string_view b) noexcept {
    // Two ASCII texts fold as they lower; only other characters fold to ASCII ones.
    if ((all_ascii(a) && all_ascii(b)) || !utf8::is_valid(a.begin(), a.end()) || !utf8::is_valid(b.begin(), b.end()))
        return ascii_iequals(a, b);
    auto i = a.begin();
    auto j = b.begin();
    while (i != a.end() && j != b.end())
        if (fold_case(utf8::unchecked::next(i)) != fold_case(utf8::unchecked::next(j))) return false;
    return i == a.end() && j == b.end();
}

bool utf8_is_word(std::string_view text) noexcept {
    if (!utf8::is_valid(text.begin(), text.end())) return false;
    for (auto i = text.begin(); i != text.end();) {
        const char32_t c = utf8::unchecked::next(i);
        if (c == '_' || c == '.' || (c >= '0' && c <= '9')) continue;
        if (!is_letter(c)) return false;
    }
    return true;
}

std::string utf8_fold_case(std::string_view text) {
    // Most names are ASCII, which folds as it lowers.
    if (all_ascii(text) || !utf8::is_valid(text.begin(), text.end())) return ascii_lower(text);
    std::string out;
    out.reserve(text.size());
    for (auto i = text.begin(); i != text.end();)
        utf8::unchecked::append(fold_case(utf8::unchecked::next(i)), std::back_inserter(out));
    return out;
}

bool utf8_holds_folded(std::string_view text, std::string_view folded) {
    // No test of the lengths first: folding lengthens some characters ("Ⱥ", two
    // bytes, folds to three) and shortens others.
    return utf8_fold_case(text).find(folded) != std::string::npos;
}

std::string checked_host_text(const char* text) {
    std::string out;
    if (!from_ansi_string(text ? std::string_view(text) : std::string_view(), out))
        throw std::runtime_error("Failed to convert from ANSI string");
    return out;
}

} // namespace vex
