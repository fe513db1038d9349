#pragma once
// Writes the workbook part from the workbook model: its settings, views, the
// sheet list with each sheet's relationship id, the external references, the
// workbook's defined names and the pivot caches. Loaded content the model does
// not hold is not kept: the part is always written afresh.

#include "kestrel/xml/xl_xml/writers/output_handler.h"

namespace vex {

class workbook_part_t;
class workbook_t;

class workbook_part_xml : public output_handler {
public:
    explicit workbook_part_xml(workbook_part_t& part) noexcept : part_(part) {}
    void write() override;

private:
    // The kept elements of one schema place (-1: before the first).
    void write_kept(int32_t place);
    void write_workbook_pr();
    void write_book_views();
    void write_sheets();
    void write_external_references();
    void write_defined_names();
    void write_calc_pr();
    void write_pivot_caches();

    workbook_part_t& part_;
    xml::xml_stream_writer* w_ = nullptr;
    const workbook_t* book_ = nullptr;
};

} // namespace vex
