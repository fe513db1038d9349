#include "mta/formula/cell_tracker.h"

#include "mta/formula/formula_cell.h"
#include "mta/formula/model_context.h"
#include "mta/table/table/table_registry.h"
#include "mta/table/utils/merged_cells.h"
#include "mta/table/utils/rtree_key.h"

#include <mdds/rtree.hpp>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace vex::mta::formula {

namespace {

// Both indexes keep one entry per extent; the sets are vectors so that their
// members come out in insertion order. Small nodes: with mdds's default ones,
// choosing a leaf for each insertion dominated registering formulas.
//
// Nothing is ever erased from a tree: mdds 2.0's rtree::erase leaves nodes
// under their minimum size, and a later split of such a node fails. An
// emptied dependency set stays as it is; a forgotten formula range stays as a
// tombstone (first.flag0 clear) that registering the extent again revives.
// Both count as dead; once the dead outnumber the live, the tree is rebuilt
// without them.
//
// A formula entry keeps the ranges it was registered with: unregistering
// removes exactly those, whatever an evaluation later found.
//
// A parked entry is a formula whose result is gone: its edges leave the
// dependency index until it holds a result again, so that a change finds it
// once, not at every later change below it (a column of running totals). A
// formula filed that reads it brings it back, to be reached through it.
struct formula_entry_t {
    vex::range_t range;
    std::vector<vex::range_t> references;
    bool is_volatile = false;
    bool parked = false;
};

// Ranges in insertion order, each once. A long set finds its members through
// an index: thousands of formulas naming one cell are each added and removed
// at the cost of one. A removed member leaves a hole until holes outnumber
// members.
class member_set_t {
public:
    member_set_t() = default;
    explicit member_set_t(const vex::range_t& first) { add(first); }

    bool empty() const noexcept { return live_ == 0; }
    // False when the range is a member already.
    bool add(const vex::range_t& r) {
        if (find__(r)) return false;
        slots_.emplace_back(r);
        ++live_;
        if (index_) index_->emplace(r, slots_.size() - 1);
        else if (slots_.size() >= indexed_from) index__();
        return true;
    }
    // False when the range is no member. Many removed together compact the
    // set once, after the last (`compact` false for the others).
    bool remove(const vex::range_t& r, bool compact = true) {
        const std::optional<size_t> at = find__(r);
        if (!at) return false;
        slots_[*at].reset();
        if (index_) index_->erase(r);
        --live_;
        if (compact) compact_if_sparse();
        return true;
    }
    void compact_if_sparse() {
        if (slots_.size() - live_ > live_) compact__();
    }
    template <class F>
    void for_each(F f) const {
        for (const auto& s : slots_)
            if (s) f(*s);
    }
    template <class P>
    void erase_if(P dropped) {
        for (auto& s : slots_)
            if (s && dropped(*s)) {
                if (index_) index_->erase(*s);
                s.reset();
                --live_;
            }
        compact__();
    }

private:
    static constexpr size_t indexed_from = 16;

    std::optional<size_t> find__(const vex::range_t& r) const {
        if (index_) {
            const auto it = index_->find(r);
            return it == index_->end() ? std::nullopt : std::optional<size_t>(it->second);
        }
        for (size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i] == r) return i;
        return std::nullopt;
    }
    void index__() {
        index_ = std::make_unique<std::unordered_map<vex::range_t, size_t>>();
        for (size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i]) index_->emplace(*slots_[i], i);
    }
    void compact__() {
        std::erase_if(slots_, [](const auto& s) { return !s; });
        if (slots_.size() >= indexed_from) index__();
        else index_.reset();
    }

    std::vector<std::optional<vex::range_t>> slots_;
    std::unique_ptr<std::unordered_map<vex::range_t, size_t>> index_;  // for a long set only
    size_t live_ = 0;
};

bool is_tombstone(const vex::range_t& r) { return r.first.flag0 == 0; }
bool is_dead(const formula_entry_t& e) { return is_tombstone(e.range); }
bool is_dead(const member_set_t& set) { return set.empty(); }

// mdds's bulk load sorts the entries of a band of rows by the middle of their
// columns: a column of formulas ties there, and the sort scatters its rows over
// every node of the band, which a look then descends through. A tree built in
// one bulk load is therefore keyed spread: each column spans column_span keys,
// and an entry sits at an offset its first row sets within the span of each of
// its columns, so that a column's entries come out in row order. A look covers
// whole spans, so overlaps stay those of the cells. A tree built one insertion
// at a time keeps plain keys, where inserting costs least.
constexpr rtree_key_t column_span = 4096;

// The key an entry is filed under, which a match looks up.
template <class Tree>
typename Tree::extent_type key_of(const vex::range_t& r, bool spread) {
    if (!spread) return {{r.first.row, r.first.col}, {r.last.row, r.last.col}};
    const rtree_key_t at = rtree_key_t(uint32_t(r.first.row) % column_span);
    return {{r.first.row, r.first.col * column_span + at}, {r.last.row, r.last.col * column_span + at}};
}

// What a look for the entries overlapping the range searches.
template <class Tree>
typename Tree::extent_type look_of(const vex::range_t& r, bool spread) {
    if (!spread) return key_of<Tree>(r, false);
    return {{r.first.row, r.first.col * column_span}, {r.last.row, r.last.col * column_span + column_span - 1}};
}

// The plain key of a spread one.
template <class Extent>
Extent unspread(const Extent& e) {
    return {{e.start.d[0], e.start.d[1] / column_span}, {e.end.d[0], e.end.d[1] / column_span}};
}

// The entries of one grid, with the number of them that are dead.
//
// What a bulk load filed stays in a tree that takes no insertion. mdds 2.0
// hands over a packed tree (as it does a moved or swapped one) with its root
// marked as having reset its children's parent pointers; the first split of
// that root moves those children under a new node without resetting them, so
// they keep pointing at the root, and later splits below write through the
// wrong parents until an insert crashes. A tree built one insertion at a time
// never has its root marked. Later entries go there.
//
// The trees hold slots; the values sit in the slots, in the order filed, and
// an extent finds its slot by hash: a match search in a tree descends through
// every entry whose box holds the extent, and ranges that nest (a column of
// running totals, all holding $A$1) make that most of the tree.
// Corners only, as extent_of() leaves them, mixed in two words: the common
// hash reads each field byte by byte, and every registering looks up extents.
struct extent_hash {
    size_t operator()(const vex::range_t& r) const noexcept {
        const uint64_t first = uint64_t(uint32_t(r.first.row)) << 32 | uint32_t(r.first.col);
        const uint64_t last = uint64_t(uint32_t(r.last.row)) << 32 | uint32_t(r.last.col);
        uint64_t h = first * 0x9e3779b97f4a7c15ull ^ (last + 0x632be59bd9b4e019ull) * 0xbf58476d1ce4e5b9ull;
        h ^= h >> 31;
        h *= 0x94d049bb133111ebull;
        return size_t(h ^ (h >> 29));
    }
};

template <class Value>
struct counted_tree_t {
    using tree_type = mdds::rtree<rtree_key_t, uint32_t, small_node_rtree_trait>;
    // Up to a leaf's worth of slots is scanned, with neither tree nor hash:
    // a grid of a few formulas, as a book of many sheets holds, costs no
    // tree nodes to build and free, and a scan of so few costs what a leaf does.
    static constexpr size_t scanned_up_to = small_node_rtree_trait::max_node_size;

    // Made once past a scan's worth; between them they then hold every slot.
    std::unique_ptr<tree_type> loaded;  // one bulk load, keyed spread
    std::unique_ptr<tree_type> tree;    // one insertion at a time, keyed plain
    // A vector, not a deque: an empty deque already holds a block.
    std::vector<std::pair<vex::range_t, Value>> slots;  // the extent, plainly, and its value
    std::unordered_map<vex::range_t, uint32_t, extent_hash> slot_of;
    size_t live = 0;
    size_t dead = 0;
    size_t parked = 0;  // formula entries only

    bool empty() const { return slots.empty(); }
    bool scanned() const { return slots.size() <= scanned_up_to; }

    static vex::range_t extent_of(const vex::range_t& r) {
        return {{0, r.first.row, r.first.col, 0, 0, 0}, {0, r.last.row, r.last.col, 0, 0, 0}};
    }

    // Calls f on the value filed at the range, if any; what f returned, or
    // false when nothing is filed there.
    template <class F>
    bool find(const vex::range_t& r, F f) {
        const vex::range_t extent = extent_of(r);
        if (scanned()) {
            for (auto& [at, value] : slots)
                if (at == extent) return f(value);
            return false;
        }
        const auto it = slot_of.find(extent);
        return it != slot_of.end() && f(slots[it->second].second);
    }
    // Calls f on each value filed at a range overlapping the range.
    template <class F>
    void overlapping(const vex::range_t& r, F f) const {
        if (scanned()) {
            const auto look = key_of<tree_type>(r, false);
            for (const auto& [at, value] : slots)
                if (key_of<tree_type>(at, false).intersects(look)) f(value);
            return;
        }
        if (loaded && !loaded->empty())
            for (const uint32_t slot : loaded->search(look_of<tree_type>(r, true), tree_type::search_type::overlap))
                f(slots[slot].second);
        if (tree && !tree->empty())
            for (const uint32_t slot : tree->search(key_of<tree_type>(r, false), tree_type::search_type::overlap))
                f(slots[slot].second);
    }
    // A slot for a range filed nowhere yet, indexed by whoever fills the slots.
    uint32_t slot_for(const vex::range_t& r, Value&& value) {
        slots.emplace_back(extent_of(r), std::move(value));
        return uint32_t(slots.size() - 1);
    }
    // The slots from `from` on, found by hash and, with `planted`, in the
    // tree taking one insertion at a time.
    void index(uint32_t from, bool planted) {
        if (planted && !tree) tree = std::make_unique<tree_type>();
        for (uint32_t slot = from; slot < slots.size(); ++slot) {
            slot_of.emplace(slots[slot].first, slot);
            if (planted) tree->insert(key_of<tree_type>(slots[slot].first, false), slot);
        }
    }
    void insert(const vex::range_t& r, Value&& value) {
        const uint32_t slot = slot_for(r, std::move(value));
        ++live;
        // Past a scan's worth the scanned slots are indexed first.
        if (!scanned()) index(slot == scanned_up_to ? 0 : slot, true);
    }
    // Calls f on each value filed, in the order filed.
    template <class F>
    void for_each(F f) {
        for (auto& [extent, value] : slots) f(value);
    }
    // The cells around every range filed, dead ones included; false when none is.
    bool box(int32_t grid_id, vex::range_t& out) const {
        std::optional<typename tree_type::extent_type> all;
        const auto add = [&](const typename tree_type::extent_type& e) {
            if (!all) all = e;
            for (size_t d = 0; d < 2; ++d) {
                all->start.d[d] = std::min(all->start.d[d], e.start.d[d]);
                all->end.d[d] = std::max(all->end.d[d], e.end.d[d]);
            }
        };
        if (scanned()) {
            for (const auto& [at, value] : slots) add(key_of<tree_type>(at, false));
        } else {
            if (loaded && !loaded->empty()) add(unspread(loaded->extent()));
            if (tree && !tree->empty()) add(tree->extent());
        }
        if (!all) return false;
        out = {{grid_id, int32_t(all->start.d[0]), int32_t(all->start.d[1]), 1, 0, 0},
               {grid_id, int32_t(all->end.d[0]), int32_t(all->end.d[1]), 1, 0, 0}};
        return true;
    }

    void died() {
        --live;
        ++dead;
    }
    void revived() {
        --dead;
        ++live;
    }
    // Rebuilt one insertion at a time from its live entries, each passed
    // through keep first, in the order filed; false when none is left.
    template <class Keep>
    bool rebuild(Keep keep) {
        std::vector<std::pair<vex::range_t, Value>> kept;
        kept.reserve(live);
        for (auto& [extent, value] : slots) {
            keep(value);
            if (!is_dead(value)) kept.emplace_back(extent, std::move(value));
        }
        // Dropped: what is inserted next goes to a tree made one insertion at a time.
        loaded.reset();
        tree.reset();
        slot_of.clear();
        slots = std::move(kept);
        if (!scanned()) index(0, true);
        live = slots.size();
        dead = 0;
        return live > 0;
    }
    void compact_if_mostly_dead(bool held) {
        if (!held && dead > live) rebuild([](const auto&) {});
    }
};

// What a batch files on one grid whose tree held nothing: the tree is built
// from it in one bulk load. Each item is a range and the index of the formula
// filing it.
struct bulk_t {
    struct item_t {
        vex::range_t range;
        size_t index;
    };
    bool used = false;
    std::vector<item_t> items;

    // Each run of items on one extent, in the order filed.
    template <class F>
    void for_each_extent(F f) {
        const auto corners = [](const item_t& i) {
            return std::tie(i.range.first.row, i.range.first.col, i.range.last.row, i.range.last.col);
        };
        const auto before = [&](const item_t& a, const item_t& b) {
            return std::tuple_cat(corners(a), std::tie(a.index)) < std::tuple_cat(corners(b), std::tie(b.index));
        };
        // A sheet is read row by row: its items mostly come in order.
        if (!std::is_sorted(items.begin(), items.end(), before)) std::sort(items.begin(), items.end(), before);
        for (size_t i = 0, j = 0; i < items.size(); i = j) {
            while (j < items.size() && corners(items[j]) == corners(items[i])) ++j;
            f(items.data() + i, items.data() + j);
        }
    }
};

// Fills a grid that held nothing.
template <class Value>
void refill(counted_tree_t<Value>& counted, typename counted_tree_t<Value>::tree_type::bulk_loader& loader,
            size_t count) {
    counted.live = count;
    counted.dead = 0;
    if (counted.scanned()) return;
    counted.slot_of.reserve(counted.slots.size());
    counted.index(0, false);
    auto packed = loader.pack();
    counted.loaded = std::make_unique<typename counted_tree_t<Value>::tree_type>();
    counted.loaded->swap(packed);
}

std::string corners(const vex::range_t& r) {
    return std::to_string(r.first.row) + "," + std::to_string(r.first.col) + "," + std::to_string(r.last.row) + "," +
           std::to_string(r.last.col) + ")";
}

bool on_one_grid(const vex::range_t& r) { return r.first.grid_id == r.last.grid_id; }

// Grid ids count as unsigned; a loop in 64 bits ends after the last one.
template <class F>
void for_each_grid(const vex::range_t& r, F f) {
    for (uint64_t g = uint32_t(r.first.grid_id); g <= uint32_t(r.last.grid_id); ++g) f(uint32_t(g));
}

bool absent(const vex::coord_t& c) { return c.grid_id == 0 && c.row == 0 && c.col == 0; }

// The position, or the cell's formula range when both of its corners are present.
vex::range_t source_of(const formula_cell& cell) {
    const vex::range_t range = cell.formula_range();
    if (!absent(range.first) && !absent(range.last)) return range;
    const vex::coord_t& p = cell.position();
    const vex::coord_t corner{p.grid_id, p.row, p.col, 1, 0, 0};
    return {corner, corner};
}

std::vector<vex::range_t> referenced_ranges(const std::vector<token_t>& tokens) {
    std::vector<vex::range_t> out;
    out.reserve(tokens.size());
    for (const token_t& t : tokens) out.push_back(std::get<vex::range_t>(t.operand));
    return out;
}

// The formulas of (extent, formula) pairs gathered by extent, each extent's
// in the order given. A few extents read by many formulas group in a small
// map, where sorting every pair would cost more than filing them.
std::vector<std::pair<vex::range_t, std::vector<vex::range_t>>> by_extent(
    const std::vector<std::pair<vex::range_t, vex::range_t>>& pairs) {
    std::vector<std::pair<vex::range_t, std::vector<vex::range_t>>> out;
    std::unordered_map<vex::range_t, size_t> at;
    for (const auto& [extent, formula] : pairs) {
        const auto [it, added] = at.try_emplace(extent, out.size());
        if (added) out.emplace_back(extent, std::vector<vex::range_t>());
        out[it->second].second.push_back(formula);
    }
    return out;
}

// Compaction put off while alive.
struct held_t {
    unsigned& holds;
    explicit held_t(unsigned& count) : holds(++count) {}
    ~held_t() { --holds; }
    held_t(const held_t&) = delete;
    held_t& operator=(const held_t&) = delete;
};

void add_unique(std::vector<vex::range_t>& list, const vex::range_t& r) {
    if (std::find(list.begin(), list.end(), r) == list.end()) list.push_back(r);
}

// A span's list keeps room for sheets to come: one inserted inside it files
// its range without copying the list.
size_t room_for(size_t n) {
    constexpr size_t wide = 64;
    return n >= wide ? n + n / 8 : n;
}

std::vector<vex::range_t> with_room(std::vector<vex::range_t>&& refs) {
    if (const size_t room = room_for(refs.size()); refs.capacity() < room) refs.reserve(room);
    return std::move(refs);
}

// Copied at its final size, not copied and then grown.
std::vector<vex::range_t> with_room(const std::vector<vex::range_t>& refs) {
    std::vector<vex::range_t> out;
    out.reserve(room_for(refs.size()));
    out.assign(refs.begin(), refs.end());
    return out;
}

} // namespace

// ---- ordering graph --------------------------------------------------------------------------

size_t range_graph_t::node__(const vex::range_t& range) {
    const auto [it, added] = index_.try_emplace(range, nodes_.size());
    if (added) {
        nodes_.push_back(range);
        neighbours_.emplace_back();
    }
    return it->second;
}

void range_graph_t::add_edge(const vex::range_t& from, const vex::range_t& to) {
    const size_t a = node__(from);
    const size_t b = node__(to);
    if (edges_.insert((uint64_t(a) << 32) | uint64_t(b)).second) neighbours_[a].push_back(b);
}

std::vector<vex::range_t> range_graph_t::topological_order() const {
    std::vector<vex::range_t> out;
    out.reserve(nodes_.size());
    std::vector<uint8_t> visited(nodes_.size(), 0);
    std::vector<std::pair<size_t, size_t>> stack;  // node, next neighbour
    for (size_t start = 0; start < nodes_.size(); ++start) {
        if (visited[start]) continue;
        visited[start] = 1;
        stack.emplace_back(start, 0);
        while (!stack.empty()) {
            auto& [node, next] = stack.back();
            const auto& list = neighbours_[node];
            while (next < list.size() && visited[list[next]]) ++next;
            if (next < list.size()) {
                const size_t m = list[next++];
                visited[m] = 1;
                stack.emplace_back(m, 0);
            } else {
                out.push_back(nodes_[node]);
                stack.pop_back();
            }
        }
    }
    return out;
}

// ---- tracker ---------------------------------------------------------------------------------

struct cell_tracker_t::state {
    std::unordered_map<uint32_t, counted_tree_t<formula_entry_t>> formulas;
    std::unordered_map<uint32_t, counted_tree_t<member_set_t>> dependencies;
    member_set_t volatiles;
    std::unordered_map<uint32_t, size_t> volatiles_on;  // by grid: a grid going away looks only at its own
    // The other grids that edges filed without a formula entry (add()) reach,
    // by the grid of their formula.
    std::unordered_map<uint32_t, std::unordered_set<uint32_t>> loose_reads;
    unsigned holds = 0;  // compaction_hold_t alive

    void add_volatile(const vex::range_t& src) {
        if (volatiles.add(src)) ++volatiles_on[uint32_t(src.first.grid_id)];
    }
    void remove_volatile(const vex::range_t& src) {
        if (volatiles.remove(src)) --volatiles_on[uint32_t(src.first.grid_id)];
    }

    void add(const vex::range_t& src, const vex::range_t& ref) {
        if (!on_one_grid(src))
            throw std::invalid_argument("cell_tracker_t::add: invalid formula range: (" + corners(src));
        for_each_grid(ref, [&](uint32_t g) { add_on(dependencies[g], ref, src); });
    }

    // The readers of one extent: its set is found once for all of them.
    static void add_on(counted_tree_t<member_set_t>& counted, const vex::range_t& ref,
                       std::span<const vex::range_t> sources) {
        const bool filed = counted.find(ref, [&](member_set_t& set) {
            if (set.empty()) counted.revived();
            for (const auto& src : sources) set.add(src);
            return true;
        });
        if (filed) return;
        member_set_t set;
        for (const auto& src : sources) set.add(src);
        counted.insert(ref, std::move(set));
    }
    static void add_on(counted_tree_t<member_set_t>& counted, const vex::range_t& ref, const vex::range_t& src) {
        add_on(counted, ref, std::span(&src, 1));
    }

    // The formula's own entry; its edges are filed apart.
    void add_entry(const pending_t& p) {
        auto& counted = formulas[uint32_t(p.source.first.grid_id)];
        const bool filed = counted.find(p.source, [&](formula_entry_t& entry) {
            if (!is_dead(entry)) {
                merge(entry, p);
            } else {
                entry = {p.source, with_room(p.references), p.is_volatile};
                counted.revived();
            }
            return true;
        });
        if (!filed) counted.insert(p.source, formula_entry_t{p.source, with_room(p.references), p.is_volatile});
    }

    // Two cells filed at one range: both sets of edges stay until it is forgotten.
    void merge(formula_entry_t& entry, const pending_t& p) {
        if (entry.parked) wake(entry);
        for (const auto& ref : p.references) add_unique(entry.references, ref);
        entry.is_volatile = entry.is_volatile || p.is_volatile;
    }

    // Many formulas at once: a tree that holds nothing yet is built in one bulk
    // load from what they file on its grid, the others take entries one by one.
    void add_many(std::vector<pending_t>& pending) {
        // Before their references go into the new entries.
        if (any_parked())
            for (const pending_t& p : pending) revive_read_by(p.references);
        std::unordered_map<uint32_t, bulk_t> edges;
        std::unordered_map<uint32_t, bulk_t> entries;
        std::vector<const pending_t*> later;
        // Nearly every item goes to the grid of the one before.
        const auto bulk_for = [&](std::unordered_map<uint32_t, bulk_t>& bulks, auto& trees, uint32_t g,
                                  std::pair<uint32_t, bulk_t*>& last) -> bulk_t& {
            if (last.second && last.first == g) return *last.second;
            const auto [it, added] = bulks.try_emplace(g);
            if (added) {
                it->second.used = trees[g].empty();
                if (it->second.used) it->second.items.reserve(pending.size());
            }
            last = {g, &it->second};
            return it->second;
        };
        std::pair<uint32_t, bulk_t*> last_edges{0, nullptr}, last_entries{0, nullptr};
        for (size_t i = 0; i < pending.size(); ++i) {
            const pending_t& p = pending[i];
            for (const auto& ref : p.references)
                for_each_grid(ref, [&](uint32_t g) { bulk_for(edges, dependencies, g, last_edges).items.push_back({ref, i}); });
            if (p.is_volatile) add_volatile(p.source);
            if (bulk_t& bulk = bulk_for(entries, formulas, uint32_t(p.source.first.grid_id), last_entries);
                bulk.used)
                bulk.items.push_back({p.source, i});
            else
                later.push_back(&p);  // after the builds: a parked entry it meets adds edges
        }
        for (auto& [g, bulk] : edges) {
            if (!bulk.used) {
                // A tree that holds entries takes them extent by extent, each
                // extent's set found once, not once per formula reading it.
                std::vector<std::pair<vex::range_t, vex::range_t>> items;
                items.reserve(bulk.items.size());
                for (const auto& i : bulk.items) items.emplace_back(i.range, pending[i.index].source);
                for (const auto& [ref, sources] : by_extent(items)) add_on(dependencies[g], ref, sources);
                continue;
            }
            auto& counted = dependencies[g];
            using tree_type = counted_tree_t<member_set_t>::tree_type;
            tree_type::bulk_loader loader;
            size_t count = 0;
            bulk.for_each_extent([&](const bulk_t::item_t* i, const bulk_t::item_t* end) {
                member_set_t set;
                for (const auto* e = i; e != end; ++e) set.add(pending[e->index].source);
                loader.insert(key_of<tree_type>(i->range, true), counted.slot_for(i->range, std::move(set)));
                ++count;
            });
            refill(counted, loader, count);
        }
        for (auto& [g, bulk] : entries) {
            if (!bulk.used) continue;
            auto& counted = formulas[g];
            using tree_type = counted_tree_t<formula_entry_t>::tree_type;
            tree_type::bulk_loader loader;
            size_t count = 0;
            bulk.for_each_extent([&](const bulk_t::item_t* i, const bulk_t::item_t* end) {
                pending_t& p = pending[i->index];
                formula_entry_t entry{p.source, with_room(std::move(p.references)), p.is_volatile};
                for (const auto* e = i + 1; e != end; ++e) merge(entry, pending[e->index]);
                loader.insert(key_of<tree_type>(p.source, true), counted.slot_for(p.source, std::move(entry)));
                ++count;
            });
            refill(counted, loader, count);
        }
        for (const pending_t* p : later) add_entry(*p);
    }

    void remove(const vex::range_t& ref, const vex::range_t& src) {
        if (!on_one_grid(src))
            throw std::invalid_argument("cell_tracker_t::remove: invalid source range: src=(" + corners(src));
        remove(ref, std::span(&src, 1));
    }
    // The readers of one extent leave it: its set is found once for all of them.
    void remove(const vex::range_t& ref, std::span<const vex::range_t> sources) {
        for_each_grid(ref, [&](uint32_t g) {
            const auto found = dependencies.find(g);
            if (found == dependencies.end()) return;
            auto& counted = found->second;
            // One slot a range: its set holds every source filed there.
            counted.find(ref, [&](member_set_t& set) {
                const bool had = !set.empty();
                for (const auto& src : sources) set.remove(src, false);
                set.compact_if_sparse();
                if (had && set.empty()) counted.died();
                return true;
            });
            counted.compact_if_mostly_dead(holds != 0);
        });
    }

    void dependents(const vex::range_t& r, std::vector<vex::range_t>& out) const {
        const auto found = dependencies.find(uint32_t(r.first.grid_id));
        if (found == dependencies.end()) return;
        // A cell under thousands of ranges has thousands of dependents: each is
        // told apart by hash, not by a scan of those found before it.
        std::unordered_set<vex::range_t> seen(out.begin(), out.end());
        found->second.overlapping(r, [&](const member_set_t& set) {
            set.for_each([&](const vex::range_t& d) {
                if (seen.insert(d).second) out.push_back(d);
            });
        });
    }

    // The live entry filed at the formula range, if any.
    formula_entry_t* entry_at(const vex::range_t& src) {
        const auto found = formulas.find(uint32_t(src.first.grid_id));
        if (found == formulas.end()) return nullptr;
        formula_entry_t* live = nullptr;
        found->second.find(src, [&](formula_entry_t& f) {
            if (!is_dead(f)) live = &f;
            return live != nullptr;
        });
        return live;
    }

    size_t& parked_on(const formula_entry_t& e) { return formulas[uint32_t(e.range.first.grid_id)].parked; }

    void park(formula_entry_t& e, bool edges) {
        if (edges)
            for (const auto& ref : e.references) remove(ref, e.range);
        if (e.is_volatile) remove_volatile(e.range);
        e.parked = true;
        ++parked_on(e);
    }

    void unpark(formula_entry_t& e) {
        for (const auto& ref : e.references) add(e.range, ref);
        if (e.is_volatile) add_volatile(e.range);
        e.parked = false;
        --parked_on(e);
    }

    bool any_parked() const {
        return std::any_of(formulas.begin(), formulas.end(), [](const auto& f) { return f.second.parked != 0; });
    }

    // Brings back the parked formulas the ranges read, and the parked formulas
    // those read in turn, so that a change reaches a formula reading them.
    void revive_read_by(const std::vector<vex::range_t>& ranges) {
        std::vector<vex::range_t> pending;
        const auto parked_in = [&](const std::vector<vex::range_t>& refs) {
            for (const auto& ref : refs)
                for_each_grid(ref, [&](uint32_t g) {
                    const auto found = formulas.find(g);
                    if (found == formulas.end() || found->second.parked == 0) return;
                    found->second.overlapping(ref, [&](const formula_entry_t& f) {
                        if (!is_dead(f) && f.parked) pending.push_back(f.range);
                    });
                });
        };
        parked_in(ranges);
        while (!pending.empty()) {
            formula_entry_t* e = entry_at(pending.back());
            pending.pop_back();
            if (!e || !e->parked) continue;
            unpark(*e);
            parked_in(e->references);
        }
    }

    // A parked formula holds a result again.
    void wake(formula_entry_t& e) {
        unpark(e);
        revive_read_by(e.references);
    }

    // The grid's formulas leave the other grids they read, edge by edge: a
    // grid going away costs what it filed, whatever else the process holds.
    void purge(uint32_t grid) {
        if (const auto found = formulas.find(grid); found != formulas.end()) {
            std::unordered_set<uint32_t> touched;
            found->second.for_each([&](formula_entry_t& e) {
                if (is_dead(e)) return;
                if (e.is_volatile) remove_volatile(e.range);
                if (e.parked) return;
                for (const auto& ref : e.references)
                    for_each_grid(ref, [&](uint32_t g) {
                        if (g == grid) return;
                        const auto on = dependencies.find(g);
                        if (on == dependencies.end()) return;
                        on->second.find(ref, [&](member_set_t& set) {
                            if (set.remove(e.range) && set.empty()) on->second.died();
                            return true;
                        });
                        touched.insert(g);
                    });
            });
            formulas.erase(found);
            for (const uint32_t g : touched) {
                const auto on = dependencies.find(g);
                if (on->second.live == 0) dependencies.erase(on);
                else on->second.compact_if_mostly_dead(holds != 0);
            }
        }
        if (const auto loose = loose_reads.find(grid); loose != loose_reads.end()) {
            for (const uint32_t g : loose->second) {
                const auto on = dependencies.find(g);
                if (on == dependencies.end() || g == grid) continue;
                if (!on->second.rebuild([&](member_set_t& set) {
                        set.erase_if([&](const vex::range_t& r) { return uint32_t(r.first.grid_id) == grid; });
                    }))
                    dependencies.erase(on);
            }
            loose_reads.erase(loose);
        }
        dependencies.erase(grid);
        // Only what add_volatile filed on its own is left.
        if (const auto on = volatiles_on.find(grid); on != volatiles_on.end()) {
            if (on->second != 0)
                volatiles.erase_if([&](const vex::range_t& r) { return uint32_t(r.first.grid_id) == grid; });
            volatiles_on.erase(on);
        }
    }

    std::vector<vex::range_t> query(const vex::range_t& r) const {
        if (!on_one_grid(r)) throw std::invalid_argument("range:(" + corners(r));
        std::vector<vex::range_t> out;
        const auto found = formulas.find(uint32_t(r.first.grid_id));
        if (found == formulas.end()) return out;
        found->second.overlapping(r, [&](const formula_entry_t& f) {
            if (!is_dead(f)) out.push_back(f.range);
        });
        return out;
    }
};

cell_tracker_t::cell_tracker_t() : state_(std::make_unique<state>()) {}

cell_tracker_t::~cell_tracker_t() = default;

cell_tracker_t::pending_t cell_tracker_t::read__(formula_cell& cell) {
    const vex::range_t src = source_of(cell);
    std::vector<vex::range_t> refs = referenced_ranges(cell.get_reference_tokens());
    if (!on_one_grid(src))
        throw std::invalid_argument("cell_tracker_t::add: invalid formula range: (" + corners(src));
    // What cannot be filed precisely is dropped by any change, as a volatile formula is.
    return {src, std::move(refs), cell.drops_on_any_change()};
}

void cell_tracker_t::register_formula(formula_cell* cell) {
    const pending_t p = read__(*cell);
    {
        std::lock_guard lock(mutex_);
        changed__();
        for (const auto& ref : p.references) state_->add(p.source, ref);
        if (p.is_volatile) state_->add_volatile(p.source);
        state_->add_entry(p);
        state_->revive_read_by(p.references);
    }
    cell->set_state(formula_cell_state::registered);
}

void cell_tracker_t::file__(std::vector<pending_t>& pending) {
    if (pending.empty()) return;
    std::lock_guard lock(mutex_);
    changed__();
    state_->add_many(pending);
}

void cell_tracker_t::batch_t::add(formula_cell* cell) {
    pending_.push_back(read__(*cell));
    cell->set_state(formula_cell_state::registered);
}

cell_tracker_t::batch_t::~batch_t() {
    try {
        tracker_.file__(pending_);
    } catch (...) {
        // Out of memory: the formulas left unfiled keep their results on a change.
    }
}

void cell_tracker_t::unregister_formula(formula_cell* cell) {
    unregister_formulas({&cell, 1});
}

bool cell_tracker_t::files_as_read(formula_cell* cell) {
    const vex::range_t src = source_of(*cell);
    const std::vector<vex::range_t> refs = cell->reference_ranges();
    if (!on_one_grid(src))
        throw std::invalid_argument("cell_tracker_t::add: invalid formula range: (" + corners(src));
    std::lock_guard lock(mutex_);
    const formula_entry_t* e = state_->entry_at(src);
    return e && !e->parked && e->references == refs && e->is_volatile == cell->drops_on_any_change();
}

namespace {

// A span changes by a sheet or two: more than this many ranges changed is
// a reading filed anew.
constexpr size_t max_few_changes = 16;

// Takes out of `ranges` those `among` holds, looked up by hash when both are long.
void drop_those_in(std::vector<vex::range_t>& ranges, const std::vector<vex::range_t>& among) {
    if (ranges.empty()) return;
    if (ranges.size() <= 4 || among.size() <= 64) {
        std::erase_if(ranges, [&](const vex::range_t& r) { return std::find(among.begin(), among.end(), r) != among.end(); });
        return;
    }
    const std::unordered_set<vex::range_t> held(among.begin(), among.end());
    std::erase_if(ranges, [&](const vex::range_t& r) { return held.contains(r); });
}

} // namespace

bool cell_tracker_t::file_gains(formula_cell* cell) {
    // The ranges alone, as files_as_read() compares them: no tokens handed over.
    pending_t p{source_of(*cell), cell->reference_ranges(), false};
    p.is_volatile = cell->drops_on_any_change();
    if (!on_one_grid(p.source)) return false;
    std::lock_guard lock(mutex_);
    formula_entry_t* e = state_->entry_at(p.source);
    if (!e || e->is_volatile != p.is_volatile) return false;
    // Those filed must come in the same order among those read now: a list
    // filed is compared with a reading as it stands. One filed for a sheet
    // gone since may be left out.
    std::vector<vex::range_t> gained, dropped;
    const std::vector<vex::range_t>& filed = e->references;
    size_t at = 0;
    for (const auto& ref : p.references) {
        if (at < filed.size() && filed[at] == ref) {
            ++at;
        } else if (at + 1 < filed.size() && filed[at + 1] == ref) {
            dropped.push_back(filed[at]);
            at += 2;
        } else {
            gained.push_back(ref);
        }
    }
    dropped.insert(dropped.end(), filed.begin() + ptrdiff_t(at), filed.end());
    // Costs what changed: a reading unlike the filing but for its gains, or
    // for a few ranges, is filed anew.
    if (dropped.size() > gained.size() && dropped.size() + gained.size() > max_few_changes) return false;
    if (gained.empty() && dropped.empty()) return true;
    // An edge is one a range, however often the list names it: a range
    // dropped here but read elsewhere keeps its edge, and one gained here but
    // filed elsewhere (a sheet moved inside a span) has it already.
    drop_those_in(dropped, p.references);
    drop_those_in(gained, filed);
    changed__();
    e->references = with_room(std::move(p.references));
    // A parked entry files its edges when it wakes.
    if (!e->parked) {
        for (const auto& ref : dropped) state_->remove(ref, p.source);
        for (const auto& ref : gained) state_->add(p.source, ref);
    }
    state_->revive_read_by(gained);
    return true;
}

bool cell_tracker_t::file_span_gain(const formula_cell& cell, const span_gain_t& gain) {
    const vex::range_t src = source_of(cell);
    if (!on_one_grid(src) || gain.at == 0 || gain.first >= gain.at) return false;
    std::lock_guard lock(mutex_);
    formula_entry_t* e = state_->entry_at(src);
    if (!e || gain.at >= e->references.size()) return false;
    std::vector<vex::range_t>& refs = e->references;
    // The same cells on the span's first sheet and on the sheets either side.
    const auto on = [&](size_t i, uint32_t grid) {
        vex::range_t r = refs[gain.at - 1];
        r.first.grid_id = r.last.grid_id = int32_t(grid);
        return refs[i] == r;
    };
    if (!gain.first_grid || !gain.before || !gain.after || !on(gain.first, gain.first_grid) ||
        !on(gain.at - 1, gain.before))
        return false;
    // A sheet gone from between the two may have left its range: the new one
    // takes its place, as file_gains() would leave it.
    const int32_t between = refs[gain.at].first.grid_id;
    const bool left = gain.at + 1 < refs.size() && on(gain.at + 1, gain.after) && on(gain.at, uint32_t(between)) &&
                      !find_table_by_grid_id(between);
    if (!left && !on(gain.at, gain.after)) return false;
    vex::range_t gained = refs[gain.at - 1];
    gained.first.grid_id = gained.last.grid_id = int32_t(gain.grid);
    changed__();
    const vex::range_t gone = refs[gain.at];
    if (left) refs[gain.at] = gained;
    else refs.insert(refs.begin() + ptrdiff_t(gain.at), gained);
    // A parked entry files its edges when it wakes.
    if (!e->parked) {
        if (left) state_->remove(gone, src);
        state_->add(src, gained);
    }
    state_->revive_read_by({gained});
    return true;
}

void cell_tracker_t::unregister_formulas(std::span<formula_cell* const> cells) {
    if (cells.empty()) return;
    std::vector<vex::range_t> sources;
    for (formula_cell* cell : cells) {
        const vex::range_t src = source_of(*cell);
        if (!on_one_grid(src))
            throw std::invalid_argument("cell_tracker_t::remove: invalid source range: src=(" + corners(src));
        sources.push_back(src);
    }
    std::lock_guard lock(mutex_);
    changed__();
    // Each extent the formulas read, with a formula leaving it.
    std::vector<std::pair<vex::range_t, vex::range_t>> edges;
    for (const vex::range_t& src : sources) {
        state_->remove_volatile(src);
        const auto found = state_->formulas.find(uint32_t(src.first.grid_id));
        if (found == state_->formulas.end()) continue;
        auto& counted = found->second;
        counted.find(src, [&](formula_entry_t& f) {
            if (is_dead(f)) return false;
            if (f.parked) --counted.parked;
            else
                for (const auto& ref : f.references) edges.emplace_back(ref, src);
            f = {};
            f.range.first.flag0 = 0;
            counted.died();
            return false;
        });
        counted.compact_if_mostly_dead(state_->holds != 0);
    }
    if (sources.size() == 1) {
        for (const auto& [ref, src] : edges) state_->remove(ref, std::span(&src, 1));
        return;
    }
    // Taken extent by extent: each set is found once, however many formulas read it.
    for (const auto& [ref, sources] : by_extent(edges)) state_->remove(ref, sources);
}

void cell_tracker_t::park(const std::vector<vex::range_t>& formula_ranges) {
    std::lock_guard lock(mutex_);
    std::vector<formula_entry_t*> entries;
    for (const auto& src : formula_ranges)
        if (formula_entry_t* e = on_one_grid(src) ? state_->entry_at(src) : nullptr; e && !e->parked)
            entries.push_back(e);
    if (entries.empty()) return;
    changed__();
    // Trees emptied by many are rebuilt once, after the last.
    std::unordered_set<uint32_t> grids;
    {
        const held_t held(state_->holds);
        for (formula_entry_t* e : entries) {
            state_->park(*e, true);
            for (const auto& ref : e->references) for_each_grid(ref, [&](uint32_t g) { grids.insert(g); });
        }
    }
    if (state_->holds != 0) return;
    for (const uint32_t g : grids) {
        const auto found = state_->dependencies.find(g);
        if (found == state_->dependencies.end()) continue;
        if (found->second.live == 0) state_->dependencies.erase(found);
        else found->second.compact_if_mostly_dead(false);
    }
}

void cell_tracker_t::unpark(const vex::range_t& formula_range) {
    std::lock_guard lock(mutex_);
    formula_entry_t* e = on_one_grid(formula_range) ? state_->entry_at(formula_range) : nullptr;
    if (!e || !e->parked) return;
    changed__();
    state_->wake(*e);
}

cell_tracker_t::compaction_hold_t::compaction_hold_t(cell_tracker_t& tracker) : tracker_(tracker) {
    std::lock_guard lock(tracker_.mutex_);
    ++tracker_.state_->holds;
}

cell_tracker_t::compaction_hold_t::~compaction_hold_t() {
    std::lock_guard lock(tracker_.mutex_);
    state& s = *tracker_.state_;
    if (--s.holds != 0) return;
    try {
        for (auto& [grid, counted] : s.formulas) counted.compact_if_mostly_dead(false);
        for (auto& [grid, counted] : s.dependencies) counted.compact_if_mostly_dead(false);
    } catch (...) {
        // Dead entries cost memory only: they stay until the next compaction.
    }
}

void cell_tracker_t::add(const vex::range_t& formula_range, const vex::range_t& referenced) {
    std::lock_guard lock(mutex_);
    changed__();
    state_->add(formula_range, referenced);
    auto& reads = state_->loose_reads[uint32_t(formula_range.first.grid_id)];
    for_each_grid(referenced, [&](uint32_t g) { reads.insert(g); });
}

void cell_tracker_t::remove(const vex::range_t& referenced, const vex::range_t& formula_range) {
    std::lock_guard lock(mutex_);
    changed__();
    state_->remove(referenced, formula_range);
}

void cell_tracker_t::add_volatile(const vex::range_t& formula_range) {
    std::lock_guard lock(mutex_);
    changed__();
    state_->add_volatile(formula_range);
}

std::vector<vex::range_t> cell_tracker_t::query(const vex::range_t& range) const {
    std::lock_guard lock(mutex_);
    return state_->query(range);
}

std::vector<vex::range_t> cell_tracker_t::dependents_of(const vex::range_t& range) const {
    std::vector<vex::range_t> out;
    std::lock_guard lock(mutex_);
    state_->dependents(range, out);
    return out;
}

bool cell_tracker_t::holds_volatile_on(uint32_t grid) const {
    std::lock_guard lock(mutex_);
    const auto on = state_->volatiles_on.find(grid);
    return on != state_->volatiles_on.end() && on->second != 0;
}

std::vector<vex::range_t> cell_tracker_t::get_dirty_ranges(const std::unordered_set<vex::range_t>& changed,
                                                           const std::unordered_set<vex::range_t>* extra) const {
    std::lock_guard lock(mutex_);
    std::unordered_set<vex::range_t> found;
    std::vector<vex::range_t> frontier;
    std::vector<vex::range_t> dependents;
    for (const auto& s : changed) {
        dependents.clear();
        state_->dependents(s, dependents);
        for (const auto& d : dependents)
            if (found.insert(d).second) frontier.push_back(d);
    }
    if (!state_->volatiles.empty() || (extra && !extra->empty())) {
        std::unordered_set<vex::range_t> listed(frontier.begin(), frontier.end());
        const auto list = [&](const vex::range_t& r) {
            if (listed.insert(r).second) frontier.push_back(r);
        };
        state_->volatiles.for_each(list);
        if (extra)
            for (const auto& e : *extra) list(e);
    }

    range_graph_t graph;
    while (!frontier.empty()) {
        std::vector<vex::range_t> next;
        for (const auto& r : frontier) {
            graph.add_node(r);
            dependents.clear();
            state_->dependents(r, dependents);
            for (const auto& d : dependents) {
                graph.add_edge(d, r);
                if (found.insert(d).second) next.push_back(d);
            }
        }
        frontier = std::move(next);
    }
    return graph.topological_order();
}

std::vector<vex::range_t> cell_tracker_t::order__(const std::vector<vex::range_t>& formulas,
                                                  model_context& context) const {
    // Only ranges that hold a formula cell are listed.
    std::vector<std::pair<vex::range_t, const formula_cell*>> found;
    for (const auto& f : formulas)
        if (const formula_cell* cell = context.get_formula_cell({f.first.grid_id, f.first.row, f.first.col, 1, 0, 0}))
            found.emplace_back(f, cell);
    range_graph_t graph;
    for (const auto& [f, cell] : found) graph.add_node(f);
    for (const auto& [f, cell] : found) {
        // A reference is mostly no formula range: it leads to the listed formulas
        // that overlap it.
        for (const token_t& t : cell->reference_tokens) {
            const auto& ref = std::get<vex::range_t>(t.operand);
            if (!on_one_grid(ref) || ref.first.grid_id != f.first.grid_id) continue;
            for (const auto& g : query(ref))
                if (g != f && graph.contains(g)) graph.add_edge(f, g);
        }
    }
    return graph.topological_order();
}

std::vector<vex::range_t> cell_tracker_t::order_all(model_context& context) const {
    vex::range_t sheet = context.get_sheet_size(context.get_sheet_id());
    sheet.last.grid_id = sheet.first.grid_id;
    return order__(query(sheet), context);
}

std::vector<vex::range_t> cell_tracker_t::order_range(const vex::range_t& range, model_context& context) const {
    if (range.first.grid_id != context.get_sheet_size(context.get_sheet_id()).first.grid_id) return {};
    return order__(query(range), context);
}

void cell_tracker_t::purge_grid(int32_t grid_id) {
    std::lock_guard lock(mutex_);
    changed__();
    state_->purge(uint32_t(grid_id));
}

cell_tracker_t::reach_t cell_tracker_t::reach_of(int32_t grid_id) const {
    std::lock_guard lock(mutex_);
    reach_t reach;
    reach.generation = generation();
    reach.volatiles = !state_->volatiles.empty();
    // Emptied entries stay in the tree until it is rebuilt: the box may be
    // wider than the live reads, never narrower.
    const auto found = state_->dependencies.find(uint32_t(grid_id));
    if (found != state_->dependencies.end()) reach.reads = found->second.box(grid_id, reach.box);
    return reach;
}

void formula_cell_deleter::operator()(formula_cell* cell) const noexcept {
    if (cell && cell->state() == formula_cell_state::registered) {
        try {
            get_cell_tracker().unregister_formula(cell);
        } catch (...) {
            // A reference that is no range was never registered either.
        }
    }
    delete cell;
}

cell_tracker_t& get_cell_tracker() {
    static cell_tracker_t* tracker = new cell_tracker_t;
    return *tracker;
}

} // namespace vex::mta::formula
