#pragma once
// The model of a sheet's cell data, owned by the sheet's worktable part: a
// package component and, at the same time, the sheet's cell store. What needs
// package parts goes through it: tables (table-definition children), pictures
// (drawing and image children) and hyperlinks (relationships).

#include "coord.h"
#include "kestrel/core/components/component_base.h"
#include "kestrel/core/components/sheet_periphery.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/table_definition/tabledef.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex {

class assign_for_worktable;
class drawings_part_t;
class image_part_t;
class worksheet_t;
class xml_part_t;

class worktable_t : public component_base_t, public mta::Table {
public:
    // A hyperlink element read from the sheet, resolved once the sheet's
    // relationships are known.
    struct pending_hyperlink_t {
        range_t range;
        std::string relationship_id;  // empty for a link inside the workbook
        std::string target;           // the location, or the Target once resolved
        std::string display;
        std::string tooltip;
    };

    // An embedded object or control naming its child parts by relationship id.
    struct embedded_object_t {
        struct properties_t {
            std::string relationship_id;
            xml_part_t* part = nullptr;
        };
        std::string relationship_id;
        xml_part_t* part = nullptr;
        std::unique_ptr<properties_t> properties;
    };

    struct sheet_extras_t {
        std::vector<pending_hyperlink_t> pending_hyperlinks;  // empty outside a load
        std::vector<embedded_object_t> embedded_objects;
        // In the order they were added. A list: either end leaves moving none,
        // and a sheet without tables holds no block for it.
        std::list<xml_part_t*> table_parts;
        // The sheet's own autoFilter and sortState elements.
        std::unique_ptr<autofilter_t> autofilter;
        std::unique_ptr<sort_state_t> sort_state;
        // Column widths as read, by the width the store gives back for each:
        // the store keeps EMU, and writing that back would change the text
        // (20.7109375 becoming 20.710931758530183) of a width nobody changed.
        std::map<double, double> read_col_widths;
    };

    // A store over the whole sheet.
    explicit worktable_t(xml_part_t* part);
    // A store of rows x cols from the sheet's first cell. The store joins its
    // workbook's registry when there is a workbook part above, then takes an
    // access to the document.
    worktable_t(xml_part_t* part, unsigned rows, unsigned cols, const mta::extent_t& extent);
    ~worktable_t() override;

    // Sheet-data nodes of a load; in a selective load only those under
    // "sheetData" are read.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;
    void notify_children(int code) override;

    sheet_extras_t& sheet_extras() noexcept { return extras_; }
    const sheet_extras_t& sheet_extras() const noexcept { return extras_; }
    sheet_periphery_t& periphery() noexcept { return periphery_; }
    const sheet_periphery_t& periphery() const noexcept { return periphery_; }
    // The worksheet of the parent part; null without one.
    worksheet_t* get_worksheet() const noexcept;

    // ---- tables ----
    // Table names are unique in the whole workbook, and no defined name has
    // one, in any case.
    // Null with the reason in the last message: "Table name can not be
    // empty.", "Table range is out of scope.", "Table already exists.", "Table
    // name already exists." (taken as table_name_taken says), "The range of the table
    // conflicts with a merged cell range.", "This operation will change part of
    // an array formula of several cells." (one meets the range), or the table list's own. Merged
    // ranges inside the table are unmerged. A header cell holding a value
    // names its column (a repeat gets the lowest number suffix that makes it
    // unique); an empty one gives "Column" and the column's number. The names
    // are written to the header cells, even over cells that refuse values.
    mta::tabledef_t* add_tabledef(std::string_view name, const range_t& range, const char* style);
    // Clears the table's cells and styles and drops its part; false when no
    // table part has that name.
    bool delete_tabledef(std::string_view name);
    // Null when another table or a defined name has the name in any case
    // ("Table name already exists.") or the table list refuses; throws kestrel_error when the list
    // renamed a table no part holds.
    mta::tabledef_t* rename_tabledef(std::string_view old_name, std::string_view new_name);
    // A table the store let go takes its part (and so its relationship) along.
    void on_table_removed__(std::string_view name) override;
    // Cell metadata indexes move with their cells.
    void on_shift__(const mta::band_shift_t& shift) override;
    // Data validations and conditional formats, their extension copies too,
    // follow as formulas at their first cells do.
    void follow_kept_formulas__(const mta::band_shift_t* shift, const text_rewrite_t& text_of) override;
    bool keeps_texts__() const override;
    // Validations or kept sections whose formulas follow edits.
    bool keeps_formulas__() const;
    // The workbook's charts, on its sheets and chart sheets, read their data
    // again; a chart whose texts stay keeps its bytes.
    void follow_book_parts__(const text_rewrite_t& text_of) override;
    // A value set in a cell replaces the error literal read there.
    void on_values_set__(const range_t& range) override;
    // An error literal goes with its cell's value when a merge gathers it.
    void on_value_moved__(int from_row, int from_col, int row, int col) override;

    // ---- pictures ----
    // The new image id, or what the image manager answered (below 1, with its
    // reason in the last message). A picture is shown by an image part of the
    // sheet's drawing: the given part (a loaded one), else a new one.
    int32_t add_absolute_image(std::string_view file, int32_t x, int32_t y, int32_t width, int32_t height,
                               double scale, image_part_t* part = nullptr);
    int32_t add_image_with_one_cell(std::string_view file, int32_t row, int32_t col, int32_t width, int32_t height,
                                    double scale, int32_t col_offset, int32_t row_offset,
                                    image_part_t* part = nullptr);
    int32_t add_image_with_two_cells(int32_t edit_as, std::string_view file, int32_t from_col,
                                     int32_t from_col_offset, int32_t from_row, int32_t from_row_offset,
                                     int32_t to_col, int32_t to_col_offset, int32_t to_row, int32_t to_row_offset,
                                     image_part_t* part = nullptr);
    int32_t add_absolute_image_from_memory(const void* bytes, size_t n, int32_t x, int32_t y, int32_t width,
                                           int32_t height, double scale, image_part_t* part = nullptr);
    int32_t add_one_cell_image_from_memory(const void* bytes, size_t n, int32_t row, int32_t col, int32_t width,
                                           int32_t height, double scale, int32_t col_offset, int32_t row_offset,
                                           image_part_t* part = nullptr);
    int32_t add_two_cell_image_from_memory_to_part(int32_t edit_as, const void* bytes, size_t n, int32_t from_col,
                                                   int32_t from_col_offset, int32_t from_row,
                                                   int32_t from_row_offset, int32_t to_col, int32_t to_col_offset,
                                                   int32_t to_row, int32_t to_row_offset,
                                                   image_part_t* part = nullptr);
    // The image manager alone: no part is made or told.
    int32_t add_two_cell_image_from_memory(int32_t edit_as, const void* bytes, size_t n, int32_t from_col,
                                           int32_t from_col_offset, int32_t from_row, int32_t from_row_offset,
                                           int32_t to_col, int32_t to_col_offset, int32_t to_row,
                                           int32_t to_row_offset);
    // Replaces the sheet's background picture; its bytes go to the worktable
    // part's image child. The image id, or -1.
    int32_t set_bg_picture(std::string_view file);
    int32_t set_bg_picture_from_memory(const void* bytes, size_t n);
    // The drawing child, made when there is none.
    drawings_part_t* get_drawing_part__();

    // ---- hyperlinks ----
    // Every hyperlink of the sheet, internal ones included: each external one
    // is a relationship of the sheet's entry.
    uint64_t hyperlink_count() const noexcept { return hyperlinks_; }
    void set_hyperlink_count(uint64_t n) noexcept { hyperlinks_ = n; }
    // Adds the pending hyperlinks to the store, external ones with the Target
    // of their relationship; throws opendoc_error "External hyperlink target
    // not found." for an id the worktable part's relationships lack.
    bool after_loading__();

    // The text of a string cell; null for any other cell or position.
    const char* get_shared_string(int row, int col) const;
    const char* shared_string_at(int row, int col) const override { return get_shared_string(row, col); }

    void set_imported_row_cells(const mta::imported_row_cells& row) { set_imported_row_cells_(row); }

private:
    xml_part_t* table_part_named__(std::string_view name) const;
    // Takes the table part out of the sheet's, keeping the index below current.
    void remove_table_part__(xml_part_t* part);
    // Editable ranges, ignored-error ranges and page breaks follow a shift.
    void follow_kept_ranges__(const mta::band_shift_t& shift);
    // Sparklines read their data again after an edit, as the kept formulas do.
    void follow_sparklines__(const mta::band_shift_t* shift, const text_rewrite_t& text_of);
    void name_columns__(mta::tabledef_t& table);
    // Shows the new picture through the drawing; the id, or what the manager gave.
    int32_t show_image__(int32_t id, image_part_t* part);
    int32_t add_two_cell_image__(int32_t edit_as, const void* bytes, size_t n, const int32_t (&corners)[8],
                                 image_part_t* part, bool manager_only);
    // `from`: the bytes the picture was read from; the image part that holds
    // them with a type keeps its name and type as read.
    int32_t fill_background__(int32_t id, const void* from = nullptr);

    sheet_extras_t extras_;
    sheet_periphery_t periphery_;
    std::unique_ptr<assign_for_worktable> reader_;
    uint64_t hyperlinks_ = 0;
    // The sheet's table parts by name, each name's in child order, as they
    // stood at a version of the part tree: a host deleting thousands of tables
    // finds each part without comparing the others.
    struct table_part_index_t {
        const xml_part_t* sheet = nullptr;
        uint64_t version = 0;
        bool built = false;
        std::unordered_map<std::string, std::vector<xml_part_t*>> by_name;
    };
    mutable table_part_index_t table_parts_;
};

} // namespace vex
