#pragma once
// Outline levels over one axis of a sheet, as runs of signed levels: |v| is the
// level, a negative v marks it collapsed. Grouping keeps levels within 0 to 8.

#include "mta/table/utils/run_store.h"

#include <cstdint>
#include <optional>

namespace vex::mta {

class outline_store_t {
public:
    using runs_t = run_store_t<int32_t>;

    static constexpr int max_group_level = 8;

    outline_store_t(int32_t first, int32_t last) : runs_(first, last, 0) {}

    const runs_t& runs() const noexcept { return runs_; }
    int32_t first() const noexcept { return runs_.first(); }
    int32_t last() const noexcept { return runs_.last(); }

    // -1, not collapsed, outside the store.
    int64_t outline_level(int64_t index, bool& collapsed) const noexcept;
    int64_t outline_level(int64_t index) const noexcept {
        bool collapsed;
        return outline_level(index, collapsed);
    }
    int64_t max_outline_level() const noexcept;
    // The first index after `index` lying shallower than it: the summary of
    // its group when summaries follow their groups; last() + 1 when none.
    int64_t next_shallower(int64_t index) const noexcept;

    // One level deeper over the span; a span leaving the store changes nothing.
    // Refused when some index of the span is at the deepest level already.
    bool group_outline(int64_t a, int64_t b, bool collapsed);
    void ungroup_outline(int64_t a, int64_t b);
    void reset() { runs_ = runs_t(runs_.first(), runs_.last(), 0); }
    void set_level(int64_t a, int64_t b, int32_t value) { runs_.assign(a, b, value); }
    void set_outline_collapsed(int64_t index, bool collapsed);
    // The group that a summary at index closes, the indexes just before it
    // lying deeper, marked collapsed; false when there is none.
    bool collapse_group_before(int64_t index);
    // Whether that group is collapsed, all its deeper runs; none when there is
    // no such group.
    std::optional<bool> group_before_collapsed(int64_t index) const;

    std::optional<int32_t> first_non_default() const noexcept;
    std::optional<int32_t> last_non_default() const noexcept;

    // Rows or columns inserted: the new indexes take level 0, also inside a group.
    // Refused ("Out of range.") beside a level whose magnitude has no room left.
    bool can_insert(int64_t at) const;
    bool insert(int64_t at, int64_t count);
    // Rows or columns deleted: later levels move up, the freed tail takes level 0.
    void erase(int64_t at, int64_t count);

private:
    void change_level__(bool group, int64_t a, int64_t b, bool collapsed);

    runs_t runs_;
};

} // namespace vex::mta
