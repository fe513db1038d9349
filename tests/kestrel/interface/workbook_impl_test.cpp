// The workbook handle over sheet records that have no worksheet: a chart sheet
// counts in every index but gets no handle.
#include "kestrel/interface/workbook_impl.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/interface/document_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::string last_message() { return vex::get_run_message().str(); }

struct doc_deleter {
    void operator()(vex::iDocument* d) const { d->release(); }
};

// A document whose first sheet record is a chart sheet named "Chart1",
// followed by the worksheets named.
struct chart_first_t {
    std::unique_ptr<vex::iDocument, doc_deleter> doc{vex::create_document()};
    vex::iWorkbook_impl& wb = dynamic_cast<vex::iDocument_impl&>(*doc).workbook();

    explicit chart_first_t(std::initializer_list<const char*> sheets) {
        for (const char* s : sheets) EXPECT_NE(wb.add_worksheet(s), nullptr);
        vex::sheet_entry_t chart;
        chart.sheet_id = 99;
        chart.type = 2;
        chart.name = "Chart1";
        auto& records = wb.workbook()->sheets();
        records.insert(records.begin(), chart);
    }
};

} // namespace

TEST(workbook_impl, chart_sheet_counts_in_indexes_without_a_handle) {
    chart_first_t b({"A", "B"});
    EXPECT_EQ(b.wb.sheet_count(), 3u);
    EXPECT_EQ(b.wb.get_sheet(0), nullptr);
    EXPECT_EQ(last_message(), "The sheet is not a worksheet.");
    EXPECT_STREQ(b.wb.sheet_name(0), "Chart1");
    EXPECT_STREQ(b.wb.sheet_name(1), "A");
    EXPECT_EQ(b.wb.sheet_type(0), 2);
    EXPECT_EQ(b.wb.sheet_type(1), 1);
    vex::iWorksheet* a = b.wb.get_sheet(1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(b.wb.first_sheet(), a);

    b.wb.delete_sheet(0);
    EXPECT_EQ(last_message(), "The sheet is not a worksheet.");
    EXPECT_EQ(b.wb.sheet_count(), 3u);

    // A chart sheet may be renamed and moved; the worksheet handles follow
    // their sheets, and the first worksheet is found in tab order.
    b.wb.rename_sheet(0, "Chart");
    EXPECT_STREQ(b.wb.sheet_name(0), "Chart");
    b.wb.shift_sheet(0, 2);
    EXPECT_EQ(b.wb.get_sheet(0), a);
    EXPECT_EQ(b.wb.get_sheet(2), nullptr);
    b.wb.delete_sheet(0);
    EXPECT_EQ(b.wb.sheet_count(), 2u);
    EXPECT_STREQ(b.wb.sheet_name(0), "B");
    EXPECT_EQ(b.wb.first_sheet(), b.wb.get_sheet(0));
}

TEST(workbook_impl, a_book_of_chart_sheets_has_no_first_sheet) {
    chart_first_t b({});
    EXPECT_EQ(b.wb.sheet_count(), 1u);
    EXPECT_EQ(b.wb.first_sheet(), nullptr);
    vex::set_run_message("marker");
    EXPECT_EQ(b.wb.sheet_name(1), nullptr);
    EXPECT_EQ(last_message(), "marker");
}
