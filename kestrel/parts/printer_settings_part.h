#pragma once
// The printer-settings part: a binary block the package keeps and writes back
// byte for byte.

#include "kestrel/parts/simple_part.h"

namespace vex {

// Its part's bytes go out through the part's own write; this writer only
// stands for the part in a save.
class spreadsheet_printer_settings_part_xml : public output_handler {
public:
    explicit spreadsheet_printer_settings_part_xml(xml_part_t& part) noexcept : part_(part) {}
    void write() override {}
    xml::xml_stream_writer* get_xml_writer() const noexcept { return part_.get_xml_writer(); }

private:
    xml_part_t& part_;
};

class spreadsheet_printer_settings_part_t final : public described_part_t {
public:
    explicit spreadsheet_printer_settings_part_t(xml_part_t* parent);
    ~spreadsheet_printer_settings_part_t() override;
    void create_output_handler(int mode) override;
};

} // namespace vex
