#include "kestrel/xml/xl_xml/writers/worktable_comments_part_xml.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/writers/style_elements_xml.h"
#include "text_utils.h"

#include <stdexcept>

namespace vex {

namespace {

constexpr std::string_view markup_compatibility = "http://schemas.openxmlformats.org/markup-compatibility/2006";
constexpr std::string_view revision_2014 = "http://schemas.microsoft.com/office/spreadsheetml/2014/revision";

bool names_no_author(const mta::comment_store_t& store) {
    for (const auto& [cell, comment] : store.entries())
        if (comment.author < 0) return true;
    return false;
}

} // namespace

std::vector<std::string> worktable_comments_part_xml::written_authors(const mta::comment_store_t& store) {
    std::vector<std::string> authors = store.authors();
    if (names_no_author(store)) authors.emplace_back();
    return authors;
}

void worktable_comments_part_xml::write() {
    xml::xml_stream_writer* w = part_.get_xml_writer();
    const xml_part_t* parent = part_.get_parent();
    const auto* table = parent ? dynamic_cast<const worktable_t*>(parent->get_component()) : nullptr;
    if (!w || !table) throw std::runtime_error("no xml stream writer.");
    const mta::comment_store_t& store = table->comments();
    const std::vector<std::string> authors = written_authors(store);
    const int32_t no_author = int32_t(authors.size()) - 1;

    w->start_element("comments");
    w->write_attribute("xmlns", uri::spreadsheetml_main);
    w->write_attribute("xmlns:mc", markup_compatibility);
    w->write_attribute("xmlns:xr", revision_2014);
    w->write_attribute("mc:Ignorable", "xr");
    w->close_start_tag();
    w->start_element("authors");
    w->close_start_tag();
    for (const std::string& a : authors) {
        w->start_element("author");
        w->close_start_tag();
        w->write_text(a);
        w->end_element("author");
    }
    w->end_element("authors");
    w->start_element("commentList");
    w->close_start_tag();
    for (const auto& [cell, comment] : store.entries()) {
        const int32_t author = comment.author;
        w->start_element("comment");
        w->write_attribute("ref", row_col_to_string(cell.first, cell.second));
        w->write_attribute("authorId", number_text(author < 0 ? no_author : author));
        w->write_attribute("shapeId", "0");
        w->close_start_tag();
        w->start_element("text");
        w->close_start_tag();
        for (const mta::richtext_segment_t& run : comment.text.segments()) write_rich_run(*w, run);
        w->end_element("text");
        w->end_element("comment");
    }
    w->end_element("commentList");
    w->end_element("comments");
}

} // namespace vex
