#pragma once
// Every registered sheet's cell store, by grid id, and the objects the sheets of
// one workbook share: style manager, defined names, pictures and string pool.
// Formula evaluation looks tables up from worker threads while hosts create and
// release documents, so the registry is guarded and its id counter atomic.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex::mta {

class Table;
class style_manager_t;
class defined_name_store_t;
class string_pool_t;
namespace image {
class table_image_manager;
}
namespace formula {
class spelling_sheets_t;
}

struct table_record_t {
    uint32_t grid_id = 0;
    Table* table = nullptr;  // not owned
    uint32_t sheet_id = 0;   // within its workbook
    uint32_t workbook = 0;   // the process-wide number of the workbook
    std::string name;        // kept here so lookups never read a table being renamed
};

// What the sheets of one workbook share, freed when the workbook is released.
struct workbook_shared_t {
    workbook_shared_t();
    ~workbook_shared_t();

    std::unique_ptr<style_manager_t> styles;
    std::unique_ptr<defined_name_store_t> names;
    std::unique_ptr<image::table_image_manager> images;
    std::unique_ptr<string_pool_t> strings;
    std::unique_ptr<formula::spelling_sheets_t> spellings;
    // The registered sheets by grid id, the order of registering: a
    // workbook's sheets are listed without walking every other document's.
    using sheet_list_t = std::map<uint32_t, Table*>;
    sheet_list_t sheets;
    // Those of them whose table lists hold a table or a name kept from a file.
    sheet_list_t table_holders;
    bool released = false;  // freed as soon as its last sheet goes
};

class table_registry_t {
public:
    table_registry_t() = default;
    ~table_registry_t();
    table_registry_t(const table_registry_t&) = delete;
    table_registry_t& operator=(const table_registry_t&) = delete;

    static void create(std::unique_ptr<table_registry_t>& out) { out = std::make_unique<table_registry_t>(); }
    static void destroy(std::unique_ptr<table_registry_t>& p) noexcept { p.reset(); }

    // Gives the table the next grid id and its workbook's shared objects, made on
    // the workbook's first sheet. A table registered already is left alone. A
    // table that holds cells, names, styles or pictures is refused and left as it
    // was: its texts and style indexes point into its own objects.
    bool register_table(Table& table, uint32_t sheet_id, uint32_t workbook);
    // The table's local names and pictures leave the workbook's objects; the
    // objects themselves stay while the workbook lives. Unknown ids do nothing.
    void unregister_table(uint32_t grid_id);
    // Frees the workbook's shared objects, at once when none of its sheets is
    // registered, else when the last one goes.
    void release_workbook(uint32_t workbook);

    Table* find_by_grid_id(uint32_t grid_id) const;
    // Only a table of the given workbook: the workbook is compared under the
    // lock, so another document's table being released is never read.
    Table* find_in_workbook(uint32_t grid_id, uint32_t workbook) const;
    // The workbook's shared style manager: made with its first sheet, kept
    // after its last sheet goes; null before.
    style_manager_t* workbook_styles(uint32_t workbook) const;
    // Only tables of the given workbook; the first registered wins.
    Table* find_by_name(uint32_t workbook, std::string_view name) const;
    // The workbook's registered tables in the order they were registered.
    std::vector<Table*> tables_of(uint32_t workbook) const;
    // Those of them whose table lists hold a table or a kept name, as the
    // tables told with hold_tables().
    std::vector<Table*> table_holders_of(uint32_t workbook) const;
    void hold_tables(uint32_t workbook, uint32_t grid_id, bool held);
    // A registered table's new name; unknown ids do nothing.
    void rename(uint32_t grid_id, std::string_view name);

    size_t table_count() const;
    size_t workbook_count() const;

private:
    using sheet_list_t = workbook_shared_t::sheet_list_t;
    static bool holds_own_content__(const Table& table);
    std::vector<Table*> listed__(uint32_t workbook, sheet_list_t workbook_shared_t::*list) const;

    mutable std::shared_mutex mutex_;
    std::atomic<uint32_t> next_grid_id_{1};
    // By grid id; ids rise, so their order is the order of registering.
    std::unordered_map<uint32_t, table_record_t> tables_;
    std::unordered_map<uint32_t, std::unique_ptr<workbook_shared_t>> workbooks_;
};

// The registry of the process: made on first use, never destroyed, so that
// documents a host never releases find it until the very end.
table_registry_t& get_table_registry();

// Null for an id below 1 or an id that no registered table has.
Table* find_table_by_grid_id(int32_t grid_id) noexcept;
Table* find_table_by_name(uint32_t workbook, std::string_view name);

} // namespace vex::mta
