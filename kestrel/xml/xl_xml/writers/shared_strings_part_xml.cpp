#include "kestrel/xml/xl_xml/writers/shared_strings_part_xml.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/shared_string_table_part.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "kestrel/xml/xl_xml/writers/style_elements_xml.h"
#include "mta/table/cell/string_pool.h"

#include <stdexcept>

namespace vex {

void shared_strings_part_xml::write() {
    w_ = part_.get_xml_writer();
    if (!w_) throw std::runtime_error("no xml stream writer.");
    const shared_string_table_t& strings = *part_.get_strings();
    const auto* book = dynamic_cast<const workbook_t*>(part_.get_workbook());
    const worktable_t* first = book ? book->first_worktable() : nullptr;
    const std::vector<uint32_t>& order = strings.save_order();

    w_->write_raw(xml::standalone_declaration);
    w_->start_element("sst");
    w_->write_attribute("xmlns", uri::spreadsheetml_main);
    w_->write_attribute("count", number_text(strings.save_reference_count()));
    // An empty table still holds one (empty) item.
    w_->write_attribute("uniqueCount", number_text(order.empty() ? size_t(1) : order.size()));
    w_->close_start_tag();
    if (order.empty() || !first) {
        w_->start_element("si");
        w_->end_empty_element();
    } else {
        const mta::string_pool_t& pool = first->get_string_pool();
        for (const uint32_t index : order) write_si(pool, index);
    }
    w_->end_element("sst");
}

void shared_strings_part_xml::write_si(const mta::string_pool_t& pool, uint32_t index) {
    const auto at = static_cast<int32_t>(index);
    w_->start_element("si");
    w_->close_start_tag();
    if (const mta::richtext_t* rich = pool.rich_text_at(at)) {
        for (const mta::richtext_segment_t& run : rich->segments()) write_rich_run(*w_, run);
    } else {
        uint32_t preserve = 0;
        bool kept = false;
        const std::string_view text = pool.string_at(at, &preserve, &kept);
        write_text_element(*w_, text, preserve, true, kept);
    }
    write_phonetic_text(*w_, pool.phonetic_at(at), true);
    w_->end_element("si");
}

} // namespace vex
