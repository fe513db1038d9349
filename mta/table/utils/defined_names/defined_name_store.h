#pragma once
// The defined names of a workbook, keyed by name and scope. A table starts with a
// store of its own and hands out the one it uses. Names keep the order they were
// added in: the n-th name a host sees, and the order of a saved workbook, do not
// depend on hashing.

#include "mta/formula/token.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex {

// The attributes of a definedName element.
struct defined_name_props_t {
    bool function = false;
    bool hidden = false;
    bool publish_to_server = false;
    bool workbook_parameter = false;
    bool xlm = false;
    bool space_preserve = false;
    bool vb_procedure = false;
    int function_group_id = -1;
    std::string comment;
    std::string custom_menu;
    std::string description;
    std::string help;
    std::string shortcut_key;
    std::string status_bar;
};

} // namespace vex

namespace vex::mta {

class Table;
struct band_shift_t;
namespace formula {
class model_context;
}

// The scope of a workbook-wide name; a local name has its sheet's grid id.
inline constexpr uint32_t workbook_scope = 0xFFFFFFFF;

struct defined_name_key_t {
    std::string_view name;
    uint32_t local_sheet_id = workbook_scope;

    friend bool operator==(const defined_name_key_t&, const defined_name_key_t&) = default;
};

struct defined_name_key_hash {
    size_t operator()(const defined_name_key_t& key) const noexcept;
};

struct defined_name_entry_t {
    defined_name_props_t props;
    std::string expression;
    // Empty until the formula model has parsed the expression.
    std::vector<formula::token_t> tokens;
};

// What a name reads, as its readers are filed by it: its own references and
// those of the names it reads, each name taken once. Relative parts stay
// relative to the reader and structured references unresolved, so one reading
// serves every reader.
struct name_reading_t {
    std::vector<formula::token_t> references;
    bool is_volatile = false;
    bool unsure = false;   // a part could not be read, or lay too deep
    bool lasting = true;   // false when a text was read: sheets it names may come later
};

class defined_name_store_t {
public:
    defined_name_store_t() = default;
    defined_name_store_t(const defined_name_store_t&) = delete;
    defined_name_store_t& operator=(const defined_name_store_t&) = delete;

    // Null, with nothing changed, when the key is stored already.
    defined_name_entry_t* add(const defined_name_key_t& key, std::string_view expression,
                              std::vector<formula::token_t>&& tokens);
    // The host's add: null, with nothing changed, also when the scope holds the
    // name in another case (applications take names alike but for case for one).
    defined_name_entry_t* add_new_name(const defined_name_key_t& key, std::string_view expression,
                                       std::vector<formula::token_t>&& tokens);
    bool add_with_props(const defined_name_key_t& key, const defined_name_props_t& props,
                        std::string_view expression, std::vector<formula::token_t>&& tokens);

    size_t size() const noexcept;
    // Empty views and the workbook scope past the end.
    std::string_view name_at(size_t n) const noexcept;
    std::string_view expression_at(size_t n) const noexcept;
    uint32_t local_sheet_id_at(size_t n) const noexcept;

    // Lookups take the name in any case, as applications match names; a name
    // stored in the very spelling asked for comes first.
    bool contains(const defined_name_key_t& key) const;
    // Under any scope; case-sensitive.
    bool contains_name(std::string_view name) const noexcept;
    // Under any scope, in any case (as applications match names).
    bool contains_name_in_any_case(std::string_view name) const noexcept;
    // In any case, under a scope other than `scope`.
    bool contains_name_beside(std::string_view name, uint32_t scope) const;
    const defined_name_entry_t* find(const defined_name_key_t& key) const;
    // Tokens are set through set_tokens, which forgets the readings kept.
    defined_name_entry_t* find(const defined_name_key_t& key);
    const std::vector<formula::token_t>* tokens_of(const defined_name_key_t& key) const;
    // The names whose text gave no tokens and holds `folded`, a folded
    // spelling, as a word a name may be spelled as (any text, when empty).
    std::vector<formula::named_expression_t> tokenless_names(std::string_view folded) const;

    // The names whose text spells `folded` (a sheet, table or name, as
    // text_spellings finds them) and passes `may_spell`.
    std::vector<formula::named_expression_t> names_spelling(std::string_view folded,
                                                            const std::function<bool(std::string_view)>& may_spell);
    // The names whose tokens read a name of the folded spelling, in any scope.
    std::vector<formula::named_expression_t> token_readers(std::string_view folded) const;
    // The names reading a table through a structured reference, or kept
    // without tokens and holding a "[", in the order they came to.
    std::vector<formula::named_expression_t> table_readers() const;

    // The tokens of a name kept without them, read again (none: still without).
    void set_tokens(const defined_name_key_t& key, std::vector<formula::token_t>&& tokens);

    // The entry's reading, worked out by `work_out` the first time it is asked
    // for; it is kept until any name is added, erased or changed, since it
    // holds the readings of the names it reads. A reading that read a text
    // depends on the sheet it was read from: it is kept for that sheet alone
    // (a name whose text may now read otherwise is given its tokens again).
    std::shared_ptr<const name_reading_t> reading_of(const defined_name_entry_t& entry, uint32_t sheet,
                                                     const std::function<name_reading_t()>& work_out) const;

    // The name stored in the key's own spelling.
    bool erase(const defined_name_key_t& key);
    // A sheet's table is going: its local names go with it.
    void remove_local_names(uint32_t sheet_id);

    // References into the table's sheet follow rows (columns) inserted or
    // deleted within a band of columns (rows): the absolute parts move, relative
    // ones never do. Bounds outside the sheet record the range check's message
    // and change nothing.
    void on_insert_rows(Table& table, int first_col, int last_col, int row, int count);
    void on_insert_cols(Table& table, int first_row, int last_row, int col, int count);
    void on_delete_cols(Table& table, int row1, int row2, int col1, int col2);
    void on_delete_rows(Table& table, int col1, int col2, int row1, int row2);
    // The move alone, for a shift whose guards have passed. A reference pushed
    // wholly past the table's edge, or whose cells are all deleted, becomes
    // #REF!; one reaching past the edge is cut. Tokens and texts both follow:
    // a text changes only where a changed reference was written. Returns the
    // names that read other cells since (band_shift_t::changes_reading), with
    // the names reading them; `moved`, when given, gets the names whose text
    // or tokens changed, with their readers, whose readers file them again.
    std::vector<formula::named_expression_t> on_shift(const Table& table, const band_shift_t& s,
                                                      std::vector<formula::named_expression_t>* moved = nullptr);
    // The table's sheet is going: references to it become #REF!. Returns the
    // names that changed, with the names reading them.
    std::vector<formula::named_expression_t> on_sheet_going(const Table& table);
    using text_rewrite_t = std::function<std::optional<std::string>(const std::string&)>;
    using tokens_rewrite_t = std::function<bool(std::vector<formula::token_t>&)>;
    // Every name's text and tokens rewritten, for a sheet or table renamed or
    // gone, or only the names whose text spells one of `spellings` (folded, as
    // names_spelling takes them). Returns the names that changed, with the
    // names reading them.
    std::vector<formula::named_expression_t> rewrite(formula::model_context& context, const text_rewrite_t& text_of,
                                                     const tokens_rewrite_t& tokens_of,
                                                     const std::vector<std::string>* spellings = nullptr);
    // The names, followed by every other name that reads one of them, directly
    // or through others; a name kept without tokens by its text as read in
    // `context`, whichever scope it finds.
    void add_readers(formula::model_context& context, std::vector<formula::named_expression_t>& names) const;

private:
    struct node_t {
        std::string name;
        std::string folded;  // the name as utf8_fold_case gives it
        uint32_t local_sheet_id = 0;
        defined_name_entry_t entry;
        std::vector<std::string> filed_under;  // the keys of readers_ it is filed under
        std::vector<std::string> spells;       // the keys of spellings_ it is filed under
        uint64_t order = 0;                    // of coming: the names spelling a word are given so
        bool respell_due = false;              // its text changed since it was filed in spellings_
        defined_name_key_t key() const noexcept { return {name, local_sheet_id}; }
        defined_name_key_t folded_key() const noexcept { return {folded, local_sheet_id}; }
    };

    // Every name's text and tokens (or those of the names filed under
    // `spellings`, in the order names came), rewritten; the names whose text
    // or tokens changed.
    std::vector<formula::named_expression_t> rewrite__(const text_rewrite_t& text_of, const tokens_rewrite_t& tokens_of,
                                                       const std::vector<std::string>* spellings = nullptr);
    void respell_due__();
    void rebuild_index__();
    // A node joins or leaves the indexes by name.
    void index__(node_t& node);
    void unindex_counts__(const node_t& node);
    // A name is filed under each name its tokens read or, kept without them,
    // under each word of its text (name_words).
    void file__(node_t& node);
    void unfile__(node_t& node);
    void unfile__(const std::vector<node_t*>& nodes);
    // Filed under what its text spells once the text changed; `gone` leaves.
    void respell__(node_t& node, bool gone = false);
    void forget_readings__() const;
    node_t* lookup__(const defined_name_key_t& key) const;
    defined_name_entry_t* add__(const defined_name_key_t& key, std::string_view expression,
                                std::vector<formula::token_t>&& tokens);

    // The store a workbook's sheets share is reached from each of them.
    mutable std::shared_mutex mutex_;
    // In the order they were added; a host deleting the first name again and
    // again moves none of the others.
    std::deque<std::unique_ptr<node_t>> names_;
    std::unordered_map<defined_name_key_t, node_t*, defined_name_key_hash> index_;
    // By folded name: the first name added of each spelling but for case.
    std::unordered_map<defined_name_key_t, node_t*, defined_name_key_hash> folded_index_;
    // The names folded_index_ does not give (another of their spelling came
    // first): a deleted name's successor is looked for only while there are some.
    size_t case_repeats_ = 0;
    // How many names, of every scope, have each spelling and each folded spelling.
    std::unordered_map<std::string, uint32_t> name_counts_;
    std::unordered_map<std::string, uint32_t> folded_counts_;
    // The names that read each name: by the folded spelling read. A link
    // `spelled` is a name kept without tokens whose text may spell it in any
    // scope; the others read it in `scope`.
    struct link_t {
        const node_t* reader;
        uint32_t scope;
        bool spelled;
    };
    std::unordered_map<std::string, std::vector<link_t>> readers_;
    // Filed with readers_: a table moving asks for these alone.
    std::vector<const node_t*> table_readers_;
    // Every name by what its text spells: a sheet or table that comes later
    // reads again the names spelling it, not every name.
    std::unordered_map<std::string, std::map<uint64_t, const node_t*>> spellings_;
    uint64_t added_ = 0;
    // Rewritten texts are filed again when next asked for: a host's inserts
    // one by one rewrite every name below them and seldom change what they spell.
    std::vector<node_t*> respell_due_;
    // Taken after mutex_, never before: readings are worked out with no lock held.
    mutable std::mutex readings_mutex_;
    struct kept_readings_t {
        std::shared_ptr<const name_reading_t> lasting;
        std::vector<std::pair<uint32_t, std::shared_ptr<const name_reading_t>>> by_sheet;
    };
    mutable std::unordered_map<const defined_name_entry_t*, kept_readings_t> readings_;
    mutable uint64_t names_changed_ = 0;
};

} // namespace vex::mta
