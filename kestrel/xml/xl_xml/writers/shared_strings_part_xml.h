#pragma once
// Writes the shared-strings part: the workbook pool's texts that the sheets
// written in this save used, in the order they first used them, with exact
// counts.

#include "kestrel/xml/xl_xml/writers/output_handler.h"

#include <cstdint>

namespace vex {

class shared_string_table_part_t;

namespace mta {
class string_pool_t;
}

class shared_strings_part_xml : public output_handler {
public:
    explicit shared_strings_part_xml(shared_string_table_part_t& part) noexcept : part_(part) {}
    void write() override;

private:
    void write_si(const mta::string_pool_t& pool, uint32_t index);

    shared_string_table_part_t& part_;
    xml::xml_stream_writer* w_ = nullptr;
};

} // namespace vex
