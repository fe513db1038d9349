#pragma once
// The printing settings of a sheet, and of each of its custom views: manual
// page breaks, print options, margins, page setup and header-footer.
//
// The defaults below are the only ones. A fresh record, a reader's reset and
// a writer's "is default" test (a comparison with a value-initialised record)
// all come from these initialisers, so a record read and written back
// unchanged never gains or loses an element. They are the package format's
// usual values.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {

struct page_break_t {
    uint32_t id = 0;  // 0-based row (row break) or column (column break)
    bool man = true;  // manual
    bool pt = false;
    uint32_t max = 0;  // last cell the break spans, 0-based
    uint32_t min = 0;  // first cell the break spans, 0-based

    friend bool operator==(const page_break_t&, const page_break_t&) = default;
};

// Breaks in ascending id order, each id once: indexes given to a host and the
// saved order follow the sheet, as applications expect.
class page_break_set_t {
public:
    // Makes the break, or overwrites the one with its id.
    void set(const page_break_t& b);
    // False when no break has that id.
    bool erase(uint32_t id);
    const page_break_t* find(uint32_t id) const noexcept;

    size_t size() const noexcept { return breaks_.size(); }
    bool empty() const noexcept { return breaks_.empty(); }
    const page_break_t& operator[](size_t i) const noexcept { return breaks_[i]; }
    auto begin() const noexcept { return breaks_.begin(); }
    auto end() const noexcept { return breaks_.end(); }

    friend bool operator==(const page_break_set_t&, const page_break_set_t&) = default;

private:
    std::vector<page_break_t> breaks_;
};

struct print_options_t {
    bool grid_lines = false;
    bool grid_lines_set = true;  // clear, gridLines is not applied
    bool headings = false;
    bool horizontal_centered = false;
    bool vertical_centered = false;

    friend bool operator==(const print_options_t&, const print_options_t&) = default;
};

// Inches, as the pageMargins attributes give them.
struct page_margins_t {
    double left = 0.7;
    double right = 0.7;
    double top = 0.75;
    double bottom = 0.75;
    double header = 0.3;
    double footer = 0.3;
    // Read from the file or set by the host: written whatever the values, as
    // a reader without the element takes other margins than these.
    bool written = false;

    friend bool operator==(const page_margins_t&, const page_margins_t&) = default;
};

// A paper dimension; units in the order pt, pc, pi, mm, cm, in.
struct page_measure_t {
    uint32_t unit = 3;
    double value = 0.0;

    friend bool operator==(const page_measure_t&, const page_measure_t&) = default;
};

struct page_setup_t {
    enum flag : uint8_t {
        black_and_white = 1u << 0,
        draft = 1u << 1,
        use_first_page_number = 1u << 2,
        use_printer_defaults = 1u << 3,
    };
    enum errors_code : uint32_t { errors_blank = 0, errors_dash = 1, errors_displayed = 2, errors_na = 3 };
    static constexpr int32_t first_paper = 1;
    static constexpr int32_t last_paper = 118;

    bool has(flag f) const noexcept { return (flags & f) != 0; }

    uint8_t flags = use_printer_defaults;
    std::string relationship_id;  // of the printer-settings part
    uint32_t cell_comments = 0;   // 0 none, 1 asDisplayed, 2 atEnd
    uint32_t errors = errors_displayed;
    uint32_t orientation = 0;  // 0 default, 1 landscape, 2 portrait
    uint32_t page_order = 0;   // 0 downThenOver, 1 overThenDown
    uint32_t paper_size = 9;
    // What paper_size is where the file names no paper: the format's Letter
    // for a loaded sheet, the library's A4 for a new one. Not written itself;
    // a record that differs in nothing else writes no pageSetup.
    uint32_t unnamed_paper = 9;
    uint32_t copies = 1;
    uint32_t first_page_number = 1;
    uint32_t fit_to_height = 1;
    uint32_t fit_to_width = 1;
    uint32_t horizontal_dpi = 0;
    uint32_t vertical_dpi = 0;
    uint32_t scale = 1;  // percent; 1 stands for "not set"
    page_measure_t paper_height;
    page_measure_t paper_width;

    friend bool operator==(const page_setup_t&, const page_setup_t&) = default;

    // A loaded sheet's record before (or without) its pageSetup element.
    static page_setup_t loaded() noexcept {
        page_setup_t p;
        p.paper_size = p.unnamed_paper = 1;
        return p;
    }
};

struct header_footer_t {
    bool align_with_margins = true;
    bool different_first = false;
    bool different_odd_even = false;
    bool scale_with_doc = true;
    std::string even_header;
    std::string even_footer;
    std::string odd_header;  // the page header
    std::string odd_footer;  // the page footer
    std::string first_header;
    std::string first_footer;

    friend bool operator==(const header_footer_t&, const header_footer_t&) = default;
};

// What a sheet and each custom view print with.
struct print_settings_t {
    page_break_set_t row_breaks;
    page_break_set_t col_breaks;
    print_options_t options;
    page_margins_t margins;
    page_setup_t page_setup;
    header_footer_t header_footer;
    bool fit_to_page = false;  // the sheet's properties: without it the fit counts are not applied
};

} // namespace vex
