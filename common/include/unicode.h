#pragma once
// Text conversions at the boundary: UTF-8 from the host, UTF-16 "wide" text and
// the code set of the process locale.

#include <string>
#include <string_view>

namespace vex {

// Checks host text as UTF-8 and copies it to out; false for malformed input
// (never replaced by U+FFFD). An empty text gives an empty output and true.
bool from_ansi_string(std::string_view text, std::string& out);

// Validates UTF-16 and converts it; false (out untouched) when it is malformed.
bool wide_to_utf8(std::string& out, const char16_t* text, size_t length);

// Throws std::runtime_error "Invalid UTF-8 sequence in internal string".
std::u16string utf8_to_wide(const char* text, size_t length);
inline std::u16string utf8_to_wide(std::string_view text) { return utf8_to_wide(text.data(), text.size()); }

// The code page 0 is the code set of the process locale; characters it cannot
// hold become '?'. Throws "Invalid UTF-8 sequence in internal string", or
// "Failed to convert UTF-16 to ANSI" when the code set is unusable.
constexpr unsigned system_code_page = 0;
std::string utf8_to_codepage(std::string_view text, unsigned code_page);

// Text in the encoding `from` (a name iconv knows) as UTF-8; false when the
// encoding is unknown or the text is not valid in it.
bool encoding_to_utf8(std::string_view text, const char* from, std::string& out);
// UTF-8 text in the encoding `to`, a character it cannot hold written as an
// XML character reference; false when the encoding is unknown, the text is
// not UTF-8 or the reference cannot be written either.
bool utf8_to_xml_encoding(std::string_view text, const char* to, std::string& out);

// Whether two UTF-8 texts are equal without regard to case, in every script, as
// spreadsheet applications compare sheet names (simple case folding: one code
// point for one). Texts that are not UTF-8 compare by ASCII case alone.
bool utf8_iequals(std::string_view a, std::string_view b) noexcept;
// The text with each code point folded as utf8_iequals folds it: two texts that
// compare equal there fold to the same bytes, so the fold serves as a key.
std::string utf8_fold_case(std::string_view text);
// Whether the text holds `folded` (a text already folded) in any case: a
// cheap test before a formula is parsed for a name it may spell.
bool utf8_holds_folded(std::string_view text, std::string_view folded);

// Whether every character of the text is a letter of any script (Unicode
// categories L*), an ASCII digit, "_" or "."; false for text that is not UTF-8.
bool utf8_is_word(std::string_view text) noexcept;

// The text, checked with from_ansi_string; throws std::runtime_error
// "Failed to convert from ANSI string".
std::string checked_host_text(const char* text);

} // namespace vex
