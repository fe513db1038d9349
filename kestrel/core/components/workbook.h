#pragma once
// The model of the workbook part: the sheets in tab order with their names,
// ids and states, the workbook views (the first one carries the active sheet),
// the date system and the calculation and reference modes, and, while a
// package is read, the defined names waiting for the sheets' cell stores.
//
// It makes and removes worksheet parts as sheets come and go, and after a load
// it finishes the model: missing styles and shared strings, each sheet's table
// named after it, the defined names handed over, each sheet's relations done.
// Failures go to the last message; nothing here throws for bad input.

#include "kestrel/core/components/component_base.h"
#include "kestrel/core/components/sheet_periphery.h"
#include "mta/table/utils/defined_names/defined_name_store.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex {

class assign_for_workbook_t;
class external_document_t;
class shared_string_table_t;
class table_definition_t;
class worksheet_t;
class worktable_t;
class xml_document_t;

// A name holding a character spreadsheet applications refuse in a sheet name.
bool sheet_name_has_invalid_characters(std::string_view name) noexcept;

// One sheet of the workbook.
struct sheet_entry_t {
    uint32_t sheet_id = 0;
    uint32_t type = 1;   // 1 worksheet, 2 chart sheet, 3 dialog or macro sheet: from the part its r:id names
    uint32_t state = 0;  // 0 visible, 1 hidden, 2 veryHidden
    std::string relationship_id;  // empty for a sheet added at run time
    std::string name;
    worksheet_t* component = nullptr;  // null until its part is attached; chart sheets never get one
    bool name_as_stored = false;       // read undecoded, written back without the escape
};

// A definedName as read, kept until the sheets' cell stores exist.
struct defined_name_t {
    defined_name_props_t props;
    std::string name;
    int local_sheet_id = -1;  // -1: global
    std::string text;
};

// The attributes of a workbookView; one made here is all zero.
// The defaults are the format's: what an element leaves out.
struct workbook_view_t {
    bool auto_filter_date_grouping = true;
    bool show_sheet_tabs = true;
    bool minimized = false;
    bool show_horizontal_scroll = true;
    bool show_vertical_scroll = true;
    uint32_t visibility = 0;  // 0 visible, 1 hidden, 2 veryHidden
    uint32_t active_tab = 0;
    uint32_t first_sheet = 0;
    uint32_t tab_ratio = 600;
    uint32_t window_height = 0;
    uint32_t window_width = 0;
    int32_t x_window = 0;  // may lie left of or above the screen
    int32_t y_window = 0;
    std::string uid;  // xr2:uid as read, written where the root declares xr2
};

// A pivotCache of the workbook part: its number, which pivot tables name, and
// the relationship id its definition part was read with.
struct pivot_cache_entry_t {
    uint32_t cache_id = 0;
    std::string relationship_id;
};

// What a loaded workbook part held beyond the model, written back as read:
// the root's attributes (its namespace declarations among them), the other
// attributes of workbookPr and calcPr, and the elements no model reads.
struct workbook_kept_t {
    using attributes_t = std::vector<std::pair<std::string, std::string>>;
    struct element_t {
        // The schema place it is written at: its own, or for an element the
        // schema does not name, that of the element read before it; -1 first.
        int32_t place = -1;
        kept_element_t element;
    };
    attributes_t root;
    attributes_t workbook_pr;
    attributes_t calc_pr;
    std::vector<element_t> elements;  // in the order read
};

// The workbook part's content that this model reads and changes; the rest of
// the part belongs to its reader and writer.
struct workbook_record_t {
    bool date1904 = false;
    uint32_t calc_mode = 0;
    bool r1c1 = false;  // false: A1
    std::vector<workbook_view_t> views;
    std::vector<sheet_entry_t> sheets;
    std::vector<pivot_cache_entry_t> pivot_caches;
    // The relationship ids of the externalReferences as read: formulas name
    // an external workbook by its position in this list.
    std::vector<std::string> external_references;
    workbook_kept_t kept;
};

// The workbook's table definitions by name, in the order they were added.
class table_index_t {
public:
    // False, changing nothing, for an empty name or one present already.
    bool add(std::string_view name, table_definition_t* table);
    bool remove(std::string_view name);
    table_definition_t* find(std::string_view name) const noexcept;
    size_t size() const noexcept { return tables_.size(); }

private:
    std::vector<std::pair<std::string, table_definition_t*>> tables_;
};

class workbook_t : public component_base_t {
public:
    explicit workbook_t(xml_part_t* part);
    // Releases the workbook's shared objects in the table registry, under the
    // workbook part's id.
    ~workbook_t() override;

    // The workbook part's nodes; a partial load passes on only "sheets" and
    // "definedNames".
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;

    // ---- sheets ----
    // name may be empty (a default name is made); index beyond the end appends.
    worksheet_t* insert_worksheet(std::string_view name, uint64_t index);
    bool delete_worksheet(std::string_view name);
    void shift_sheet(uint64_t from, uint64_t to);
    bool rename_sheet(uint64_t index, std::string_view name);
    uint64_t sheet_count() const noexcept { return record_.sheets.size(); }
    worksheet_t* sheet_at(uint64_t index) const noexcept;
    std::string_view sheet_name(uint64_t index) const noexcept;
    std::string_view sheet_name_of(const worksheet_t* sheet) const noexcept;
    // All ones when absent.
    uint32_t sheet_index(const worksheet_t* sheet) const noexcept;
    // The first record whose name is the name in any case; all ones when none is.
    uint32_t sheet_index_by_name(std::string_view name) const noexcept;
    // The grid of the sheet at `index`; 0 for none (a chart sheet, or a
    // sheet without its cells yet). Kept by place: a span read over
    // thousands of sheets reads one list, not each sheet.
    uint32_t sheet_grid(uint64_t index) const;
    // The place of the sheet of that grid; all ones when the workbook has none.
    uint32_t sheet_index_by_grid(uint32_t grid) const;
    uint32_t sheet_type(uint64_t index) const noexcept;
    uint32_t sheet_state(uint64_t index) const;
    // Refuses to hide the last visible sheet; a hidden active sheet passes
    // the tab to the first visible one.
    void set_sheet_state(uint64_t index, uint32_t state);
    // Whether another sheet than the one at index is visible; when none is,
    // says so in the last message.
    bool shows_a_sheet_without(uint64_t index) const;
    std::string next_sheet_name() const;
    uint32_t next_sheet_id() const;

    // For readers and tests; what the lookups below keep of the records is made
    // again on the next question after this.
    std::vector<sheet_entry_t>& sheets() noexcept {
        lookup_.current = false;
        return record_.sheets;
    }
    const std::vector<sheet_entry_t>& sheets() const noexcept { return record_.sheets; }
    std::vector<workbook_view_t>& views() noexcept { return record_.views; }
    const std::vector<workbook_view_t>& views() const noexcept { return record_.views; }
    std::vector<pivot_cache_entry_t>& pivot_caches() noexcept { return record_.pivot_caches; }
    const std::vector<pivot_cache_entry_t>& pivot_caches() const noexcept { return record_.pivot_caches; }
    std::vector<std::string>& external_references() noexcept { return record_.external_references; }
    const std::vector<std::string>& external_references() const noexcept { return record_.external_references; }
    workbook_kept_t& kept() noexcept { return record_.kept; }
    const workbook_kept_t& kept() const noexcept { return record_.kept; }

    // The sheet of the record whose name is the name of the table with that
    // grid id; all ones when none.
    uint32_t sheet_index_by_table_id(uint32_t table_id) const;
    // The sheet id of the record with that relationship Id; all ones for a
    // null or empty Id or none.
    uint32_t sheet_id_by_rid(const char* rid) const noexcept;
    // Binds the sheet to its record: by relationship Id when one is given,
    // else the record holding it already. The 1-based position, the sheet
    // count when no record matches, all ones without a sheet.
    uint32_t attach_worksheet(worksheet_t* sheet, const char* rid) noexcept;
    // While a package's worksheet parts are attached one by one, the records
    // are found by relationship Id through an index made here (the first
    // record of an Id wins); it holds until dropped, and the records must not
    // change meanwhile. Returns the records whose Id an earlier one has.
    std::vector<const sheet_entry_t*> index_relationship_ids();
    void drop_relationship_index() noexcept { rid_positions_.clear(); }

    // ---- active sheet and modes ----
    int32_t active_sheet() const;
    bool set_active_sheet(int32_t index);
    bool is_date1904() const noexcept { return record_.date1904; }
    void set_date1904(bool on) noexcept { record_.date1904 = on; }
    bool is_a1_ref_mode() const noexcept { return !record_.r1c1; }
    void set_a1_ref_mode(bool a1) noexcept { record_.r1c1 = !a1; }
    uint32_t calc_mode() const noexcept { return record_.calc_mode; }
    void set_calc_mode(uint32_t mode) noexcept { record_.calc_mode = mode; }

    // ---- shared components ----
    component_base_t* styles() const noexcept { return styles_; }
    void set_styles(component_base_t* styles) noexcept { styles_ = styles; }
    shared_string_table_t* shared_strings() const noexcept { return shared_strings_; }
    void set_shared_strings(shared_string_table_t* strings) noexcept { shared_strings_ = strings; }

    // Through the workbook part's worksheet children, in child order.
    std::vector<worktable_t*> worktables() const;
    // The worktable of the first sheet in tab order that has one.
    worktable_t* first_worktable() const;

    // The parts' chart_growth_version at which the book was seen to hold no
    // chart: a sheet going need not look for charts again until one may have come.
    uint64_t chartless_at() const noexcept { return chartless_at_; }
    void set_chartless_at(uint64_t growth) const noexcept { chartless_at_ = growth; }

    table_index_t& tables() noexcept { return *tables_; }
    table_definition_t* find_table(std::string_view name) const noexcept { return tables_->find(name); }

    // ---- loading ----
    std::vector<defined_name_t>& pending_names() noexcept { return pending_names_; }
    // Run once after every part is read; false when a defined name was refused.
    bool after_loading__();

    // ---- the document ----
    xml_document_t* document() const noexcept { return document_; }
    void set_document(xml_document_t* document) noexcept { document_ = document; }
    // Set only in a workbook read for another workbook's references.
    external_document_t* external_document() const noexcept { return external_; }
    void set_external_document(external_document_t* document) noexcept { external_ = document; }
    // Stand in for the document object until it owns the workbook part: its
    // file path and its format code (2 while a package is loaded or saved).
    std::string document_path() const { return document_path_; }
    void set_document_path(std::string path) { document_path_ = std::move(path); }
    uint32_t document_format() const noexcept { return document_format_; }
    void set_document_format(uint32_t code) noexcept { document_format_ = code; }

private:
    // Moves a sheet (its grid `moved`, 0 when it has none yet); formulas
    // reading spans of sheets follow the order.
    void reorder__(uint32_t moved, const std::function<void()>& reorder);
    // What finding a sheet and naming and numbering a new one look at, kept
    // while the records change only here: adding sheets one by one must not
    // walk every record for each.
    struct sheet_lookup_t {
        static constexpr uint32_t no_place = UINT32_MAX;
        bool current = false;
        // The maps name records by slot, which a record keeps while others
        // come and go before it: only this flat list of places is renumbered.
        std::vector<uint32_t> slot_at;   // the slot of each record, by its place
        // The grid of each record's sheet, by its place, once asked; 0 until
        // then: a sheet's cells may come after its record.
        std::vector<uint32_t> grid_at;
        std::unordered_map<uint32_t, uint32_t> grid_slots;  // the slot of each grid known in grid_at
        std::vector<uint32_t> place_of;  // the place of each slot's record; no_place once free
        std::vector<uint32_t> free_slots;
        std::unordered_map<const worksheet_t*, uint32_t> sheet_slots;  // the slot of the first record holding each
        std::map<int64_t, uint32_t> default_numbers;  // the n of the names "Sheet<n>", each with how many
        std::unordered_map<uint32_t, uint32_t> ids;    // each with how many records carry it
        struct named_t {
            uint32_t count = 0;  // records carrying the name in any case
            uint32_t first = 0;  // the slot of the first
        };
        std::unordered_map<std::string, named_t> folded_names;
        uint32_t repeated = 0;  // folded names more than one record carries (a loaded file)
        uint32_t free_id = 1;                          // the smallest id above 0 no record carries

        uint32_t place(uint32_t slot) const noexcept { return slot < place_of.size() ? place_of[slot] : no_place; }
        // The record just put at `position`, the places behind it already moved.
        void count_record(const sheet_entry_t& s, uint32_t position);
    };

    const sheet_lookup_t& lookup__() const;
    // A current lookup follows the record inserted at, erasing at or renamed
    // at position, without walking every record.
    void count_inserted__(uint32_t position);
    void count_erasing__(uint32_t position);
    void count_renamed__(uint32_t position, std::string_view name);
    // The record at `from` just moved to `to`.
    void count_moved__(uint32_t from, uint32_t to);
    void uncount_name__(uint32_t position);
    void assign_sheet_types__();
    bool check_new_name__(std::string_view name, const sheet_entry_t* self, std::string_view duplicate_text) const;
    uint32_t position_of_rid__(const char* rid) const noexcept;
    void repair_active_tab__();
    void show_visible_tab__();

    xml_document_t* document_ = nullptr;
    external_document_t* external_ = nullptr;
    std::string document_path_;
    uint32_t document_format_ = 0;
    component_base_t* styles_ = nullptr;
    shared_string_table_t* shared_strings_ = nullptr;
    workbook_record_t record_;
    std::unique_ptr<table_index_t> tables_;
    std::vector<defined_name_t> pending_names_;
    std::unique_ptr<assign_for_workbook_t> reader_;
    std::unordered_map<std::string_view, uint32_t> rid_positions_;
    mutable sheet_lookup_t lookup_;
    mutable uint64_t chartless_at_ = UINT64_MAX;
};

} // namespace vex
