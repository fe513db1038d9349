#pragma once
// Writes a sheet's comments part from the sheet's comment store: the authors,
// then each comment's cell, author and rich text, in the store's order.

#include "kestrel/xml/xl_xml/writers/output_handler.h"

#include <string>
#include <vector>

namespace vex {

class xml_part_t;

namespace mta::utils::cell_comment {
class comment_store_t;
}

class worktable_comments_part_xml : public output_handler {
public:
    explicit worktable_comments_part_xml(xml_part_t& part) noexcept : part_(part) {}
    void write() override;

    // The authors as written: the store's, and an empty one behind them when
    // a comment names none, so that every comment names one.
    static std::vector<std::string> written_authors(const mta::utils::cell_comment::comment_store_t& store);

private:
    xml_part_t& part_;
};

} // namespace vex
