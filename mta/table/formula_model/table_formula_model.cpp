#include "mta/table/formula_model/table_formula_model.h"

#include "errors.h"
#include "mta/formula/cell_tracker.h"
#include "mta/formula/expression_syntax.h"
#include "mta/formula/formula_cell.h"
#include "mta/formula/parser/formula_parser.h"
#include "mta/formula/parser/token_resolver.h"
#include "mta/formula/recalc_queue.h"
#include "mta/table/formula_model/name_spellers.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/table/table.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/utils/band_shift.h"
#include "run_message.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace vex::mta::formula {

namespace {

bool absent(const vex::coord_t& c) noexcept { return c.grid_id == 0 && c.row == 0 && c.col == 0; }

// A reference to a sheet the workbook lacks parses, on a grid of its own.
bool reads_unknown_sheet(const std::vector<token_t>& tokens) noexcept {
    return std::any_of(tokens.begin(), tokens.end(), [](const token_t& t) {
        if (t.opcode == op_cell_ref) return std::get<vex::coord_t>(t.operand).grid_id == unknown_sheet_grid;
        if (t.opcode != op_range_ref) return false;
        const auto& r = std::get<vex::range_t>(t.operand);
        return r.first.grid_id == unknown_sheet_grid || r.last.grid_id == unknown_sheet_grid;
    });
}

bool is_shared_master(const formula_attributes_t& a) noexcept {
    return a.type == 1 && !absent(a.ref.first) && !absent(a.ref.last);
}

bool is_shared_follower(const formula_attributes_t& a) noexcept { return a.type == 1 && !is_shared_master(a); }

bool same_tokens(const std::vector<token_t>& a, const std::vector<token_t>& b) {
    const auto same_names = [](const token_t& x, const token_t& y) {
        for (size_t i = 0; i < x.names.size(); ++i)
            if (bool(x.names[i]) != bool(y.names[i]) || (x.names[i] && *x.names[i] != *y.names[i])) return false;
        return true;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](const token_t& x, const token_t& y) {
        return x.opcode == y.opcode && x.operand == y.operand && same_names(x, y);
    });
}

std::string corners(const vex::range_t& r) {
    return std::to_string(r.first.row) + "," + std::to_string(r.first.col) + "," + std::to_string(r.last.row) + "," +
           std::to_string(r.last.col) + ")";
}

// The last message as it was before a parse that may only be tried.
class message_keeper {
public:
    message_keeper() : saved_(get_run_message().str()) {}
    ~message_keeper() { set_run_message(saved_); }
    message_keeper(const message_keeper&) = delete;
    message_keeper& operator=(const message_keeper&) = delete;

private:
    std::string saved_;
};

// Tokens of one complete expression, or nothing; never throws for the text.
bool try_parse(model_context& context, const vex::coord_t& at, std::string_view text, std::vector<token_t>& out) {
    try {
        formula_parser parser(context, at, text);
        parser.set_quiet();
        if (!parser.parse() || !is_complete_expression(parser.tokens())) return false;
        out = std::move(parser.tokens());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

struct table_formula_model::impl {
    formula_model_context* context;
    std::unordered_map<uint32_t, shared_formula_entry_t> shared;
    std::unordered_map<uint64_t, std::string> follower_texts;  // by row and column
    // Groups whose first cell went or stands alone: the only ones a rename
    // looks at for followers reading a kept text.
    std::unordered_set<uint32_t> masterless;
    name_spellers_t spellers;

    Table& table() const { return context->table(); }
    int32_t own_grid() const { return context->get_sheet_id(); }

    // A sheet of the same workbook by grid id; null for others and unknown ids.
    Table* sheet_of(int32_t grid) const {
        Table& own = table();
        if (grid == own_grid()) return &own;
        if (!own.registered() || grid < 1) return nullptr;
        return get_table_registry().find_in_workbook(uint32_t(grid), own.workbook_number());
    }

    formula_cell* cell_at(const vex::range_t& r) const {
        Table* sheet = sheet_of(r.first.grid_id);
        return sheet ? sheet->get_formula_cell(r.first.row, r.first.col) : nullptr;
    }

    // The cells of the listed ranges that can be evaluated, in list order.
    std::vector<formula_cell*> collect(const std::vector<vex::range_t>& list) const {
        std::vector<formula_cell*> cells;
        cells.reserve(list.size());
        for (const auto& r : list)
            if (formula_cell* cell = cell_at(r); cell && cell->parsed) cells.push_back(cell);
        return cells;
    }

    static void evaluate(const std::vector<formula_cell*>& cells) {
        if (cells.size() < 2) {
            for (formula_cell* cell : cells) cell->evaluate();
            return;
        }
        recalc_batch(cells, 0).run();
    }

    void set_formula(formula_cell* cell) {
        const formula_attributes_t& a = cell->attributes();
        if (is_shared_follower(a)) {
            const auto it = shared.find(a.shared_index);
            if (it == shared.end()) throw formula_exception("Shared formula not found.");
            ++it->second.use_count;
        } else if (is_shared_master(a)) {
            shared[a.shared_index] = {1, std::string(cell->expression()), cell->position()};
        }
        // Filing releases the cell it replaces, so the tracker forgets the old
        // formula before it hears of the new one at the same place.
        context->store_formula_cell(cell);
        track(cell);
    }

    // A formula kept unparsed (an operator the parser lacks, as "&") still reads
    // its references: they are tracked from the lenient reading, so that a
    // change drops its result; its tokens stay empty, and it is never evaluated.
    // A batch, when given, files the cell with the others it holds.
    void track(formula_cell* cell, cell_tracker_t::batch_t* batch = nullptr) {
        if (!cell->parsed) {
            track_unparsed(cell, batch);
            return;
        }
        cell->unread_text = 0;
        respell(cell);
        try {
            register__(cell, batch);
        } catch (const std::exception&) {
            // A range the tracker cannot hold: the formula stays, untracked.
            cell->parsed = 0;
        }
    }

    // Filed by what the cell spells as it now reads.
    void respell(formula_cell* cell) {
        if (!cell->parsed) {
            // Its tokens are not kept: the calls it makes are read from its text.
            const formula_text_t text = text_of(*cell);
            if (text.view().empty()) return;
            std::vector<token_t> read;
            try {
                const message_keeper keep;
                read = formula::read_leniently(*context, cell->position(), text.view());
            } catch (const std::exception&) {
                // Filed by its words alone.
            }
            spellers.file(cell, text.view(), read, true);
            return;
        }
        // "Sheet1!#REF!" names its sheet in its text alone.
        if (reads_unknown_sheet(cell->tokens) || reads_missing_table(*cell) ||
            cell->expression().find("!#REF!") != std::string_view::npos)
            spellers.file(cell, text_of(*cell).view(), cell->tokens);
        else spellers.file(cell, cell->tokens);
    }

    // A structured reference to a table or column the workbook lacks reads
    // nothing until one comes.
    bool reads_missing_table(const formula_cell& cell) const {
        return std::any_of(cell.tokens.begin(), cell.tokens.end(), [&](const token_t& t) {
            if (t.opcode != op_table_ref) return false;
            const auto& ref = std::get<structured_reference_t>(t.operand);
            return context
                ->resolve_table_reference(cell.position(), ref.table, ref.items, ref.first_column, ref.second_column)
                .empty();
        });
    }

    // A shared cell without a text of its own reads as its master's text moved to its cell.
    std::optional<std::string> follower_text(const formula_cell& cell) const {
        const formula_attributes_t& a = cell.attributes();
        if (a.type != 1) return std::nullopt;
        const auto it = shared.find(a.shared_index);
        if (it == shared.end() || it->second.text.empty()) return std::nullopt;
        return moved_formula_text(*context, it->second.master, cell.position(), it->second.text);
    }

    formula_text_t text_of(const formula_cell& cell) const {
        if (cell.expression().empty())
            if (std::optional<std::string> made = follower_text(cell)) return formula_text_t(std::move(*made));
        return formula_text_t(cell.expression());
    }

    void track_unparsed(formula_cell* cell, cell_tracker_t::batch_t* batch = nullptr) {
        if (cell->state() == formula_cell_state::registered) return;
        const formula_text_t text = text_of(*cell);
        if (text.view().empty()) return;
        bool read = false;
        try {
            read_leniently(*cell, text);
            read = true;
        } catch (const std::exception&) {
            // Nothing to track: the formula stays as it was kept.
        }
        spellers.file(cell, text.view(), cell->tokens, true);
        try {
            if (read) register__(cell, batch);
        } catch (const std::exception&) {
            // Nothing to track: the formula stays as it was kept.
        }
        cell->tokens.clear();
    }

    // Whether a cell kept unparsed is filed as its text now reads leniently.
    bool unparsed_files_as_read(formula_cell* cell) {
        return ask_as_read(cell, [](formula_cell* c) { return get_cell_tracker().files_as_read(c); });
    }

    // What the tracker answers of a cell kept unparsed, its text read
    // leniently for the question; false when it reads as nothing.
    template <class Ask>
    bool ask_as_read(formula_cell* cell, Ask ask) {
        const formula_text_t text = text_of(*cell);
        if (text.view().empty()) return false;
        bool answer = false;
        try {
            read_leniently(*cell, text);
            answer = ask(cell);
        } catch (const std::exception&) {
            // Read as nothing: filed anew.
        }
        cell->tokens.clear();
        return answer;
    }

    // The tokens of the lenient reading, held while the cell is filed or
    // compared with its filing.
    void read_leniently(formula_cell& cell, std::string_view text) {
        const message_keeper keep;
        formula_parser lenient(*context, cell.position(), text);
        lenient.set_lenient();
        lenient.set_quiet();
        lenient.parse();
        // What the reading cannot show is no reason to keep a result for
        // ever: filed as unsure, it goes with any change.
        cell.unread_text = lenient.syntax_fault() || lenient.approximated();
        if (!lenient.syntax_fault()) cell.tokens = std::move(lenient.tokens());
    }

    static void register__(formula_cell* cell, cell_tracker_t::batch_t* batch) {
        if (batch) batch->add(cell);
        else get_cell_tracker().register_formula(cell);
    }
};

table_formula_model::table_formula_model(formula_model_context& context)
    : impl_(std::make_unique<impl>(impl{&context, {}, {}, {}, {}})) {}

table_formula_model::~table_formula_model() = default;

formula_model_context& table_formula_model::context() const noexcept {
    return *impl_->context;
}

std::unordered_set<vex::range_t> table_formula_model::query_tracked_ranges(const vex::range_t& range) {
    const auto found = get_cell_tracker().query(range);
    return {found.begin(), found.end()};
}

void table_formula_model::set_formula(const vex::coord_t& position, std::string_view text) {
    auto cell = std::make_unique<formula_cell>(impl_->context, position, text);
    const std::string_view stored = cell->expression();
    const auto refused = [&] { return formula_exception("Error in parsing formula: " + std::string(stored)); };
    std::optional<formula_parser> parser;
    try {
        parser.emplace(*impl_->context, position, stored);
    } catch (const general_error&) {
        // A sheet without a reference mode the parser knows reads no formula.
        parser.reset();
    }
    if (parser) {
        parser->set_quiet();  // a text stored unparsed leaves the last message as it was
        bool parsed;
        try {
            parsed = parser->parse();
        } catch (const std::runtime_error& e) {
            throw formula_exception(e.what());
        }
        if (parsed) {
            if (!is_complete_expression(parser->tokens())) throw refused();
            cell->tokens = std::move(parser->tokens());
            cell->parsed = 1;
        } else {
            // Only the vocabulary may be missing: the syntax must hold.
            formula_parser lenient(*impl_->context, position, stored);
            lenient.set_lenient();
            lenient.parse();
            if (lenient.syntax_fault() || !is_complete_expression(lenient.tokens())) throw refused();
        }
    }
    set_formula(cell.get());
    cell.release();  // owned by its column now
}

void table_formula_model::set_formula(formula_cell* cell) {
    impl_->set_formula(cell);
}

void table_formula_model::track_moved(formula_cell* cell) {
    // Relative parts of the tokens are offsets from the old cell. A shared
    // follower without a text keeps its master's tokens, relative wherever it stands.
    cell->set_owner(impl_->context);
    std::vector<token_t> tokens;
    if (!cell->expression().empty() && try_parse(*impl_->context, cell->position(), cell->expression(), tokens)) {
        cell->tokens = std::move(tokens);
        cell->parsed = 1;
    }
    impl_->track(cell);
}

void table_formula_model::untrack(formula_cell* cell) {
    if (cell->state() != formula_cell_state::registered) return;
    get_cell_tracker().unregister_formula(cell);
    cell->set_state(formula_cell_state::created);
}

void table_formula_model::respell(formula_cell* cell) {
    impl_->respell(cell);
}

void table_formula_model::refile(formula_cell* cell, cell_tracker_t::batch_t* batch) {
    untrack(cell);
    reread(cell);
    impl_->track(cell, batch);
}

bool table_formula_model::files_as_read(formula_cell* cell) {
    const bool was_parsed = cell->parsed;
    const bool parsed = reread(cell);
    // Filed by its tokens once they are read, by the words of its text while
    // it is kept unparsed: a filing kept from the other reading misses edits.
    if (parsed || was_parsed) impl_->respell(cell);
    return parsed ? get_cell_tracker().files_as_read(cell) : impl_->unparsed_files_as_read(cell);
}

bool table_formula_model::reread(formula_cell* cell) {
    const formula_text_t text = impl_->text_of(*cell);
    std::vector<token_t> tokens;
    if (text.view().empty()) return cell->parsed;
    if (try_parse(*impl_->context, cell->position(), text, tokens)) {
        cell->tokens = std::move(tokens);
        cell->parsed = 1;
        cell->unread_text = 0;  // read whole now: filed as unsure no longer
    } else if (cell->parsed) {
        // Kept unparsed, as the text would be written now: one cell of a sheet
        // the workbook lacked may have become a span of sheets, which only the
        // lenient reading shows.
        cell->tokens.clear();
        cell->parsed = 0;
    }
    return cell->parsed;
}

void table_formula_model::track_unparsed(formula_cell* cell) {
    impl_->track_unparsed(cell);
}

bool table_formula_model::track_unparsed_gains(formula_cell* cell) {
    if (cell->parsed || cell->state() != formula_cell_state::registered) return false;
    return impl_->ask_as_read(cell, [](formula_cell* c) { return get_cell_tracker().file_gains(c); });
}

void table_formula_model::import_formula(formula_cell* cell) {
    cell->set_owner(impl_->context);
    impl_->context->store_formula_cell(cell);
}

void table_formula_model::parse_imported() {
    impl& m = *impl_;
    const message_keeper keep;
    cell_tracker_t::batch_t batch(get_cell_tracker());  // files the sheet's formulas at the end
    const int32_t grid = m.own_grid();
    // None for a group whose text does not parse.
    std::unordered_map<uint32_t, std::optional<std::vector<token_t>>> master_tokens;
    const auto parse_one = [&](formula_cell* cell, bool followers) {
        if (cell->parsed || cell->state() == formula_cell_state::registered) return;
        formula_attributes_t a = cell->attributes();
        if (is_shared_follower(a) != followers) return;
        cell->set_owner(m.context);
        if (a.type == 1 || a.type == 2) {
            // The reader knows no grid; the tracker files a range by its grid.
            a.ref.first.grid_id = a.ref.last.grid_id = absent(a.ref.first) ? 0 : grid;
            cell->set_attributes(a);
        }
        std::vector<token_t> tokens;
        if (followers) {
            const auto entry = m.shared.find(a.shared_index);
            if (entry == m.shared.end()) return;
            ++entry->second.use_count;
            // Kept unparsed, a follower is tracked as its own text reads.
            if (!cell->expression().empty()) {
                if (!try_parse(*m.context, cell->position(), cell->expression(), tokens))
                    return m.track_unparsed(cell, &batch);
            } else {
                // Relative parts are offsets from the cell: the master's tokens
                // serve every follower.
                auto cached = master_tokens.find(a.shared_index);
                if (cached == master_tokens.end()) {
                    std::vector<token_t> parsed;
                    std::optional<std::vector<token_t>> read;
                    if (try_parse(*m.context, entry->second.master, entry->second.text, parsed)) read = std::move(parsed);
                    cached = master_tokens.emplace(a.shared_index, std::move(read)).first;
                }
                if (!cached->second) return m.track_unparsed(cell, &batch);
                tokens = *cached->second;
            }
        } else {
            if (is_shared_master(a)) m.shared[a.shared_index] = {1, std::string(cell->expression()), cell->position()};
            if (!try_parse(*m.context, cell->position(), cell->expression(), tokens)) {
                m.track_unparsed(cell, &batch);
                return;
            }
        }
        cell->tokens = std::move(tokens);
        cell->parsed = 1;
        m.track(cell, &batch);
    };
    m.table().for_each_formula_cell([&](formula_cell* cell) { parse_one(cell, false); });
    m.table().for_each_formula_cell([&](formula_cell* cell) { parse_one(cell, true); });
}

void table_formula_model::remove_formulas(const vex::range_t& range) {
    const int32_t own = impl_->own_grid();
    if (range.first.grid_id != own)
        throw std::invalid_argument("the range:(" + corners(range) +
                                    " is not on the current grid while removing formulas in a range.");
    if (range.last.grid_id != range.first.grid_id)
        throw std::invalid_argument("the range:(" + corners(range) +
                                    " is not on the same grid while removing formulas in a range.");
    cell_tracker_t& tracker = get_cell_tracker();
    for (const auto& f : tracker.query(range)) {
        formula_cell* cell = impl_->context->get_formula_cell({own, f.first.row, f.first.col, 1, 0, 0});
        if (cell) untrack(cell);
    }
}

std::vector<token_t>& table_formula_model::parse_formula(std::vector<token_t>& out, const vex::coord_t& position,
                                                         std::string_view text) {
    formula_parser parser(*impl_->context, position, text);
    if (parser.parse())
        out = std::move(parser.tokens());
    else
        out.clear();
    return out;
}

void table_formula_model::recalc(const std::unordered_set<vex::range_t>& changed, bool evaluate) {
    const std::vector<vex::range_t> list = get_cell_tracker().get_dirty_ranges(changed);
    if (list.empty()) return;
    if (!evaluate) {
        // A dropped result is remembered on its sheet, so that a save can ask
        // readers to recompute. Formulas left without a result are parked: the
        // next change need not find them again.
        std::vector<vex::range_t> parked;
        parked.reserve(list.size());
        for (const auto& r : list) {
            Table* sheet = impl_->sheet_of(r.first.grid_id);
            formula_cell* cell = sheet ? sheet->get_formula_cell(r.first.row, r.first.col) : nullptr;
            if (!cell) continue;
            sheet->drop_formula_result(*cell);
            cell->mark_parked();
            parked.push_back(r);
        }
        get_cell_tracker().park(parked);
        return;
    }
    impl::evaluate(impl_->collect(list));
}

void table_formula_model::recalc_all() {
    impl::evaluate(impl_->collect(get_cell_tracker().order_all(*impl_->context)));
}

void table_formula_model::recalc_range(const vex::range_t& range) {
    impl::evaluate(impl_->collect(get_cell_tracker().order_range(range, *impl_->context)));
}

void table_formula_model::follow_shared_master(uint32_t shared_index, std::string_view text, const vex::coord_t& at) {
    const auto it = impl_->shared.find(shared_index);
    if (it == impl_->shared.end()) return;
    it->second.text = text;
    it->second.master = at;
}

std::optional<std::string> table_formula_model::orphaned_follower_text(const formula_cell& cell) const {
    const formula_attributes_t& a = cell.attributes();
    if (!is_shared_follower(a)) return std::nullopt;
    const auto it = impl_->shared.find(a.shared_index);
    if (it == impl_->shared.end()) return std::nullopt;
    const vex::coord_t& at = it->second.master;
    const formula_cell* master = impl_->table().get_formula_cell(at.row, at.col);
    if (master && is_shared_master(master->attributes()) && master->attributes().shared_index == a.shared_index)
        return std::nullopt;
    return shared_text(cell);
}

void table_formula_model::forget_names(formula_cell* cell) {
    impl_->spellers.forget(cell);
}

bool table_formula_model::spells_names() const noexcept {
    return !impl_->spellers.empty();
}

std::vector<formula_cell*> table_formula_model::spelling(std::string_view name) const {
    return impl_->spellers.spelling(name);
}

std::vector<formula_cell*> table_formula_model::reading_table(const std::string& folded) const {
    return impl_->spellers.reading_table(folded);
}

void table_formula_model::report_spellings_to(spelling_sheets_t* index) {
    impl_->spellers.report_to(index, index ? &impl_->table() : nullptr);
}

formula_text_t table_formula_model::text_of(const formula_cell& cell) const {
    return impl_->text_of(cell);
}

std::optional<std::string> table_formula_model::shared_text(const formula_cell& cell) const {
    if (cell.attributes().type != 1) return std::nullopt;
    if (!cell.expression().empty()) return std::string(cell.expression());
    return impl_->follower_text(cell);
}

bool table_formula_model::has_orphaned_groups() const {
    return std::any_of(impl_->shared.begin(), impl_->shared.end(),
                       [&](const auto& group) { return !shared_master(group.first); });
}

const formula_cell* table_formula_model::shared_master(uint32_t shared_index) const {
    const auto it = impl_->shared.find(shared_index);
    if (it == impl_->shared.end()) return nullptr;
    const vex::coord_t& at = it->second.master;
    const formula_cell* master = impl_->table().get_formula_cell(at.row, at.col);
    if (!master) return nullptr;
    const formula_attributes_t& a = master->attributes();
    return is_shared_master(a) && a.shared_index == shared_index && a.ref.holds(master->position()) ? master : nullptr;
}

void table_formula_model::master_leaving(const formula_cell& cell) {
    if (is_shared_master(cell.attributes())) impl_->masterless.insert(cell.attributes().shared_index);
}

std::vector<uint32_t> table_formula_model::rewrite_orphaned_groups(
    const std::function<std::optional<std::string>(const vex::coord_t&, std::string_view)>& rewrite) {
    std::vector<uint32_t> changed;
    for (auto it = impl_->masterless.begin(); it != impl_->masterless.end();) {
        const uint32_t index = *it;
        const auto entry = impl_->shared.find(index);
        // A group gone, or led by a first cell again, is heard of anew when that cell goes.
        if (entry == impl_->shared.end() || shared_master(index)) {
            it = impl_->masterless.erase(it);
            continue;
        }
        ++it;
        if (entry->second.text.empty()) continue;
        if (std::optional<std::string> text = rewrite(entry->second.master, entry->second.text)) {
            entry->second.text = std::move(*text);
            changed.push_back(index);
        }
    }
    return changed;
}

void table_formula_model::stand_alone(formula_cell& cell, std::string text) {
    formula_attributes_t a = cell.attributes();
    const formula_attributes_t normal;
    a.type = normal.type;
    a.shared_index = normal.shared_index;
    a.ref = normal.ref;
    cell.set_attributes(a);
    cell.set_expression(std::move(text));
}

const shared_formula_entry_t* table_formula_model::shared_formula(uint32_t shared_index) const {
    const auto it = impl_->shared.find(shared_index);
    return it == impl_->shared.end() ? nullptr : &it->second;
}

const char* table_formula_model::keep_follower_text(const vex::coord_t& at, std::string text) {
    std::string& kept = impl_->follower_texts[uint64_t(uint32_t(at.row)) << 32 | uint32_t(at.col)];
    if (kept != text) kept = std::move(text);
    return kept.c_str();
}

shared_shift_t::shared_shift_t(table_formula_model& model, int32_t grid, const band_shift_t& shift, bool own_sheet)
    : model_(&model), grid_(grid), shift_(&shift) {
    for (const auto& [index, entry] : model.impl_->shared) {
        group_t& g = groups_[index] = {entry.text, entry.master, false};
        const formula_cell* master = model.shared_master(index);
        if (!master) {
            g.touched = true;
            continue;
        }
        const vex::coord_t& at = master->position();
        g.touched = (own_sheet && shift.in_band(at) && shift.along(at) >= shift.first) ||
                    shift_formula_text(model.context(), at, master->expression(), grid, shift, false).has_value();
    }
}

bool shared_shift_t::follows(const formula_cell& cell) const {
    const formula_attributes_t& a = cell.attributes();
    return is_shared_follower(a) && groups_.count(a.shared_index);
}

void shared_shift_t::keep(formula_cell& cell, const vex::coord_t& from, bool changed) {
    const auto it = groups_.find(cell.attributes().shared_index);
    if (it == groups_.end() || !is_shared_follower(cell.attributes())) return;
    // A parsed follower whose tokens stay names what it named, as its master does.
    if (!changed && !it->second.touched && cell.parsed) return;
    kept_.push_back({&cell, from});
}

std::optional<std::string> shared_shift_t::text_before(const formula_cell& cell, const vex::coord_t& from) const {
    const auto it = groups_.find(cell.attributes().shared_index);
    if (it == groups_.end() || it->second.text.empty()) return std::nullopt;
    return moved_formula_text(model_->context(), it->second.master, from, it->second.text);
}

std::optional<std::string> shared_shift_t::text_after__(const formula_cell& cell, const vex::coord_t& from) const {
    if (!cell.expression().empty()) return std::string(cell.expression());  // rewritten with the others
    std::optional<std::string> before = text_before(cell, from);
    if (!before) return std::nullopt;
    std::optional<std::string> after = shift_formula_text(model_->context(), from, *before, grid_, *shift_, false);
    return after ? std::move(after) : std::move(before);
}

void shared_shift_t::settle() {
    for (const auto& [cell, from] : kept_) {
        const formula_cell* master = model_->shared_master(cell->attributes().shared_index);
        const bool in_range = master && master->attributes().ref.holds(cell->position());
        // Tokens equal to the master's, offsets and all, read as its text does:
        // the common case of a group that moved as one is settled without a parse.
        if (in_range && cell->expression().empty() && cell->parsed && master->parsed &&
            same_tokens(cell->tokens, master->tokens))
            continue;
        std::optional<std::string> text = text_after__(*cell, from);
        if (!text) continue;
        if (in_range && moved_formula_text(model_->context(), master->position(), cell->position(),
                                           master->expression()) == *text)
            continue;
        table_formula_model::stand_alone(*cell, std::move(*text));
    }
    kept_.clear();
}

} // namespace vex::mta::formula
