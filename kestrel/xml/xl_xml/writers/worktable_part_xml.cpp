#include "kestrel/xml/xl_xml/writers/worktable_part_xml.h"

#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"
#include "kestrel/parts/vml_drawing_part.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "kestrel/xml/xl_xml/writers/style_elements_xml.h"
#include "kestrel/xml/xl_xml/writers/table_definition_part_xml.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/style/rc/cell_style_runs.h"
#include "text_utils.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <queue>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vex {

namespace {

using mta::rc_record_t;
using mta::formula::formula_cell;

constexpr std::string_view formula_type_names[] = {"normal", "shared", "array", "dataTable"};
constexpr std::string_view formula_flag_names[] = {"ca", "aca", "bx", "del1", "del2", "dt2D", "dtr"};
constexpr int32_t last_sheet_col = 16384;

bool default_record(const rc_record_t& r) noexcept { return r.xf == 0 && r.flags == 0; }

// Sorted, disjoint, adjacent spans joined.
std::vector<std::pair<int32_t, int32_t>> merge_spans(std::vector<std::pair<int32_t, int32_t>> spans) {
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const auto& s : spans) {
        if (!out.empty() && int64_t(s.first) <= int64_t(out.back().second) + 1)
            out.back().second = std::max(out.back().second, s.second);
        else
            out.push_back(s);
    }
    return out;
}

template <class Store, class Pred>
void add_runs(const Store& store, Pred is_marked, std::vector<std::pair<int32_t, int32_t>>& out, int32_t base) {
    const auto& runs = store.runs();
    for (size_t i = 0; i < runs.size(); ++i)
        if (is_marked(runs[i].value)) out.emplace_back(int32_t(runs[i].start) + base, store.run_end(i) + base);
}

bool is_formula_ref_set(const coord_t& c) noexcept { return c.row != 0 || c.col != 0; }

// A span of rows written with one style: its row record's or its row form.
struct row_piece_t {
    int32_t first = 0, last = 0;
    uint16_t xf = 0;
};

// The styles rows and columns are written with where they differ from their
// records, as spreadsheet applications store a style laid over nearly whole
// columns or rows: as theirs, with the cells that show another written one by
// one. A style qualifies for a column when its cells fill more than half the
// column, for a row without a style of its own when they fill more than half
// the row; a style that qualifies both ways is written the way that needs
// fewer elements (a style over B1:XFD600000 as rows, over B2:XFD1048576 as
// columns).
struct written_forms_t {
    std::vector<uint16_t> cols;      // by column - 1; 0: its record's
    std::vector<row_piece_t> rows;   // ascending, disjoint

    uint16_t col(int c) const noexcept { return size_t(c) <= cols.size() ? cols[size_t(c - 1)] : 0; }
};

written_forms_t written_forms(const mta::Table& table) {
    written_forms_t forms;
    const mta::columns_t& columns = table.columns();
    forms.cols.resize(size_t(columns.count()));
    constexpr size_t style_count = size_t(1) << 16;
    // Counts by style, indexed by the style: a column of many styles costs its runs.
    std::vector<int64_t> count(style_count), col_cost(style_count), row_cost(style_count);
    std::vector<uint16_t> seen;
    struct event_t {
        int64_t pos;
        int delta;
        uint16_t xf;
    };
    std::vector<event_t> events;
    for (int c = 1; c <= columns.count(); ++c) {
        const mta::Column* column = columns.at(c);
        if (!column) continue;
        const auto& store = column->xf_runs();
        for (size_t i = 0; i < store.runs().size(); ++i) {
            const uint16_t xf = store.runs()[i].value;
            if (xf == 0) continue;
            if (count[xf] == 0) seen.push_back(xf);
            count[xf] += int64_t(store.run_end(i)) - store.runs()[i].start + 1;
            events.push_back({store.runs()[i].start, 1, xf});
            events.push_back({int64_t(store.run_end(i)) + 1, -1, xf});
        }
        const int64_t size = int64_t(column->size());
        for (const uint16_t xf : seen) {
            if (2 * count[xf] > size) {
                forms.cols[size_t(c - 1)] = xf;
                col_cost[xf] += 1 + size - count[xf];
            }
            count[xf] = 0;
        }
        seen.clear();
    }

    // Rows: a sweep over the runs' ends, where the style held by more than
    // half the row's cells can change.
    std::sort(events.begin(), events.end(), [](const event_t& x, const event_t& y) { return x.pos < y.pos; });
    const int64_t width = table.col_count(), height = table.row_count();
    std::vector<row_piece_t> spans;
    uint16_t major = 0;
    for (size_t i = 0; i < events.size();) {
        const int64_t pos = events[i].pos;
        seen.clear();
        for (; i < events.size() && events[i].pos == pos; ++i) {
            count[events[i].xf] += events[i].delta;
            seen.push_back(events[i].xf);
        }
        if (major && 2 * count[major] <= width) major = 0;
        for (size_t j = 0; !major && j < seen.size(); ++j)
            if (2 * count[seen[j]] > width) major = seen[j];
        const int64_t end = std::min(i < events.size() ? events[i].pos : height, height);
        if (!major || end <= pos) continue;
        spans.push_back({int32_t(pos + 1), int32_t(end), major});
        row_cost[major] += (end - pos) * (1 + width - count[major]);
    }
    // A style written as rows is not written as columns too: a cell in both
    // would need its own record.
    for (const row_piece_t& p : spans)
        if (col_cost[p.xf] != 0 && col_cost[p.xf] <= row_cost[p.xf]) row_cost[p.xf] = -1;
    for (uint16_t& xf : forms.cols)
        if (row_cost[xf] > 0) xf = 0;

    // Rows with a style of their own keep it.
    const mta::row_records_t& records = table.row_records();
    for (const row_piece_t& p : spans) {
        if (row_cost[p.xf] < 0) continue;
        for (int32_t r = p.first; r <= p.last;) {
            const size_t i = *records.run_index_of(r);
            const int32_t last = std::min(p.last, int32_t(records.run_end(i)));
            if (records.runs()[i].value.xf == 0) {
                if (!forms.rows.empty() && forms.rows.back().last + 1 == r && forms.rows.back().xf == p.xf)
                    forms.rows.back().last = last;
                else
                    forms.rows.push_back({r, last, p.xf});
            }
            r = last + 1;
        }
    }
    return forms;
}

// Whether the summary after a collapsed group carries the file's mark. A
// summary that lies collapsed in an outer group defers to that group's: one
// mark on the outer summary closes every group nested in it.
template <typename Marked>
bool summary_marked(const mta::outline_store_t& outline, int64_t index, Marked marked) {
    for (int64_t s = outline.next_shallower(index); s <= outline.last(); s = outline.next_shallower(s)) {
        if (marked(int32_t(s))) return true;
        bool collapsed = false;
        if (outline.outline_level(s, collapsed) <= 0 || !collapsed) return false;
    }
    return false;
}

// Whether a collapsed mark on the row or column reads back as the outline
// stands, which the host may have shown or regrouped since the file was read:
// read, it collapses the group its row or column closes (a column its own
// level too), else its own level.
bool kept_mark_holds(const mta::outline_store_t& outline, bool summary_after, int64_t index, bool own_too) {
    const std::optional<bool> before = summary_after ? outline.group_before_collapsed(index) : std::nullopt;
    if (before && (!*before || !own_too)) return *before;
    bool collapsed = false;
    return outline.outline_level(index, collapsed) <= 0 || collapsed;
}

} // namespace

// One column's place in a row-major walk: its current value block and style run.
struct worktable_part_xml::column_cursor {
    static constexpr size_t none = size_t(-1);
    const mta::Column* column = nullptr;  // null: no value and no style of its own in it
    mta::column_store_t::const_iterator block;
    size_t run = 0;
    uint16_t record = 0;  // the column record's style
    uint16_t form = 0;    // the style the column is written with instead, if any

    void seek(size_t pos) {
        if (!column) return;
        const auto end = column->cells().end();
        while (block != end && pos >= block->position + block->size) ++block;
        const auto& runs = column->xf_runs();
        while (run + 1 < runs.runs().size() && int64_t(pos) > runs.run_end(run)) ++run;
    }
    uint16_t xf() const noexcept { return column ? column->xf_runs().runs()[run].value : 0; }
    bool valued() const noexcept {
        return column && block != column->cells().end() && block->type != mdds::mtv::element_type_empty;
    }
    // Whether the column is written with another style than its record's.
    bool hides_record() const noexcept { return form && form != record; }
};

// The written cells of the sheet in row-major order, so that a row costs the
// cells it holds, not the sheet's width: the columns used at the current row,
// ascending, go on to the next row while they are used there (the dense case);
// the others wait, in a queue ordered by row and then column, for the next row
// where they hold a value or a style that the row's and column's written
// styles do not give.
//
// A cell without a record shows its row's written style when the row has one,
// else its column's, here as in spreadsheet applications. A cell needs no
// record where that agrees with what it shows: only a form applies and gives its style, or it has no style
// of its own and neither is written with a form. Other cells are written as
// they were before forms.
struct worktable_part_xml::cell_walk {
    using entry_t = std::pair<size_t, int>;  // position, column
    const mta::Table& table;
    std::vector<column_cursor> cursors;      // by column - 1
    std::vector<row_piece_t> forms;          // rows written with a row form
    std::vector<row_piece_t> styled;         // rows written with a style: their record's or their form
    std::vector<int> active, next_active;    // columns used at the current and the next row
    std::priority_queue<entry_t, std::vector<entry_t>, std::greater<>> waiting;
    row_cursor row;
    std::optional<uint16_t> look_alike;

    cell_walk(const mta::Table& t, const written_forms_t& f) : table(t), forms(f.rows) {
        const auto& records = t.row_records();
        for (size_t i = 0; i < records.runs().size(); ++i)
            if (const uint16_t xf = records.runs()[i].value.xf)
                styled.push_back({int32_t(records.runs()[i].start), int32_t(records.run_end(i)), xf});
        const size_t own = styled.size();
        styled.insert(styled.end(), forms.begin(), forms.end());
        std::inplace_merge(styled.begin(), styled.begin() + std::ptrdiff_t(own), styled.end(),
                           [](const row_piece_t& x, const row_piece_t& y) { return x.first < y.first; });
        const mta::columns_t& columns = t.columns();
        // With row forms, a column without a cell still needs cells in their rows.
        const int width = forms.empty() ? columns.count() : std::max(columns.count(), int(t.col_count()));
        cursors.resize(size_t(width));
        std::vector<entry_t> first;
        for (int c = 1; c <= width; ++c) {
            column_cursor& k = cursors[size_t(c - 1)];
            k.column = columns.at(c);
            if (k.column && k.column->size() == 0) k.column = nullptr;
            if (!k.column && forms.empty()) continue;
            if (k.column) k.block = k.column->cells().begin();
            k.record = t.col_records().value_at(c).xf;
            k.form = f.col(c);
            if (const size_t pos = next_used(k, 0); pos != column_cursor::none) first.emplace_back(pos, c);
        }
        waiting = decltype(waiting)(std::greater<>(), std::move(first));
    }

    // The first piece of the list that ends at or after row r; null past the last.
    static const row_piece_t* from(const std::vector<row_piece_t>& list, int32_t r) {
        const auto it = std::lower_bound(list.begin(), list.end(), r, [](const row_piece_t& p, int32_t v) { return p.last < v; });
        return it == list.end() ? nullptr : &*it;
    }
    uint16_t row_form(int32_t r) const {
        const row_piece_t* p = from(forms, r);
        return p && p->first <= r ? p->xf : 0;
    }

    // The first of rows a..b where a cell of the column holding the style
    // `own` and no value needs a record; 0 when none does.
    int32_t first_needing(const column_cursor& k, uint16_t own, int32_t a, int32_t b) const {
        const auto first_in = [&](const std::vector<row_piece_t>& list) {
            const row_piece_t* p = from(list, a);
            return p && p->first <= b ? std::max(a, p->first) : 0;
        };
        if (own == 0) return k.hides_record() ? a : first_in(forms);
        if (k.form) return own == k.form ? first_in(styled) : a;
        for (int32_t r = a; r <= b;) {
            const row_piece_t* p = from(forms, r);
            if (!p || p->first > r || p->xf != own) return r;
            r = p->last + 1;
        }
        return 0;
    }
    // The first position from pos on whose cell is written; `none` past the last.
    size_t next_used(column_cursor& k, size_t pos) const {
        if (!k.column) {
            const row_piece_t* p = from(forms, int32_t(pos + 1));
            return p ? size_t(std::max(int32_t(pos + 1), p->first) - 1) : column_cursor::none;
        }
        k.seek(pos);
        const auto end = k.column->cells().end();
        auto b = k.block;
        while (b != end && b->type == mdds::mtv::element_type_empty) ++b;
        const size_t next = b != end ? std::max(pos, b->position) : column_cursor::none;
        const auto& runs = k.column->xf_runs();
        for (size_t r = k.run; r < runs.runs().size(); ++r) {
            const int64_t a = std::max(int64_t(pos), int64_t(runs.runs()[r].start));
            if (next != column_cursor::none && a >= int64_t(next)) break;
            if (const int32_t row = first_needing(k, runs.runs()[r].value, int32_t(a + 1), int32_t(runs.run_end(r) + 1)))
                return std::min(next, size_t(row - 1));
        }
        return next;
    }
    // The style a cell at the cursor is written with; 0 for none.
    uint16_t written_xf(const column_cursor& k, int32_t r) {
        if (const uint16_t own = k.xf()) return own;
        const uint16_t form = row_form(r);
        if (!form && !k.hides_record()) return 0;
        // What the cell shows without a record of its own in the model: its
        // row's style, else its column's (a row form stands only where the row has none).
        const uint16_t row_xf = form ? 0 : table.row_records().value_at(r).xf;
        if (!row_xf && k.record) return k.record;
        if (!row_xf) {
            if (!look_alike) look_alike = mta::style_manager_of(table).plain_look_alike();
            return *look_alike;
        }
        return row_xf;
    }

    // The columns used at pos, ascending. Only rows that some column uses are
    // asked for, in order: the active ones were found used at pos before.
    const std::vector<int>& columns_at(size_t pos) {
        const size_t kept = active.size();
        while (!waiting.empty() && waiting.top().first == pos) {
            active.push_back(waiting.top().second);
            waiting.pop();
        }
        std::inplace_merge(active.begin(), active.begin() + std::ptrdiff_t(kept), active.end());
        return active;
    }
    // After the cells at pos: each column goes on to the next row it uses.
    void advance(size_t pos) {
        next_active.clear();
        for (const int c : active) {
            column_cursor& k = cursors[size_t(c - 1)];
            if (pos + 1 >= size_t(table.row_count())) continue;
            const size_t next = next_used(k, pos + 1);
            if (next == pos + 1)
                next_active.push_back(c);
            else if (next != column_cursor::none)
                waiting.emplace(next, c);
        }
        active.swap(next_active);
    }
};

uint64_t worktable_part_xml::external_link_count(const worktable_t& table) noexcept {
    const mta::hyperlink_list_t& links = table.hyperlinks();
    uint64_t n = 0;
    for (size_t i = 0; i < links.size(); ++i) n += links.is_external(i) ? 1 : 0;
    return n;
}

void worktable_part_xml::write() {
    xml::xml_stream_writer* w = part_.get_xml_writer();
    const auto* table = dynamic_cast<const worktable_t*>(part_.get_component());
    if (!w || !table) throw std::runtime_error("no xml stream writer.");
    const xml_part_t* book_part = part_.get_workbook_part();
    const auto* book = book_part ? dynamic_cast<const workbook_t*>(book_part->get_component()) : nullptr;
    bind(*w, *table, book ? book->shared_strings() : nullptr);
    w_->write_raw(xml::standalone_declaration);
    w_->start_element("worksheet");
    w_->write_attribute("xmlns", uri::spreadsheetml_main);
    w_->write_attribute("xmlns:r", uri::office_document_relationships);
    w_->close_start_tag();
    write_cols();
    write_sheet_data();
    write_auto_filter();
    write_merge_cells();
    write_hyperlinks(part_.get_child_parts().size() + 1);
    write_drawing();
    write_legacy_drawing();
    write_legacy_drawing_hf();
    write_picture();
    write_table_parts();
    w_->end_element("worksheet");
}

// ---- columns ----------------------------------------------------------------------

void worktable_part_xml::write_cols() {
    struct layout_t {
        uint16_t xf = 0;
        uint8_t flags = 0;
        int64_t level = 0;
        double width = 0.0;
        bool collapsed = false;  // in a collapsed group
        bool operator==(const layout_t&) const = default;
    };
    const mta::col_records_t& records = table_->col_records();
    std::vector<std::pair<int32_t, int32_t>> spans;
    add_runs(records, [&](const rc_record_t& r) { return !mta::col_record_equal(r, records.default_value()); }, spans, 0);
    add_runs(table_->col_outline().runs(), [](int32_t level) { return level != 0; }, spans, 0);
    const written_forms_t forms = written_forms(*table_);
    for (size_t i = 0; i < forms.cols.size(); ++i)
        if (forms.cols[i]) spans.emplace_back(int32_t(i + 1), int32_t(i + 1));
    spans = merge_spans(std::move(spans));
    const double default_width = table_->get_default_col_width(0);
    bool started = false;
    for (const auto& [a, b] : spans) {
        int32_t from = a;
        layout_t run;
        auto flush = [&](int32_t to) {
            if (run == layout_t{}) return;
            if (!started) {
                w_->start_element("cols");
                w_->close_start_tag();
                started = true;
            }
            w_->start_element("col");
            w_->write_attribute("min", number_text(from));
            w_->write_attribute("max", number_text(to));
            const bool custom = run.flags & rc_record_t::custom_size;
            const double width = custom ? run.width : default_width;
            const auto read = table_->sheet_extras().read_col_widths.find(width);
            w_->write_attribute("width", number_text(read == table_->sheet_extras().read_col_widths.end() ? width
                                                                                                    : read->second));
            if (run.xf) w_->write_attribute("style", number_text(run.xf));
            if (run.flags & rc_record_t::hidden) w_->write_attribute("hidden", "1");
            if (custom && !(run.flags & rc_record_t::plain_width)) w_->write_attribute("customWidth", "1");
            if (run.level > 0) w_->write_attribute("outlineLevel", number_text(run.level));
            if (run.collapsed || (run.flags & rc_record_t::collapsed)) w_->write_attribute("collapsed", "1");
            if (run.flags & rc_record_t::best_fit) w_->write_attribute("bestFit", "1");
            if (run.flags & rc_record_t::phonetic) w_->write_attribute("phonetic", "1");
            w_->end_empty_element();
        };
        for (int32_t c = a; c <= b && c <= last_sheet_col; ++c) {
            const rc_record_t r = records.value_at(c);
            const uint16_t form = forms.col(c);
            layout_t here{form ? form : r.xf, uint8_t(r.flags & rc_record_t::col_flags), 0, 0.0, false};
            if ((here.flags & rc_record_t::collapsed) && !kept_col_collapsed_holds(c))
                here.flags &= uint8_t(~rc_record_t::collapsed);
            bool collapsed = false;
            const int64_t level = table_->col_outline().outline_level(c, collapsed);
            here.level = level > 0 ? level : 0;
            // A collapsed group's columns are hidden, as its rows are, and
            // marked so that the group reads back collapsed, unless their
            // summary column took the mark from the file.
            if (level > 0 && collapsed) {
                here.flags |= rc_record_t::hidden;
                here.collapsed = !summary_col_collapsed(c) &&
                                 kept_mark_holds(table_->col_outline(), table_->group_summary_right(), c, true);
            }
            if (here.flags & rc_record_t::custom_size) here.width = table_->get_custom_col_width(c, c, 0).value_or(default_width);
            if (c == a) {
                run = here;
            } else if (!(here == run)) {
                flush(c - 1);
                from = c;
                run = here;
            }
        }
        flush(std::min(b, last_sheet_col));
    }
    if (started) w_->end_element("cols");
}

bool worktable_part_xml::summary_col_collapsed(int32_t col) const {
    return summary_marked(table_->col_outline(), col, [&](int32_t c) { return kept_col_collapsed_holds(c); });
}

// ---- rows and cells ---------------------------------------------------------------

void worktable_part_xml::write_sheet_data() {
    w_->start_element("sheetData");
    w_->close_start_tag();
    const mta::columns_t& columns = table_->columns();
    const written_forms_t forms = written_forms(*table_);
    cell_walk walk(*table_, forms);
    std::vector<std::pair<int32_t, int32_t>> cell_rows;
    // Rows written with a style: some cells in them need records.
    for (const row_piece_t& p : walk.styled) cell_rows.emplace_back(p.first, p.last);
    for (int c = 1; c <= columns.count(); ++c) {
        const mta::Column* column = columns.at(c);
        if (!column) continue;
        for (const auto& block : column->cells())
            if (block.type != mdds::mtv::element_type_empty)
                cell_rows.emplace_back(int32_t(block.position) + 1, int32_t(block.position + block.size));
        const uint16_t form = forms.col(c);
        add_runs(column->xf_runs(), [form](uint16_t xf) { return xf != form; }, cell_rows, 1);
    }
    cell_rows = merge_spans(std::move(cell_rows));
    std::vector<std::pair<int32_t, int32_t>> record_rows;
    add_runs(table_->row_records(), [](const rc_record_t& r) { return !default_record(r); }, record_rows, 0);
    // An outline level alone also needs the row's element.
    add_runs(table_->row_outline().runs(), [](int32_t level) { return level != 0; }, record_rows, 0);
    record_rows = merge_spans(std::move(record_rows));

    // Rows with a record of their own but no cell: a row element each.
    size_t next_record = 0;
    auto record_rows_before = [&](int64_t limit) {
        for (; next_record < record_rows.size(); ++next_record) {
            auto& [a, b] = record_rows[next_record];
            for (int32_t r = a; r <= b && r < limit; ++r) {
                write_row_start(r, table_->row_records().value_at(r));
                w_->end_element("row");
                a = r + 1;
            }
            if (a <= b) return;
        }
    };
    for (const auto& [a, b] : cell_rows) {
        record_rows_before(a);
        write_cell_range(a, b, walk);
        if (walk.row.open) w_->end_element("row");
        walk.row.open = false;
        // Rows the walk covered need nothing more.
        while (next_record < record_rows.size() && record_rows[next_record].second <= b) ++next_record;
        if (next_record < record_rows.size() && record_rows[next_record].first <= b) record_rows[next_record].first = b + 1;
    }
    record_rows_before(int64_t(1) << 40);
    w_->end_element("sheetData");
}

void worktable_part_xml::write_cell_range(int32_t r1, int32_t r2, cell_walk& walk) {
    row_cursor& cursor = walk.row;
    for (int32_t r = r1; r <= r2; ++r) {
        if (cursor.open) w_->end_element("row");
        cursor.open = false;
        rc_record_t record = table_->row_records().value_at(r);
        if (const uint16_t form = walk.row_form(r)) record.xf = form;
        if (!default_record(record)) {
            write_row_start(r, record);
            cursor.open = true;
        }
        cursor.row = r;
        const size_t pos = size_t(r) - 1;
        for (const int c : walk.columns_at(pos)) {
            column_cursor& k = walk.cursors[size_t(c - 1)];
            k.seek(pos);
            if (!cursor.open) {
                write_row_start(r, record);
                cursor.open = true;
            }
            write_cell(r, c, k, walk.written_xf(k, r));
        }
        walk.advance(pos);
    }
}

void worktable_part_xml::write_row_start(int32_t row, const rc_record_t& record) {
    w_->start_element("row");
    w_->write_attribute("r", number_text(row));
    if (record.xf) {
        w_->write_attribute("s", number_text(record.xf));
        w_->write_attribute("customFormat", "1");
    }
    bool hidden = record.flags & rc_record_t::hidden;
    if (record.flags & rc_record_t::custom_size) {
        const double ht = table_->get_custom_row_height(row, row, 0).value_or(table_->get_default_row_height(0));
        w_->write_attribute("ht", number_text(ht));
        w_->write_attribute("customHeight", "1");
    } else if (record.flags & rc_record_t::read_height) {
        w_->write_attribute("ht", number_text(mta::emu_to_row_height(record.height, 0)));
    }
    bool collapsed = false;
    const int64_t level = table_->row_outline().outline_level(row, collapsed);
    if (level > 0 && collapsed) hidden = true;
    if (hidden) w_->write_attribute("hidden", "1");
    if (level > 0) w_->write_attribute("outlineLevel", number_text(level));
    if (row_collapsed(row, level, collapsed)) w_->write_attribute("collapsed", "1");
    if (record.flags & rc_record_t::thick_top) w_->write_attribute("thickTop", "1");
    if (record.flags & rc_record_t::thick_bottom) w_->write_attribute("thickBot", "1");
    if (record.flags & rc_record_t::phonetic) w_->write_attribute("ph", "1");
    w_->close_start_tag();
}

// A row read with the flag keeps it. Rows of a collapsed group carry it, so
// that the group reads back collapsed, unless their group's summary row took
// it from the file, or the row closes a deeper group the flag would collapse.
bool worktable_part_xml::row_collapsed(int32_t row, int64_t level, bool collapsed) {
    if (kept_collapsed_holds(row)) return true;
    if (level <= 0 || !collapsed) return false;
    if (!kept_mark_holds(table_->row_outline(), table_->group_summary_below(), row, false)) return false;
    const mta::outline_store_t& outline = table_->row_outline();
    // Rows of one group share its summary: found once, not per row.
    if (row <= summary_.from || row >= summary_.row || level != summary_.level)
        summary_ = {row, outline.next_shallower(row), level,
                    summary_marked(outline, row, [&](int32_t r) { return kept_collapsed_holds(r); })};
    return !summary_.marked;
}

bool worktable_part_xml::kept_collapsed_holds(int32_t row) const {
    return (table_->row_records().value_at(row).flags & rc_record_t::collapsed_row) &&
           kept_mark_holds(table_->row_outline(), table_->group_summary_below(), row, false);
}

bool worktable_part_xml::kept_col_collapsed_holds(int32_t col) const {
    return (table_->col_records().value_at(col).flags & rc_record_t::collapsed) &&
           kept_mark_holds(table_->col_outline(), table_->group_summary_right(), col, true);
}

void worktable_part_xml::start_cell(std::string_view ref, std::string_view type, uint16_t xf) {
    w_->start_element("c");
    w_->write_attribute("r", ref);
    if (xf) w_->write_attribute("s", number_text(xf));
    if (!type.empty()) w_->write_attribute("t", type);
    if (const cell_metadata_t* m = table_->periphery().metadata_at(cell_row_, cell_col_)) {
        // Cell metadata describes formulas (dynamic arrays), value metadata
        // rich values cached as errors (pictures in cells): a value set since
        // drops them.
        if (m->cell && cell_type_ == mta::element_type_formula) w_->write_attribute("cm", number_text(m->cell));
        if (m->value && cell_type_ == mta::element_type_error) w_->write_attribute("vm", number_text(m->value));
        // Kept through any value, as the cell's style is.
        if (m->phonetic) w_->write_attribute("ph", "1");
    }
}

// The literal the cell was read with when the model read it as this one.
std::string_view worktable_part_xml::read_literal_or(std::string_view literal) const {
    if (literal != mta::error_literal(int32_t(mta::error_value_enum::value))) return literal;
    const std::string* kept = table_->periphery().error_literal_at(cell_row_, cell_col_);
    return kept ? std::string_view(*kept) : literal;
}

void worktable_part_xml::write_v(std::string_view text, bool escapes_kept) {
    w_->start_element("v");
    w_->close_start_tag();
    w_->write_text(text, escapes_kept);
    w_->end_element("v");
}

void worktable_part_xml::write_number_value(double v) {
    // A cell keeps the sign of a zero (attributes do not): its value reads back bit for bit.
    write_v(v == 0.0 && std::signbit(v) ? std::string_view("-0") : number_text(v).view());
}

void worktable_part_xml::write_cell(int32_t row, int32_t col, column_cursor& k, uint16_t xf) {
    const std::string ref = row_col_to_string(row, col);
    cell_row_ = row;
    cell_col_ = col;
    cell_type_ = k.valued() ? k.block->type : mdds::mtv::element_type_empty;
    if (!k.valued()) {
        start_cell(ref, {}, xf);
        w_->end_empty_element();
        return;
    }
    const auto& data = *k.block->data;
    const size_t offset = size_t(row) - 1 - k.block->position;
    switch (k.block->type) {
    case mdds::mtv::element_type_double: {
        const double v = mdds::mtv::double_element_block::at(data, offset);
        // A number the format cannot carry reads back as this error.
        if (!std::isfinite(v)) {
            start_cell(ref, "e", xf);
            w_->close_start_tag();
            write_v(mta::error_literal(int32_t(mta::error_value_enum::num)));
            break;
        }
        start_cell(ref, {}, xf);
        w_->close_start_tag();
        write_number_value(v);
        break;
    }
    case mdds::mtv::element_type_int32:
        start_cell(ref, {}, xf);
        w_->close_start_tag();
        write_v(number_text(mdds::mtv::int32_element_block::at(data, offset)));
        break;
    case mdds::mtv::element_type_int64:
        start_cell(ref, {}, xf);
        w_->close_start_tag();
        write_v(number_text(mdds::mtv::int64_element_block::at(data, offset)));
        break;
    case mdds::mtv::element_type_boolean: {
        const bool v = *(mdds::mtv::boolean_element_block::cbegin(data) + std::ptrdiff_t(offset));
        start_cell(ref, "b", xf);
        w_->close_start_tag();
        write_v(v ? "1" : "0");
        break;
    }
    case mta::element_type_string_index:
        write_string_cell(ref, xf, mta::string_index_block::at(data, offset).index);
        return;
    case mta::element_type_error: {
        const int32_t code = mta::error_block::at(data, offset).code;
        const std::string_view literal = mta::error_literal(code);
        if (literal.empty()) throw_enum_subscript(code);
        start_cell(ref, "e", xf);
        w_->close_start_tag();
        write_v(read_literal_or(literal));
        break;
    }
    case mta::element_type_formula:
        write_formula(*mta::formula_block::at(data, offset), ref, xf);
        return;
    default:
        start_cell(ref, {}, xf);
        w_->end_empty_element();
        return;
    }
    w_->end_element("c");
}

void worktable_part_xml::write_string_cell(std::string_view ref, uint16_t xf, int32_t pool_index) {
    const mta::string_pool_t& pool = table_->get_string_pool();
    if (strings_) {
        start_cell(ref, "s", xf);
        w_->close_start_tag();
        write_v(number_text(strings_->save_index_of(uint32_t(pool_index))));
        w_->end_element("c");
        return;
    }
    // Without a shared-strings part the text goes in the cell.
    start_cell(ref, "inlineStr", xf);
    w_->close_start_tag();
    w_->start_element("is");
    w_->close_start_tag();
    bool kept = false;
    const std::string_view text = pool.string_at(pool_index, nullptr, &kept);
    w_->start_element("t");
    if (!text.empty() && (text.front() == ' ' || text.back() == ' ' || text.front() == '\n' || text.back() == '\n'))
        w_->write_attribute("xml:space", "preserve");
    w_->close_start_tag();
    w_->write_text(text, kept);
    w_->end_element("t");
    write_phonetic_text(*w_, pool.phonetic_at(pool_index), false);
    w_->end_element("is");
    w_->end_element("c");
}

void worktable_part_xml::write_formula(const formula_cell& cell, std::string_view ref, uint16_t xf) {
    // The cached result decides the cell's type.
    std::string_view type;
    std::string value;
    if (const auto& result = cell.result()) {
        if (const double* d = std::get_if<double>(&*result)) {
            if (std::isfinite(*d))
                value = *d == 0.0 && std::signbit(*d) ? std::string_view("-0") : number_text(*d).view();
            else
                type = "e", value = mta::error_literal(int32_t(mta::error_value_enum::num));
        } else if (const std::string* s = std::get_if<std::string>(&*result)) {
            type = "str", value = *s;
        } else if (const bool* b = std::get_if<bool>(&*result)) {
            type = "b", value.assign(1, *b ? '1' : '0');
        } else if (const datetime_t* t = std::get_if<datetime_t>(&*result)) {
            value = number_text(ticks_to_serial(*t)).view();
        } else if (const auto* e = std::get_if<mta::formula::formula_error>(&*result)) {
            const std::string_view literal = mta::error_literal(int32_t(e->code()) - 1);
            const std::string_view shown = literal.empty() ? mta::error_literal(int32_t(mta::error_value_enum::value)) : literal;
            type = "e", value = read_literal_or(shown);
        }
    }
    start_cell(ref, type, xf);
    w_->close_start_tag();
    const mta::formula::formula_attributes_t& a = cell.attributes();
    const mta::formula::table_formula_model* model = table_->get_formula_model();
    const std::optional<std::string> alone = model ? model->orphaned_follower_text(cell) : std::nullopt;
    w_->start_element("f");
    if (!alone) {
        if (a.type != 0 && a.type < std::size(formula_type_names)) w_->write_attribute("t", formula_type_names[a.type]);
        if (is_formula_ref_set(a.ref.first) && is_formula_ref_set(a.ref.last)) w_->write_attribute("ref", range_to_string_unchecked(a.ref));
        if (a.type == 1) w_->write_attribute("si", number_text(a.shared_index));
    }
    if (is_formula_ref_set(a.r1)) w_->write_attribute("r1", row_col_to_string(a.r1.row, a.r1.col));
    if (is_formula_ref_set(a.r2)) w_->write_attribute("r2", row_col_to_string(a.r2.row, a.r2.col));
    for (size_t bit = 0; bit < std::size(formula_flag_names); ++bit)
        if (a.flags & (1u << bit)) w_->write_attribute(formula_flag_names[bit], "1");
    w_->close_start_tag();
    w_->write_text(alone ? std::string_view(*alone) : cell.expression(), !alone && cell.expression_escapes_kept());
    w_->end_element("f");
    if (cell.has_result()) write_v(value, cell.result_escapes_kept());
    w_->end_element("c");
}

// ---- merges, links and anchored parts --------------------------------------------

void worktable_part_xml::write_auto_filter() {
    const worktable_t::sheet_extras_t& extras = table_->sheet_extras();
    if (extras.autofilter) vex::write_autofilter(*w_, *extras.autofilter);
    if (extras.sort_state) vex::write_sort_state(*w_, *extras.sort_state);
}

void worktable_part_xml::write_merge_cells() {
    const std::vector<range_t> ranges = table_->merged_cells().get_all();
    if (ranges.empty()) return;
    w_->start_element("mergeCells");
    w_->write_attribute("count", number_text(ranges.size()));
    w_->close_start_tag();
    for (const range_t& r : ranges) {
        w_->start_element("mergeCell");
        w_->write_attribute("ref", range_text(r));
        w_->end_empty_element();
    }
    w_->end_element("mergeCells");
}

void worktable_part_xml::write_hyperlinks(uint64_t first) {
    const mta::hyperlink_list_t& links = table_->hyperlinks();
    if (links.size() == 0) return;
    w_->start_element("hyperlinks");
    w_->close_start_tag();
    uint64_t next = first;
    for (size_t i = 0; i < links.size(); ++i) {
        const mta::hyperlink_t& link = *links.at(i);
        w_->start_element("hyperlink");
        w_->write_attribute("ref", range_text(links.range_at(i)));
        if (links.is_external(i)) {
            w_->write_attribute("r:id", "rId" + std::string(number_text(next++).view()));
            if (!link.location.empty()) w_->write_attribute("location", link.location);
        } else {
            w_->write_attribute("location", links.address_at(i));
        }
        if (!link.display.empty()) w_->write_attribute("display", link.display);
        if (!link.tooltip.empty()) w_->write_attribute("tooltip", link.tooltip);
        w_->end_empty_element();
    }
    w_->end_element("hyperlinks");
}

void worktable_part_xml::write_rid(std::string_view element, const xml_part_t* child) {
    if (!child || !child->get_relationship_id()) return;
    w_->start_element(element);
    w_->write_attribute("r:id", child->get_relationship_id());
    w_->end_empty_element();
}

void worktable_part_xml::write_child_rid(std::string_view element, part_kind_enum kind) {
    for (const auto& child : part_.get_child_parts()) {
        if (child->kind() != kind || !child->get_relationship_id()) continue;
        return write_rid(element, child.get());
    }
}

void worktable_part_xml::write_drawing() { write_child_rid("drawing", part_kind_enum::drawings_part); }
void worktable_part_xml::write_legacy_drawing() { write_rid("legacyDrawing", notes_drawing_of(part_)); }
void worktable_part_xml::write_legacy_drawing_hf() { write_rid("legacyDrawingHF", header_footer_drawing_of(part_)); }
void worktable_part_xml::write_picture() { write_child_rid("picture", part_kind_enum::image_part); }

void worktable_part_xml::write_table_parts() {
    std::vector<const xml_part_t*> tables;
    for (const auto& child : part_.get_child_parts())
        if (child->kind() == part_kind_enum::table_definition_part && child->get_relationship_id())
            tables.push_back(child.get());
    if (tables.empty()) return;
    w_->start_element("tableParts");
    w_->write_attribute("count", number_text(tables.size()));
    w_->close_start_tag();
    for (const xml_part_t* t : tables) {
        w_->start_element("tablePart");
        w_->write_attribute("r:id", t->get_relationship_id());
        w_->end_empty_element();
    }
    w_->end_element("tableParts");
}

} // namespace vex
