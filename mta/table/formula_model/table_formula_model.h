#pragma once
// A sheet's formula model: the sheet's entry into the formula engine. It turns a
// text at a position into a parsed, tracked formula cell filed in the sheet,
// keeps the master texts of shared formulas, forgets formulas of a range, parses
// texts for other users (defined names, link addresses) and drives
// recalculation. The table makes it over the table's model context and owns both.

#include "coord.h"
#include "mta/formula/formula_model_context.h"
#include "mta/formula/token.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vex::mta::formula {

class formula_cell;

struct shared_formula_entry_t {
    uint32_t use_count = 0;
    std::string text;       // the master's formula
    vex::coord_t master{};  // where it was written: followers share its tokens
};

class formula_mode_t {
public:
    virtual ~formula_mode_t() = default;
    // The tracked formula ranges on the range's grid that overlap it.
    virtual std::unordered_set<vex::range_t> query_tracked_ranges(const vex::range_t& range) = 0;
    // Parses the text and files it as a tracked formula cell. A refused text
    // throws formula_exception with the reason and changes nothing.
    virtual void set_formula(const vex::coord_t& position, std::string_view text) = 0;
    // Forgets the formulas whose range lies in the range; the cells stay.
    virtual void remove_formulas(const vex::range_t& range) = 0;
    // The tokens of the text, empty when it does not parse; parser errors pass.
    virtual std::vector<token_t>& parse_formula(std::vector<token_t>& out, const vex::coord_t& position,
                                                std::string_view text) = 0;
    virtual void recalc(const std::unordered_set<vex::range_t>& changed, bool evaluate) = 0;
    virtual void recalc_all() = 0;
    virtual void recalc_range(const vex::range_t& range) = 0;
};

class table_formula_model final : public formula_mode_t {
public:
    explicit table_formula_model(formula_model_context& context);
    ~table_formula_model() override;
    table_formula_model(const table_formula_model&) = delete;
    table_formula_model& operator=(const table_formula_model&) = delete;

    formula_model_context& context() const noexcept;

    std::unordered_set<vex::range_t> query_tracked_ranges(const vex::range_t& range) override;
    // A text the parser cannot read for want of vocabulary (an undefined name,
    // "&", an error literal) is filed unparsed, untracked, the last message kept;
    // a syntax fault is refused whatever the parser made of it.
    void set_formula(const vex::coord_t& position, std::string_view text) override;
    // Files a built cell and tracks it when parsed; a shared follower needs its
    // master first ("Shared formula not found.", nothing filed).
    void set_formula(formula_cell* cell);
    // A filed cell that moved to another cell of the sheet (a merge gathers one
    // into its top-left): its text is read again where it now stands and it is
    // tracked there, as a formula set there would be.
    void track_moved(formula_cell* cell);
    // The sheet reader's cell, filed as read: parse_imported() parses it once
    // the whole workbook is loaded and every sheet has its grid.
    void import_formula(formula_cell* cell);
    // Parses and tracks every formula cell of the sheet not parsed yet. A text
    // that fails keeps its loaded result, unparsed; nothing fails.
    void parse_imported();
    void remove_formulas(const vex::range_t& range) override;
    std::vector<token_t>& parse_formula(std::vector<token_t>& out, const vex::coord_t& position,
                                        std::string_view text) override;
    void recalc(const std::unordered_set<vex::range_t>& changed, bool evaluate) override;
    void recalc_all() override;
    void recalc_range(const vex::range_t& range) override;

    // A shift moved or rewrote a shared master: the entry follows it.
    void follow_shared_master(uint32_t shared_index, std::string_view text, const vex::coord_t& at);
    // Null for a shared index no master has set.
    const shared_formula_entry_t* shared_formula(uint32_t shared_index) const;
    // A shared follower's text as a host reads it, kept for the cell at `at`:
    // the pointer stays good until a read there gives another text (the cell
    // changed), whatever other followers are read meanwhile.
    const char* keep_follower_text(const vex::coord_t& at, std::string text);
    // A shared follower whose group lost its first cell (overwritten, cleared,
    // its row deleted) cannot be written as one of the group: its own text, to
    // stand alone. Nothing for any other cell.
    std::optional<std::string> orphaned_follower_text(const formula_cell& cell) const;

    struct impl;

private:
    std::unique_ptr<impl> impl_;
};

} // namespace vex::mta::formula
