#include "mta/table/utils/defined_names/defined_name_store.h"

#include "coord.h"
#include "mta/table/table/table.h"
#include "mta/formula/formula_error.h"
#include "mta/formula/parser/formula_lexer.h"
#include "mta/table/formula_model/name_spellers.h"
#include "mta/table/formula_model/reference_rewrite.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/range_check.h"
#include "sheet_limits.h"
#include "unicode.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>

namespace vex::mta {

size_t defined_name_key_hash::operator()(const defined_name_key_t& key) const noexcept {
    uint64_t h = fnv1a_64(reinterpret_cast<const unsigned char*>(key.name.data()), key.name.size());
    const int32_t id = static_cast<int32_t>(key.local_sheet_id);
    hash_combine(h, hash_values(&id, 1));
    return static_cast<size_t>(h);
}

defined_name_entry_t* defined_name_store_t::add(const defined_name_key_t& key, std::string_view expression,
                                                std::vector<formula::token_t>&& tokens) {
    std::unique_lock lock(mutex_);
    return add__(key, expression, std::move(tokens));
}

defined_name_entry_t* defined_name_store_t::add_new_name(const defined_name_key_t& key, std::string_view expression,
                                                         std::vector<formula::token_t>&& tokens) {
    std::unique_lock lock(mutex_);
    // The first name of each spelling but for case answers for all of them.
    const std::string folded = utf8_fold_case(key.name);
    if (folded_index_.contains({folded, key.local_sheet_id})) return nullptr;
    return add__(key, expression, std::move(tokens));
}

defined_name_entry_t* defined_name_store_t::add__(const defined_name_key_t& key, std::string_view expression,
                                                  std::vector<formula::token_t>&& tokens) {
    if (index_.count(key) != 0) return nullptr;
    // A reading that met the name undefined, or another of its spelling, is stale.
    forget_readings__();
    // Filled in place: GCC 12 at -O3 takes the moved-from props of a braced
    // temporary for uninitialised (-Wmaybe-uninitialized).
    auto node = std::make_unique<node_t>();
    node->name = key.name;
    node->folded = utf8_fold_case(key.name);
    node->local_sheet_id = key.local_sheet_id;
    node->entry.expression = expression;
    node->entry.tokens = std::move(tokens);
    node->order = added_++;
    node_t* raw = node.get();
    names_.push_back(std::move(node));
    index__(*raw);
    file__(*raw);
    respell__(*raw);
    return &raw->entry;
}

bool defined_name_store_t::add_with_props(const defined_name_key_t& key, const defined_name_props_t& props,
                                          std::string_view expression, std::vector<formula::token_t>&& tokens) {
    std::unique_lock lock(mutex_);
    defined_name_entry_t* entry = add__(key, expression, std::move(tokens));
    if (!entry) return false;
    entry->props = props;
    return true;
}

size_t defined_name_store_t::size() const noexcept {
    std::shared_lock lock(mutex_);
    return names_.size();
}

bool defined_name_store_t::contains(const defined_name_key_t& key) const {
    std::shared_lock lock(mutex_);
    return lookup__(key) != nullptr;
}

defined_name_store_t::node_t* defined_name_store_t::lookup__(const defined_name_key_t& key) const {
    if (const auto it = index_.find(key); it != index_.end()) return it->second;
    const std::string folded = utf8_fold_case(key.name);
    const auto it = folded_index_.find({folded, key.local_sheet_id});
    return it == folded_index_.end() ? nullptr : it->second;
}

std::string_view defined_name_store_t::name_at(size_t n) const noexcept {
    std::shared_lock lock(mutex_);
    return n < names_.size() ? std::string_view(names_[n]->name) : std::string_view();
}

std::string_view defined_name_store_t::expression_at(size_t n) const noexcept {
    std::shared_lock lock(mutex_);
    return n < names_.size() ? std::string_view(names_[n]->entry.expression) : std::string_view();
}

uint32_t defined_name_store_t::local_sheet_id_at(size_t n) const noexcept {
    std::shared_lock lock(mutex_);
    return n < names_.size() ? names_[n]->local_sheet_id : workbook_scope;
}

bool defined_name_store_t::contains_name(std::string_view name) const noexcept {
    std::shared_lock lock(mutex_);
    try {
        return name_counts_.contains(std::string(name));
    } catch (...) {
        // Without memory for the key the names are walked.
    }
    return std::any_of(names_.begin(), names_.end(), [&](const auto& node) { return node->name == name; });
}

bool defined_name_store_t::contains_name_in_any_case(std::string_view name) const noexcept {
    std::shared_lock lock(mutex_);
    try {
        return folded_counts_.contains(utf8_fold_case(name));
    } catch (...) {
        // Without memory for the key the names are walked.
    }
    return std::any_of(names_.begin(), names_.end(), [&](const auto& node) { return utf8_iequals(node->name, name); });
}

bool defined_name_store_t::contains_name_beside(std::string_view name, uint32_t scope) const {
    std::shared_lock lock(mutex_);
    const std::string folded = utf8_fold_case(name);
    const auto counted = folded_counts_.find(folded);
    if (counted == folded_counts_.end()) return false;
    // One name a scope and spelling, unless a file repeated one in another case.
    if (case_repeats_ == 0) return counted->second > (folded_index_.contains({folded, scope}) ? 1u : 0u);
    return std::any_of(names_.begin(), names_.end(),
                       [&](const auto& node) { return node->local_sheet_id != scope && node->folded == folded; });
}

const defined_name_entry_t* defined_name_store_t::find(const defined_name_key_t& key) const {
    std::shared_lock lock(mutex_);
    const node_t* node = lookup__(key);
    return node ? &node->entry : nullptr;
}

defined_name_entry_t* defined_name_store_t::find(const defined_name_key_t& key) {
    std::shared_lock lock(mutex_);
    node_t* node = lookup__(key);
    return node ? &node->entry : nullptr;
}

void defined_name_store_t::set_tokens(const defined_name_key_t& key, std::vector<formula::token_t>&& tokens) {
    std::unique_lock lock(mutex_);
    if (node_t* node = lookup__(key)) {
        // Kept without tokens before and after, it stays filed by its text:
        // a load reading every such name again pays nothing for it.
        const bool refile = !node->entry.tokens.empty() || !tokens.empty();
        if (refile) unfile__(*node);
        node->entry.tokens = std::move(tokens);
        if (refile) file__(*node);
    }
    forget_readings__();
}

std::shared_ptr<const name_reading_t> defined_name_store_t::reading_of(
    const defined_name_entry_t& entry, uint32_t sheet, const std::function<name_reading_t()>& work_out) const {
    uint64_t since = 0;
    {
        std::lock_guard lock(readings_mutex_);
        if (const auto it = readings_.find(&entry); it != readings_.end()) {
            if (it->second.lasting) return it->second.lasting;
            for (const auto& [at, reading] : it->second.by_sheet)
                if (at == sheet) return reading;
        }
        since = names_changed_;
    }
    auto reading = std::make_shared<const name_reading_t>(work_out());
    std::lock_guard lock(readings_mutex_);
    if (since != names_changed_) return reading;
    kept_readings_t& kept = readings_[&entry];
    if (reading->lasting)
        kept.lasting = reading;
    else
        kept.by_sheet.emplace_back(sheet, reading);
    return reading;
}

void defined_name_store_t::forget_readings__() const {
    std::lock_guard lock(readings_mutex_);
    readings_.clear();
    ++names_changed_;
}

const std::vector<formula::token_t>* defined_name_store_t::tokens_of(const defined_name_key_t& key) const {
    const defined_name_entry_t* entry = find(key);
    return entry ? &entry->tokens : nullptr;
}

std::vector<formula::named_expression_t> defined_name_store_t::tokenless_names(std::string_view folded) const {
    std::shared_lock lock(mutex_);
    std::vector<formula::named_expression_t> out;
    if (!folded.empty()) {
        // Such a name is filed under the words of its text.
        if (const auto it = readers_.find(std::string(folded)); it != readers_.end())
            for (const link_t& link : it->second)
                if (link.spelled) out.push_back({link.reader->name, link.reader->local_sheet_id});
        return out;
    }
    for (const auto& node : names_)
        if (node->entry.tokens.empty() && !node->entry.expression.empty())
            out.push_back({node->name, node->local_sheet_id});
    return out;
}

std::vector<formula::named_expression_t> defined_name_store_t::names_spelling(
    std::string_view folded, const std::function<bool(std::string_view)>& may_spell) {
    std::unique_lock lock(mutex_);
    respell_due__();
    std::vector<formula::named_expression_t> out;
    if (const auto it = spellings_.find(std::string(folded)); it != spellings_.end())
        for (const auto& [order, node] : it->second)
            if (may_spell(node->entry.expression)) out.push_back({node->name, node->local_sheet_id});
    return out;
}

void defined_name_store_t::respell_due__() {
    for (node_t* node : respell_due_) {
        node->respell_due = false;
        respell__(*node);
    }
    respell_due_.clear();
}

std::vector<formula::named_expression_t> defined_name_store_t::token_readers(std::string_view folded) const {
    std::shared_lock lock(mutex_);
    std::vector<formula::named_expression_t> out;
    if (const auto it = readers_.find(std::string(folded)); it != readers_.end())
        for (const link_t& link : it->second)
            if (!link.spelled) out.push_back({link.reader->name, link.reader->local_sheet_id});
    return out;
}

std::vector<formula::named_expression_t> defined_name_store_t::table_readers() const {
    std::shared_lock lock(mutex_);
    std::vector<formula::named_expression_t> out;
    out.reserve(table_readers_.size());
    for (const node_t* node : table_readers_) out.push_back({node->name, node->local_sheet_id});
    return out;
}

bool defined_name_store_t::erase(const defined_name_key_t& key) {
    std::unique_lock lock(mutex_);
    const auto it = index_.find(key);
    if (it == index_.end()) return false;
    node_t* node = it->second;
    unfile__(*node);
    respell__(*node, true);
    if (node->respell_due) std::erase(respell_due_, node);
    // The keys view the node's texts: they go first.
    index_.erase(it);
    unindex_counts__(*node);
    const auto first = folded_index_.find(node->folded_key());
    const bool first_of_spelling = first != folded_index_.end() && first->second == node;
    if (first_of_spelling) folded_index_.erase(first);
    else if (case_repeats_ > 0) --case_repeats_;
    const std::string folded = node->folded;
    forget_readings__();
    // The names keep the order they came in: the node is found by its number.
    names_.erase(std::lower_bound(names_.begin(), names_.end(), node->order,
                                  [](const auto& n, uint64_t order) { return n->order < order; }));
    if (first_of_spelling && case_repeats_ > 0) {
        // Another name of the spelling, in another case, now answers for it.
        const auto next = std::find_if(names_.begin(), names_.end(), [&](const auto& n) {
            return n->local_sheet_id == key.local_sheet_id && n->folded == folded;
        });
        if (next != names_.end()) {
            folded_index_.emplace((*next)->folded_key(), next->get());
            --case_repeats_;
        }
    }
    return true;
}

void defined_name_store_t::remove_local_names(uint32_t sheet_id) {
    // The workbook scope is no sheet's id.
    if (sheet_id == workbook_scope) return;
    std::unique_lock lock(mutex_);
    std::vector<node_t*> going;
    for (const auto& n : names_)
        if (n->local_sheet_id == sheet_id) going.push_back(n.get());
    unfile__(going);
    std::erase_if(respell_due_, [&](const node_t* node) { return node->local_sheet_id == sheet_id; });
    for (node_t* node : going) respell__(*node, true);
    const auto removed = std::erase_if(names_, [&](const auto& n) { return n->local_sheet_id == sheet_id; });
    if (!removed) return;
    rebuild_index__();
    forget_readings__();
}

void defined_name_store_t::rebuild_index__() {
    index_.clear();
    folded_index_.clear();
    case_repeats_ = 0;
    name_counts_.clear();
    folded_counts_.clear();
    for (const auto& n : names_) index__(*n);
}

void defined_name_store_t::index__(node_t& node) {
    index_.emplace(node.key(), &node);
    if (!folded_index_.emplace(node.folded_key(), &node).second) ++case_repeats_;
    ++name_counts_[node.name];
    ++folded_counts_[node.folded];
}

void defined_name_store_t::unindex_counts__(const node_t& node) {
    const auto drop = [](std::unordered_map<std::string, uint32_t>& counts, const std::string& key) {
        if (const auto it = counts.find(key); it != counts.end() && --it->second == 0) counts.erase(it);
    };
    drop(name_counts_, node.name);
    drop(folded_counts_, node.folded);
}

void defined_name_store_t::file__(node_t& node) {
    const auto file = [&](std::string folded, uint32_t scope, bool spelled) {
        std::vector<link_t>& links = readers_[folded];
        // The node's own links are the last ones: it is filed in one go.
        bool filed = false;
        for (auto it = links.rbegin(); it != links.rend() && it->reader == &node; ++it) {
            if (it->scope == scope) return;
            filed = true;
        }
        if (!filed) node.filed_under.push_back(std::move(folded));
        links.push_back({&node, scope, spelled});
    };
    const std::vector<formula::token_t>& tokens = node.entry.tokens;
    // Kept without tokens, a name is read from its text.
    if (tokens.empty() ? node.entry.expression.find('[') != std::string::npos
                       : std::any_of(tokens.begin(), tokens.end(),
                                     [](const formula::token_t& t) { return t.opcode == formula::op_table_ref; }))
        table_readers_.push_back(&node);
    if (!tokens.empty()) {
        for (const formula::token_t& t : tokens)
            if (t.opcode == formula::op_name) {
                const auto& name = std::get<formula::named_expression_t>(t.operand);
                file(utf8_fold_case(name.name), name.scope, false);
            }
        return;
    }
    for (const std::string_view word : formula::name_words(node.entry.expression)) file(utf8_fold_case(word), 0, true);
}

void defined_name_store_t::unfile__(node_t& node) {
    unfile__(std::vector<node_t*>{&node});
}

void defined_name_store_t::unfile__(const std::vector<node_t*>& nodes) {
    // At once: many names filed under one word (a sheet a whole chain reads)
    // leave it in one pass over its links.
    const std::unordered_set<const node_t*> going(nodes.begin(), nodes.end());
    std::erase_if(table_readers_, [&](const node_t* n) { return going.contains(n); });
    std::unordered_set<std::string> words;
    for (node_t* node : nodes) {
        words.insert(std::make_move_iterator(node->filed_under.begin()), std::make_move_iterator(node->filed_under.end()));
        node->filed_under.clear();
    }
    for (const std::string& folded : words) {
        const auto it = readers_.find(folded);
        if (it == readers_.end()) continue;
        std::erase_if(it->second, [&](const link_t& link) { return going.contains(link.reader); });
        if (it->second.empty()) readers_.erase(it);
    }
}

void defined_name_store_t::respell__(node_t& node, bool gone) {
    std::vector<std::string> spells = gone ? std::vector<std::string>() : formula::text_spellings(node.entry.expression, false);
    if (spells == node.spells) return;  // a shift's rewrite keeps the sheets and tables a text spells
    for (const std::string& folded : node.spells) {
        const auto it = spellings_.find(folded);
        if (it == spellings_.end()) continue;
        it->second.erase(node.order);
        if (it->second.empty()) spellings_.erase(it);
    }
    for (const std::string& folded : spells) spellings_[folded].emplace(node.order, &node);
    node.spells = std::move(spells);
}

void defined_name_store_t::on_insert_rows(Table& table, int first_col, int last_col, int row, int count) {
    range_check_t check(table);
    // Checked on a copy: the names move by the count the cells move by.
    int checked = count;
    if (!check.check_insert_rows(row, checked) || !check.check_col_range(first_col, last_col)) return;
    on_shift(table, band_shift_t::inserting(true, first_col, last_col, row, count, last_row_of(table)));
}

void defined_name_store_t::on_insert_cols(Table& table, int first_row, int last_row, int col, int count) {
    range_check_t check(table);
    int checked = count;
    if (!check.check_insert_cols(col, checked) || !check.check_row_range(first_row, last_row)) return;
    on_shift(table, band_shift_t::inserting(false, first_row, last_row, col, count, last_col_of(table)));
}

void defined_name_store_t::on_delete_cols(Table& table, int row1, int row2, int col1, int col2) {
    range_check_t check(table);
    if (!check.check_delete_cols(col1, col2) || !check.check_row_range(row1, row2)) return;
    on_shift(table, band_shift_t::deleting(false, row1, row2, col1, col2, last_col_of(table)));
}

void defined_name_store_t::on_delete_rows(Table& table, int col1, int col2, int row1, int row2) {
    range_check_t check(table);
    if (!check.check_delete_rows(row1, row2) || !check.check_col_range(col1, col2)) return;
    on_shift(table, band_shift_t::deleting(true, col1, col2, row1, row2, last_row_of(table)));
}

std::vector<formula::named_expression_t> defined_name_store_t::on_sheet_going(const Table& table) {
    const int32_t grid = int32_t(table.sheet_id());
    formula::model_context& context = table.get_formula_model()->context();
    const vex::coord_t origin{grid, 1, 1, 0, 0, 0};
    // A name reads the sheet only through a text naming it (its tokens come
    // from that text) or through a span, which may hold it between its ends.
    const std::vector<std::string> spellings{utf8_fold_case(table.name()), std::string(formula::name_spellers_t::span)};
    return rewrite(
        context, [&](const std::string& text) { return formula::drop_grid_references(context, origin, text, grid); },
        [&](std::vector<formula::token_t>& tokens) { return formula::drop_grid_tokens(tokens, grid); }, &spellings);
}

std::vector<formula::named_expression_t> defined_name_store_t::rewrite(formula::model_context& context,
                                                                       const text_rewrite_t& text_of,
                                                                       const tokens_rewrite_t& tokens_of,
                                                                       const std::vector<std::string>* spellings) {
    std::vector<formula::named_expression_t> changed = rewrite__(text_of, tokens_of, spellings);
    add_readers(context, changed);
    return changed;
}

std::vector<formula::named_expression_t> defined_name_store_t::rewrite__(const text_rewrite_t& text_of,
                                                                         const tokens_rewrite_t& tokens_of,
                                                                         const std::vector<std::string>* spellings) {
    // Parsing looks names up in this store: the texts are rewritten unlocked.
    std::vector<node_t*> nodes;
    std::vector<std::string> texts;
    {
        std::unique_lock lock(mutex_);
        if (spellings) {
            respell_due__();
            std::map<uint64_t, node_t*> picked;  // in the order the names came
            for (const std::string& folded : *spellings)
                if (const auto it = spellings_.find(folded); it != spellings_.end())
                    for (const auto& [order, node] : it->second) picked.emplace(order, const_cast<node_t*>(node));
            for (const auto& [order, node] : picked) nodes.push_back(node);
        } else {
            for (const auto& node : names_) nodes.push_back(node.get());
        }
        for (const node_t* node : nodes) texts.push_back(node->entry.expression);
    }
    std::vector<std::optional<std::string>> rewritten;
    for (const auto& text : texts) rewritten.push_back(text_of(text));
    std::vector<formula::named_expression_t> changed;
    std::vector<node_t*> refiled;
    std::unique_lock lock(mutex_);
    for (size_t i = 0; i < nodes.size(); ++i) {
        node_t& node = *nodes[i];
        defined_name_entry_t& entry = node.entry;
        bool now = tokens_of(entry.tokens);
        if (i < rewritten.size() && rewritten[i] && entry.expression == texts[i]) {
            entry.expression = std::move(*rewritten[i]);
            if (!std::exchange(node.respell_due, true)) respell_due_.push_back(&node);
            now = true;
        }
        if (!now) continue;
        changed.push_back({node.name, node.local_sheet_id});
        refiled.push_back(&node);
    }
    unfile__(refiled);
    for (node_t* node : refiled) file__(*node);
    if (!changed.empty()) forget_readings__();
    return changed;
}

void defined_name_store_t::add_readers(formula::model_context& context,
                                       std::vector<formula::named_expression_t>& names) const {
    // One walk over the names that read each name, each name taken once. A
    // name kept without tokens (a span of sheets, say) reads what its text
    // spells: parsing looks names up here, so it runs unlocked, once for each
    // such name filed under a word the walk meets.
    const vex::coord_t origin{context.get_sheet_id(), 1, 1, 0, 0, 0};
    formula::name_set_t listed(names);
    const auto add = [&](formula::named_expression_t name) {
        if (listed.insert(name)) names.push_back(std::move(name));
    };
    std::unordered_map<const node_t*, std::vector<std::string>> spelled;  // the names each such text spells
    struct unread_t {
        const node_t* node;
        formula::named_expression_t name;
        std::string spelling;  // folded
    };
    for (size_t next = 0; next < names.size();) {
        std::vector<unread_t> unread;
        std::unordered_map<const node_t*, std::string> texts;
        {
            std::shared_lock lock(mutex_);
            for (; next < names.size(); ++next) {
                std::string folded = utf8_fold_case(names[next].name);
                const auto it = readers_.find(folded);
                if (it == readers_.end()) continue;
                for (const link_t& link : it->second) {
                    if (!link.spelled) {
                        if (link.scope == names[next].scope) add({link.reader->name, link.reader->local_sheet_id});
                        continue;
                    }
                    const auto known = spelled.find(link.reader);
                    if (known == spelled.end()) {
                        texts.try_emplace(link.reader, link.reader->entry.expression);
                        unread.push_back({link.reader, {link.reader->name, link.reader->local_sheet_id}, folded});
                    } else if (std::find(known->second.begin(), known->second.end(), folded) != known->second.end()) {
                        add({link.reader->name, link.reader->local_sheet_id});
                    }
                }
            }
        }
        for (const auto& [node, text] : texts) spelled[node] = formula::spelled_names(context, origin, text);
        for (const unread_t& u : unread) {
            const std::vector<std::string>& spells = spelled[u.node];
            if (std::find(spells.begin(), spells.end(), u.spelling) == spells.end()) continue;
            add(u.name);
        }
    }
}

std::vector<formula::named_expression_t> defined_name_store_t::on_shift(const Table& table, const band_shift_t& s,
                                                                        std::vector<formula::named_expression_t>* moved) {
    const int32_t grid = int32_t(table.sheet_id());
    formula::model_context& context = table.get_formula_model()->context();
    // Texts are read at A1, where a relative part is its own row or column; the
    // tokens keep theirs, which a name never moves.
    const vex::coord_t origin{grid, 1, 1, 0, 0, 0};
    std::vector<formula::named_expression_t> reading_others;
    // A name kept without tokens (a span of sheets, say) reads as its text
    // does; parsing looks names up here, so those are read unlocked.
    std::vector<std::pair<formula::named_expression_t, std::string>> texts;
    {
        std::shared_lock lock(mutex_);
        for (const auto& node : names_) {
            if (node->entry.tokens.empty())
                texts.push_back({{node->name, node->local_sheet_id}, node->entry.expression});
            else if (formula::shift_changes_reading(context, origin, &node->entry.tokens, {}, grid, s, true))
                reading_others.push_back({node->name, node->local_sheet_id});
        }
    }
    for (auto& [name, text] : texts)
        if (formula::shift_changes_reading(context, origin, nullptr, text, grid, s, true))
            reading_others.push_back(std::move(name));
    std::vector<formula::named_expression_t> changed = rewrite__(
        [&](const std::string& text) { return formula::shift_formula_text(context, origin, text, grid, s, true); },
        [&](std::vector<formula::token_t>& tokens) {
            return formula::shift_formula_tokens(tokens, origin, origin, grid, s, true);
        });
    if (moved) {
        add_readers(context, changed);
        *moved = std::move(changed);
    }
    add_readers(context, reading_others);
    return reading_others;
}

} // namespace vex::mta
