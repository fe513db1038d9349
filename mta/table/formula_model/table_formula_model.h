#pragma once
// A sheet's formula model: the sheet's entry into the formula engine. It turns a
// text at a position into a parsed, tracked formula cell filed in the sheet,
// keeps the master texts of shared formulas, forgets formulas of a range, parses
// texts for other users (defined names, link addresses) and drives
// recalculation. The table makes it over the table's model context and owns both.

#include "coord.h"
#include "mta/formula/cell_tracker.h"
#include "mta/formula/formula_model_context.h"
#include "mta/formula/token.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vex::mta {
struct band_shift_t;
}

namespace vex::mta::formula {

class formula_cell;
class spelling_sheets_t;

struct shared_formula_entry_t {
    uint32_t use_count = 0;
    std::string text;       // the master's formula
    vex::coord_t master{};  // where it was written: followers share its tokens
};

// A formula's text as the paths that track, rewrite or drop it read it: the
// cell's own, viewed, or a shared follower's, made for its cell and held here.
class formula_text_t {
public:
    explicit formula_text_t(std::string_view own) noexcept : own_(own) {}
    explicit formula_text_t(std::string made) : made_(std::move(made)) {}
    std::string_view view() const noexcept { return made_ ? std::string_view(*made_) : own_; }
    operator std::string_view() const noexcept { return view(); }

private:
    std::string_view own_;
    std::optional<std::string> made_;
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
    // A filed cell leaves the tracker, to be filed again.
    static void untrack(formula_cell* cell);
    // A name the cell reads stands for other cells now, or for none, or another
    // scope's name of that spelling takes its place: the text is read again and
    // the cell filed again. Tokens the text no longer gives stay (an undefined
    // name evaluates to an error).
    // A batch, when given, files it with the others it holds.
    void refile(formula_cell* cell, cell_tracker_t::batch_t* batch = nullptr);
    // A cell whose text was rewritten in place is filed by what it now spells.
    void respell(formula_cell* cell);
    // Refile's reading alone, the tracker left as it is: whether the cell
    // holds parsed tokens.
    bool reread(formula_cell* cell);
    // Refile's reading, and whether the tracker already files the cell as it
    // now reads (one kept unparsed, as its text reads leniently); throws as
    // the tracker does for a range it cannot hold.
    bool files_as_read(formula_cell* cell);
    // A cell kept unparsed is tracked from a lenient reading of its text, so
    // that a change to what it reads drops its result; it stays unparsed.
    void track_unparsed(formula_cell* cell);
    // A tracked cell kept unparsed whose text now reads more (a sheet came
    // into a span it reads) files just what it gained; false when it reads
    // otherwise, to be untracked and tracked again.
    bool track_unparsed_gains(formula_cell* cell);
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
    // The cell goes, or stands alone: when it leads a shared group, the group
    // is left to its followers.
    void master_leaving(const formula_cell& cell);
    // Such a group's followers still read its kept text: a rename or a sheet
    // going rewrites that text, as read at the first cell's place. The groups
    // whose text changed.
    std::vector<uint32_t> rewrite_orphaned_groups(
        const std::function<std::optional<std::string>(const vex::coord_t&, std::string_view)>& rewrite);
    // The cell is going: it spells no name any more.
    void forget_names(formula_cell* cell);
    // Some cell is filed by a name it spells or a table it reads.
    bool spells_names() const noexcept;
    // The cells whose text may spell the name, in any case; the caller checks
    // which of them read it. In no set order.
    std::vector<formula_cell*> spelling(std::string_view name) const;
    // The cells whose tokens read the table of that folded display name.
    std::vector<formula_cell*> reading_table(const std::string& folded) const;
    // The workbook's index of the sheets spelling each name hears of this
    // sheet's from now on; null leaves it.
    void report_spellings_to(spelling_sheets_t* index);
    // The one way to a formula's text for tracking, sheet order, spans, names
    // and drops: a follower without a text of its own reads its group's moved
    // to its cell. Empty for a follower whose group has none.
    formula_text_t text_of(const formula_cell& cell) const;
    // What a cell of a shared group reads as: its own text, or for a follower
    // without one its master's read at its cell. None for other cells and for a
    // group without a text.
    std::optional<std::string> shared_text(const formula_cell& cell) const;
    // The group's first cell while it is one: a shared master of that index
    // standing inside its own range. Null otherwise.
    const formula_cell* shared_master(uint32_t shared_index) const;
    // Whether a shared group has lost its first cell: a shift settles its followers.
    bool has_orphaned_groups() const;
    // The cell leaves its shared group and holds the text as a normal formula;
    // its tokens, already those of its cell, stay.
    static void stand_alone(formula_cell& cell, std::string text);

    struct impl;

private:
    friend class shared_shift_t;
    std::unique_ptr<impl> impl_;
};

// The shared groups of one sheet through a shift of rows or columns of the
// sheet `grid` (this one, or one its formulas name). A follower reads as its
// master's text at its own cell; a shift that moves its references otherwise
// than the master's, or moves it out of the master's range, breaks that. Made
// before anything moves, it keeps the masters' texts as they read then and
// notes the followers the shift may break; once the cells have moved,
// settle() makes every follower that no longer reads as its master a normal
// formula with its own text, as that text would have been moved.
class shared_shift_t {
public:
    shared_shift_t(table_formula_model& model, int32_t grid, const band_shift_t& shift, bool own_sheet);

    // Whether the cell is a follower of a group of the sheet.
    bool follows(const formula_cell& cell) const;
    // A follower the shift keeps, after its own text (when it has one) and its
    // tokens were rewritten, before its cell moves from `from`; `changed` when it
    // moves or its text or tokens changed.
    void keep(formula_cell& cell, const vex::coord_t& from, bool changed);
    // Once the cells have moved.
    void settle();
    // A follower's text as it read at `from` before the shift; none for a
    // cell of no group or a group without a text.
    std::optional<std::string> text_before(const formula_cell& cell, const vex::coord_t& from) const;

private:
    // The follower's own text moved by the shift; none for a group without a text.
    std::optional<std::string> text_after__(const formula_cell& cell, const vex::coord_t& from) const;

    struct group_t {
        std::string text;     // the master's, before the shift
        vex::coord_t master;  // where it stood
        bool touched = false; // the shift moves, deletes or rewrites the master, or it has none
    };
    table_formula_model* model_;
    int32_t grid_;
    const band_shift_t* shift_;
    std::unordered_map<uint32_t, group_t> groups_;
    std::vector<std::pair<formula_cell*, vex::coord_t>> kept_;  // with where they stood before it
};

} // namespace vex::mta::formula
