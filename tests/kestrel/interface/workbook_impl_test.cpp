// The workbook handle over sheet records that have no worksheet: a chart sheet
// counts in every index but gets no handle.
#include "kestrel/interface/workbook_impl.h"

#include "kestrel/core/components/workbook.h"
#include "kestrel/interface/document_impl.h"
#include "kestrel/interface/richtext_impl.h"
#include "kestrel/interface/style_impl.h"
#include "kestrel/interface/worksheet_impl.h"
#include "run_message.h"
#include "tests/heap_in_use.h"

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

// The records move as sheets come and go; the names handed out stay.
TEST(workbook_impl, chart_sheet_names_outlive_changes_to_other_sheets) {
    chart_first_t b({"A"});
    const char* chart = b.wb.sheet_name(0);
    const char* sheet = b.wb.get_sheet(1)->name();
    for (int i = 0; i < 40; ++i) b.wb.add_worksheet(nullptr);
    b.wb.insert_worksheet(0, "Front");
    b.wb.shift_sheet(1, 20);
    b.wb.delete_sheet(0);
    EXPECT_STREQ(chart, "Chart1");
    EXPECT_STREQ(sheet, "A");
    EXPECT_STREQ(b.wb.sheet_name(19), "Chart1");
}

TEST(workbook_impl, a_book_of_chart_sheets_has_no_first_sheet) {
    chart_first_t b({});
    EXPECT_EQ(b.wb.sheet_count(), 1u);
    EXPECT_EQ(b.wb.first_sheet(), nullptr);
    vex::set_run_message("marker");
    EXPECT_EQ(b.wb.sheet_name(1), nullptr);
    EXPECT_EQ(last_message(), "Index out of range.");
}

TEST(workbook_impl, styles_come_from_the_first_worksheet_behind_a_chart_sheet) {
    chart_first_t b({"A"});
    vex::iStyle* normal = b.wb.make_normal_style();
    ASSERT_NE(normal, nullptr);
    ASSERT_NE(b.wb.add_custom_style("mine", normal), nullptr);
    EXPECT_NE(b.wb.get_named_style("mine"), nullptr);
}

TEST(workbook_impl, custom_styles_keep_the_settings_they_were_made_from) {
    chart_first_t b({"A"});
    vex::mta::style_settings_t settings;
    settings.set_numfmt_id(10);
    vex::iStyle_impl source(&b.wb, settings);
    auto* made = dynamic_cast<vex::iStyle_impl*>(b.wb.add_custom_style("pct", &source));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->settings().numfmt_id(), 10);
    settings.set_numfmt_id(14);
    source.assign(settings);
    ASSERT_TRUE(b.wb.modify_named_style("pct", &source));
    auto* after = dynamic_cast<vex::iStyle_impl*>(b.wb.get_named_style("pct"));
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->settings().numfmt_id(), 14);
    // Handles made before the change keep their own copy.
    EXPECT_EQ(made->settings().numfmt_id(), 10);
}

TEST(workbook_impl, release_frees_owned_handles_and_empties_others) {
    chart_first_t b({"A"});
    // A handle the workbook does not own is emptied, not freed.
    vex::mta::style_settings_t settings;
    settings.set_numfmt_id(10);
    vex::iStyle_impl foreign(&b.wb, settings);
    EXPECT_FALSE(b.wb.release_style(&foreign));
    foreign.release();
    EXPECT_FALSE(foreign.settings().is_applied(vex::mta::style_settings_t::numfmt_bit));
    vex::iRichtext_impl text(&b.wb, {vex::mta::richtext_segment_t{0, "x", {}}});
    text.release();
    EXPECT_EQ(text.value().segments_num(), 0u);

    // Owned handles released one by one leave the heap where it was.
    using heap_test::heap_in_use;
    for (int i = 0; i < 50; ++i) {
        b.wb.make_normal_style()->release();
        b.wb.make_richtext()->release();
    }
    const size_t before = heap_in_use();
    for (int i = 0; i < 2000; ++i) {
        b.wb.make_normal_style()->release();
        b.wb.make_richtext()->release();
    }
    EXPECT_LT(heap_in_use(), before + 16 * 1024);
}

TEST(workbook_impl, a_sheet_handle_renames_its_own_sheet_wherever_it_moved) {
    chart_first_t b({"A", "B"});
    auto* a = dynamic_cast<vex::iWorksheet_impl*>(b.wb.get_sheet(1));
    ASSERT_NE(a, nullptr);
    b.wb.shift_sheet(1, 2);
    ASSERT_TRUE(b.wb.rename(a, "Alpha"));
    EXPECT_STREQ(b.wb.sheet_name(2), "Alpha");
    EXPECT_EQ(b.wb.get_sheet(2), a);
    EXPECT_FALSE(b.wb.rename(a, "B"));
    EXPECT_EQ(last_message(), "Duplicate new sheet name.");
    EXPECT_FALSE(b.wb.rename(a, nullptr));
    EXPECT_EQ(last_message(), "The new name can not be empty.");
    EXPECT_FALSE(b.wb.rename(static_cast<const vex::iWorksheet_impl*>(nullptr), "X"));
    EXPECT_EQ(last_message(), "Sheet index out of range.");
}
