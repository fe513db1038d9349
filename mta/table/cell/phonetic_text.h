#pragma once
// The readings East Asian workbooks keep beside a cell text (furigana): runs
// that each read a span of the text's characters, and the properties they
// are shown with. The cell's value is the text alone; the readings only go
// back to the file with it.

#include <cstdint>
#include <string>
#include <vector>

namespace vex::mta {

struct phonetic_run_t {
    uint32_t first = 0;  // the first character read (sb)
    uint32_t end = 0;    // the character after the last (eb)
    uint32_t preserve_space = 0;
    std::string text;
    bool escapes_kept = false;  // read with escapes kept as written (decode_x_escapes)

    bool operator==(const phonetic_run_t&) const = default;
};

struct phonetic_text_t {
    std::vector<phonetic_run_t> runs;
    bool has_properties = false;  // the item held a phoneticPr
    uint32_t font_id = 0;
    uint32_t type = 0;       // fullwidthKatakana, halfwidthKatakana, Hiragana, noConversion
    uint32_t alignment = 2;  // noControl, center, left, distributed

    bool empty() const noexcept { return runs.empty() && !has_properties; }
    bool operator==(const phonetic_text_t&) const = default;
};

} // namespace vex::mta
