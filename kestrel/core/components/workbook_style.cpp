#include "kestrel/core/components/workbook_style.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_workbook_styles.h"

namespace vex {

using xml::sxml::node_kind;
using xml::sxml::status_t;

workbook_style_t::workbook_style_t(xml_part_t* part)
    : component_base_t(part),
      workbook_(part && part->get_parent() ? dynamic_cast<workbook_t*>(part->get_parent()->get_component())
                                           : nullptr) {}

workbook_style_t::~workbook_style_t() = default;

status_t workbook_style_t::assign(const xml::sxml::xml_node_t* node) {
    if (node && node->kind == node_kind::document_element && node->closed) {
        if (reader_) reader_->finish();
        reader_.reset();
        return status_t::done;
    }
    if (!reader_) {
        tables_ = std::make_unique<mta::style_manager_t::impl>();
        kept_ = styles_kept_t{};
        reader_ = std::make_unique<assign_for_workbook_style_t>(*tables_, kept_);
    }
    return reader_->assign(node);
}

} // namespace vex
