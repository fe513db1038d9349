#pragma once
// The less central records of a sheet: controls, cell watches, custom
// properties, data consolidation, data validations, ignored errors, scenarios
// and smart tags, the cell metadata indexes, and the sheet sections that no
// model holds, kept as the XML they were read from so that a loaded sheet
// saves whole.

#include "coord.h"
#include "kestrel/core/components/sheet_view.h"
#include "xml/sxml_node.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vex {

// A copy of one element with its attributes, texts and children, in the
// package's escaped form, that outlives the parser it was read with.
class kept_element_t {
public:
    explicit kept_element_t(const xml::sxml::xml_node_t& node);
    kept_element_t(kept_element_t&&) noexcept = default;
    kept_element_t& operator=(kept_element_t&&) noexcept = default;

    const xml::sxml::xml_node_t& root() const noexcept { return nodes_.front(); }
    xml::sxml::xml_node_t& root() noexcept { return nodes_.front(); }
    std::string_view name() const noexcept { return nodes_.front().name; }

    // An edit's text is kept with the copy, one text a node or attribute
    // however often it is edited.
    void set_text(xml::sxml::xml_node_t& node, std::string_view text);
    void set_value(xml::sxml::xml_attribute_t& attribute, std::string_view value);
    // The node leaves the tree; its storage stays with the copy.
    static void unlink(xml::sxml::xml_node_t& node) noexcept;
    // A copy of the node and all below it, its next sibling.
    xml::sxml::xml_node_t& copy_after(xml::sxml::xml_node_t& node);

private:
    xml::sxml::xml_node_t* copy_one(const xml::sxml::xml_node_t& source, xml::sxml::xml_node_t* parent,
                                    xml::sxml::xml_node_t* prev);
    xml::sxml::xml_node_t* copy_tree(const xml::sxml::xml_node_t& source, xml::sxml::xml_node_t* parent,
                                     xml::sxml::xml_node_t* prev);
    const char* keep(const char* text);

    std::deque<xml::sxml::xml_node_t> nodes_;
    std::deque<xml::sxml::xml_attribute_t> attributes_;
    std::deque<std::string> texts_;
    std::unordered_map<const void*, std::string> edited_;
};

// The anchor of an embedded object or control: zero-based cells, as in the
// file, each corner with both its offsets.
struct object_anchor_t {
    struct corner_t {
        int32_t col = 0;
        int32_t col_offset = 0;
        int32_t row = 0;
        int32_t row_offset = 0;
    };
    bool move_with_cells = false;
    bool size_with_cells = false;
    int32_t order = 0;
    corner_t from;
    corner_t to;
};

struct control_record_t {
    int32_t id = 0;
    std::string name;
    int32_t shape_id = 0;
    object_anchor_t anchor;
};

struct cell_watch_t {
    uint32_t flags = 0;
    int32_t row = 0;
    int32_t col = 0;
};

struct custom_property_t {
    int32_t id = 0;
    std::string name;
};

struct data_reference_t {
    std::string relationship_id;  // as written
    std::string name;
    std::string sheet;
    range_t ref{};
};

struct data_consolidation_t {
    uint32_t function = 0;  // index in "average, count, ..., varp"
    bool link = false;
    bool start_labels = false;
    bool top_labels = false;
    std::vector<data_reference_t> references;
};

struct data_validation_t {
    bool allow_blank = false;
    bool show_drop_down = false;
    bool show_error_message = false;
    bool show_input_message = false;
    std::string error;
    std::string error_title;
    std::string prompt;
    std::string prompt_title;
    uint32_t error_style = 1;  // stop
    uint32_t ime_mode = 1;     // noControl
    uint32_t operator_ = 6;    // between
    uint32_t type = 0;         // none
    sqref_t sqref;             // in document order
    std::string formula1;
    std::string formula2;
};

struct data_validations_t {
    bool disable_prompts = false;
    int32_t x_window = 0;
    int32_t y_window = 0;
    bool x_window_set = false;
    bool y_window_set = false;
    std::vector<data_validation_t> items;
};

struct ignored_error_t {
    enum flag : uint16_t {
        calculated_column = 1u << 0,
        empty_cell_reference = 1u << 1,
        eval_error = 1u << 2,
        formula = 1u << 3,
        formula_range = 1u << 4,
        list_data_validation = 1u << 5,
        number_stored_as_text = 1u << 6,
        two_digit_text_year = 1u << 7,
        unlocked_formula = 1u << 8,
    };
    uint16_t flags = 0;
    std::string sqref;
};

struct scenario_input_t {
    bool deleted = false;
    bool undone = false;
    int32_t num_fmt_id = 0;
    int32_t row = 0;
    int32_t col = 0;
    std::string value;
};

struct scenario_t {
    std::string comment;
    std::string name;
    std::string user;
    bool hidden = false;
    bool locked = false;
    std::vector<scenario_input_t> inputs;
};

struct scenario_group_t {
    int32_t current = 0;
    int32_t show = 0;
    std::string sqref;
    std::vector<scenario_t> scenarios;
};

struct smart_tag_t {
    bool deleted = false;
    bool xml_based = false;
    int32_t type = 0;
    std::vector<std::pair<std::string, std::string>> properties;
};

struct cell_smart_tags_t {
    int32_t row = 0;
    int32_t col = 0;
    std::vector<smart_tag_t> tags;
};

// A cell's indexes into the workbook's metadata part, and whether it shows
// its phonetic guide (ph), kept as read.
struct cell_metadata_t {
    static constexpr uint32_t max_value = (uint32_t(1) << 31) - 1;
    uint32_t cell = 0;          // cm; 0 when absent
    uint32_t value : 31 = 0;    // vm; 0 when absent or above max_value
    uint32_t phonetic : 1 = 0;  // ph
};

struct sheet_periphery_t {
    std::vector<control_record_t> controls;
    std::vector<cell_watch_t> cell_watches;
    std::vector<custom_property_t> custom_properties;
    std::unique_ptr<data_consolidation_t> data_consolidation;
    std::unique_ptr<data_validations_t> data_validations;
    std::vector<ignored_error_t> ignored_errors;
    std::vector<scenario_group_t> scenario_groups;
    std::vector<cell_smart_tags_t> smart_tags;

    // Keyed by row then column.
    std::map<std::pair<int32_t, int32_t>, cell_metadata_t> cell_metadata;
    // Error literals the model has no code for (#CALC!, #FIELD!, ...), by
    // cell as above: the cell reads as #VALUE!, and while it holds that error
    // it is written back with its own literal.
    std::map<std::pair<int32_t, int32_t>, std::string> error_literals;

    // The namespace declarations (and mc:Ignorable) of the loaded sheet's
    // root, which the kept elements may use.
    std::vector<std::pair<std::string, std::string>> root_namespaces;
    // Top-level sheet elements no model holds, in document order.
    std::vector<kept_element_t> kept_sections;

    const kept_element_t* kept_section(std::string_view name) const noexcept;
    const cell_metadata_t* metadata_at(int32_t row, int32_t col) const noexcept;
    const std::string* error_literal_at(int32_t row, int32_t col) const noexcept;
};

} // namespace vex
