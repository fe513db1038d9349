#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/cell/string_pool.h"
#include "tests/kestrel/xml/xl_xml/writers/writer_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace package_test;
using writer_test::xml_elements;

namespace {

using k = vex::part_kind_enum;

const std::string head = std::string(saved_decl) +
                         "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" ";

struct book_with_pool {
    vex::xml_document_t doc;
    vex::workbook_t* book = nullptr;
    vex::mta::string_pool_t* pool = nullptr;
    vex::shared_string_table_t* strings = nullptr;

    book_with_pool() {
        doc.create_package();
        book = doc.workbook();
        writer_test::add_sheet(*book, "A");
        pool = &book->first_worktable()->get_string_pool();
        strings = book->shared_strings();
    }
    // As the sheets do: one call per string cell written.
    void cells(const std::vector<int32_t>& indexes) {
        for (const int32_t i : indexes) strings->save_index_of(static_cast<uint32_t>(i));
    }
    std::string written() {
        return writer_test::write_part_text(*writer_test::child_of_kind(*doc.workbook_part(), k::shared_string_table_part));
    }
};

} // namespace

TEST(shared_strings_part_xml, repeated_text_counts_twice_and_is_listed_once) {
    book_with_pool b;
    const int32_t amp = b.pool->add_string(0, "a<b&c");
    const int32_t x = b.pool->add_string(0, "x");
    b.pool->add_string(0, "not used by any cell");
    b.cells({amp, x, b.pool->add_string(0, "a<b&c")});
    EXPECT_EQ(xml_elements(b.written()), xml_elements(head + R"(count="3" uniqueCount="2">
        <si><t>a&lt;b&amp;c</t></si>
        <si><t>x</t></si>
        </sst>)"));
}

TEST(shared_strings_part_xml, first_use_decides_the_position) {
    book_with_pool b;
    const int32_t first = b.pool->add_string(0, "first in pool");
    const int32_t second = b.pool->add_string(0, " padded ");
    const int32_t quotes = b.pool->add_string(0, "\"it's\" > 1");
    b.cells({second, quotes, first, second});
    EXPECT_EQ(xml_elements(b.written()), xml_elements(head + R"(count="4" uniqueCount="3">
        <si><t xml:space="preserve"> padded </t></si>
        <si><t>&quot;it&apos;s&quot; &gt; 1</t></si>
        <si><t>first in pool</t></si>
        </sst>)"));
}

TEST(shared_strings_part_xml, empty_table_holds_one_empty_item) {
    book_with_pool b;
    EXPECT_EQ(xml_elements(b.written()), xml_elements(head + R"(count="0" uniqueCount="1"><si/></sst>)"));
}

TEST(shared_strings_part_xml, rich_runs) {
    book_with_pool b;
    vex::mta::richtext_segment_t plain{0, "plain ", {}};
    vex::mta::richtext_segment_t styled{0, "styled", {}};
    styled.font.name = "Arial";
    styled.font.size = 10.5;
    styled.font.bold = 1;
    styled.font.underline = 3;
    styled.font.vert_align = 2;
    styled.font.family = 2;
    styled.font.color = vex::mta::color_t::from_theme(4, -0.25);
    b.cells({b.pool->add_rich_text(vex::mta::richtext_t({plain, styled}))});
    EXPECT_EQ(xml_elements(b.written()), xml_elements(head + R"(count="1" uniqueCount="1">
        <si>
          <r><rPr></rPr><t xml:space="preserve">plain </t></r>
          <r><rPr>
            <b val="1"/><u val="double"/><vertAlign val="superscript"/><sz val="10.5"/>
            <color theme="4" tint="-0.25"/><rFont val="Arial"/><family val="2"/>
          </rPr><t>styled</t></r>
        </si>
        </sst>)"));
}

TEST(shared_strings_part_xml, saved_after_the_sheets_that_number_it) {
    scratch_dir dir;
    book_with_pool b;
    const stand_in_writers sheets(b.doc, {k::worksheet_part}, &writer_test::numbering_sheet::make);
    writer_test::sheet_texts() = {"b", "a", "b"};
    writer_test::add_sheet(*b.book, "B");
    b.doc.save((dir / "s.xlsx").c_str(), 2);
    // Saved twice: each save numbers from 0 again.
    b.doc.save((dir / "s.xlsx").c_str(), 2);
    writer_test::sheet_texts().clear();
    writer_test::expect_valid_package(dir / "s.xlsx");
    const entries_t saved = read_zip(dir / "s.xlsx");
    EXPECT_EQ(xml_elements(find(saved, "xl/sharedStrings.xml")), xml_elements(head + R"(count="6" uniqueCount="2">
        <si><t>b</t></si><si><t>a</t></si></sst>)"));
}

// Written as spreadsheet applications write it, a CR reads back as CR in
// every reader of the part, those that decode escapes and those that keep them.
TEST(shared_strings_part_xml, carriage_returns_go_out_as_the_package_escape) {
    book_with_pool b;
    b.cells({b.pool->add_string(0, "a\r\nb")});
    EXPECT_EQ(xml_elements(b.written()), xml_elements(head + "count=\"1\" uniqueCount=\"1\"><si><t>a_x000D_\nb</t></si></sst>"));
}
