#pragma once
// Reads the shared-strings part item by item into its component, and the
// run-property and phonetic-property elements that other readers share.

#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "mta/table/cell/phonetic_text.h"
#include "mta/table/cell/richtext.h"

#include <cstdint>
#include <string>

namespace vex {

namespace mta {
struct font_t;
class string_pool_t;
}
class shared_string_table_t;

// The sheet's phoneticPr record.
struct phonetic_properties_t {
    uint32_t type = 3;  // fullwidthKatakana, halfwidthKatakana, Hiragana, noConversion
    uint32_t alignment = 0;  // noControl, center, left, distributed
    int32_t font_id = 0;
};

class assign_for_shared_string_table_t final : public shared_xml_assignment {
public:
    // Items go to the part's component, in part order.
    explicit assign_for_shared_string_table_t(shared_string_table_t& table) noexcept : table_(&table) {}
    // Items (inline strings of cells) go straight into the pool.
    explicit assign_for_shared_string_table_t(mta::string_pool_t& pool) noexcept : pool_(&pool) {}

    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);
    // Ends the item read so far: the pool index it got, or -1 when it went to
    // the component.
    int32_t finish_item();

private:
    xml::sxml::status_t item_child(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t run_child(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t reading_child(const xml::sxml::xml_node_t& node);

    shared_string_table_t* table_ = nullptr;
    mta::string_pool_t* pool_ = nullptr;
    uint32_t preserve_ = 0;
    std::string text_;
    bool escapes_kept_ = false;  // text_ holds escapes decoding kept as written
    mta::richtext_segment_t run_;
    mta::richtext_t rich_;
    mta::phonetic_run_t reading_;  // the rPh under construction
    mta::phonetic_text_t phonetic_;
};

// One element of a run's rPr into font: done, or keep for an element it does
// not know. Names and numbers are both taken for u and vertAlign; a bare <u/>
// is single; an element that needs a val and has none is ignored.
xml::sxml::status_t read_rich_run_properties(const xml::sxml::xml_node_t* node, mta::font_t& font);
// A phoneticPr element into record; keep for any other element.
xml::sxml::status_t read_phonetic_properties(const xml::sxml::xml_node_t* node, phonetic_properties_t& record);

} // namespace vex
