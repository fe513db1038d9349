// The frame of the family exports, driven through stand-in objects: entry forms,
// unbuilt slots, missing handles, host texts and exceptions.
#include "plover.h"

#include "interfaces.h"
#include "kestrel/interface/document_registry.h"
#include "run_message.h"
#include "tests/kestrel/interface/unbuilt_slots.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

void set_marker() { vex::set_run_message("marker"); }
std::string last_message() { return vex::get_run_message().str(); }

// Records what the slots were given and answers as told.
class fake_worksheet : public vex::iWorksheet_unbuilt {
public:
    std::vector<int> ints;
    bool flag_in = true;
    bool flag_out = false;
    int level = 0;
    bool result = false;
    vex::iTabledef* renamed = nullptr;
    const char* text_seen = "untouched";
    bool throw_std = false;
    bool throw_other = false;

    int row_outline_level(int row, bool* collapsed) override {
        ints = {row};
        flag_in = *collapsed;
        *collapsed = flag_out;
        return level;
    }
    bool set_boolean(int row, int col, bool value) override {
        ints = {row, col};
        flag_in = value;
        return result;
    }
    bool set_row_break(int row, bool on) override {
        ints = {row};
        flag_in = on;
        return result;
    }
    void set_row_hidden(int first_row, int last_row, bool hidden) override {
        ints = {first_row, last_row};
        flag_in = hidden;
    }
    vex::iTabledef* set_tabledef_name(int index, const char* name) override {
        ints = {index};
        text_seen = name;
        return renamed;
    }
    int add_image_with_two_cells(const char* file, int a, int b, int c, int d, int e, int f, int g,
                                 int h) override {
        text_seen = file;
        ints = {a, b, c, d, e, f, g, h};
        return 42;
    }
    bool set_text(int row, int col, const char* text) override {
        ints = {row, col};
        text_seen = text;
        return true;
    }
    double get_num(int, int) override {
        if (throw_std) throw std::runtime_error("escaped");
        if (throw_other) throw 7;
        return 1.5;
    }
    void clear_contents(int, int, int, int) override {
        if (throw_other) throw 7;
    }
};

class fake_style : public vex::iStyle_unbuilt {
public:
    bool bold_in = false;
    void set_bold(bool on) override { bold_in = on; }
};

class fake_tabledef : public vex::iTabledef_unbuilt {};

TEST(family_entry_forms, out_flag_with_and_without_pointer) {
    fake_worksheet ws;
    ws.level = 3;
    ws.flag_out = true;
    EXPECT_EQ(ws_row_outline_level(&ws, 9, nullptr), 3);
    EXPECT_FALSE(ws.flag_in) << "the slot starts from false";
    EXPECT_EQ(ws.ints, std::vector<int>{9});

    int collapsed = -5;
    EXPECT_EQ(ws_row_outline_level(&ws, 9, &collapsed), 3);
    EXPECT_EQ(collapsed, 1);
    ws.flag_out = false;
    EXPECT_EQ(ws_row_outline_level(&ws, 9, &collapsed), 3);
    EXPECT_EQ(collapsed, 0);
}

TEST(family_entry_forms, int_arguments_become_bool_and_bool_results_int) {
    fake_worksheet ws;
    ws.result = true;
    EXPECT_EQ(ws_set_boolean(&ws, 4, 5, 2), 1);
    EXPECT_TRUE(ws.flag_in);
    EXPECT_EQ(ws.ints, (std::vector<int>{4, 5}));
    ws.result = false;
    EXPECT_EQ(ws_set_boolean(&ws, 4, 5, 0), 0);
    EXPECT_FALSE(ws.flag_in);

    EXPECT_EQ(ws_set_row_break(&ws, 7, -1), 0);
    EXPECT_TRUE(ws.flag_in);
    ws_set_row_hidden(&ws, 2, 3, 0);
    EXPECT_FALSE(ws.flag_in);
    EXPECT_EQ(ws.ints, (std::vector<int>{2, 3}));

    fake_style style;
    style_set_bold(&style, 256);
    EXPECT_TRUE(style.bold_in);
}

TEST(family_entry_forms, pointer_result_becomes_one_or_zero) {
    fake_worksheet ws;
    fake_tabledef td;
    EXPECT_EQ(ws_set_tabledef_name(&ws, 1, "Sales"), 0);
    ws.renamed = &td;
    EXPECT_EQ(ws_set_tabledef_name(&ws, 1, "Sales"), 1);
    EXPECT_STREQ(ws.text_seen, "Sales");
}

TEST(family_entry_forms, plain_forward_keeps_every_argument) {
    fake_worksheet ws;
    EXPECT_EQ(ws_add_image_with_two_cells(&ws, "a.png", 1, 2, 3, 4, 5, 6, 7, 8), 42);
    EXPECT_EQ(ws.ints, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_STREQ(ws.text_seen, "a.png");
}

TEST(family_frame, unbuilt_slots_answer_not_implemented_with_their_failure_value) {
    vex::iWorkbook_unbuilt wb;
    vex::iWorksheet_unbuilt ws;
    vex::iStyle_unbuilt style;
    vex::iTabledef_unbuilt td;
    vex::iRichtext_unbuilt rt;
    // The doc_ exports reach only documents the registry holds.
    vex::iDocument* doc =
        vex::get_document_registry().add_document(std::make_unique<vex::iDocument_unbuilt>(), nullptr);
    struct row {
        const char* what;
        double got;
        double failure;
    };
    const auto check = [](const row& r) {
        EXPECT_EQ(r.got, r.failure) << r.what;
        EXPECT_EQ(last_message(), "Not implemented.") << r.what;
        set_marker();
    };
    set_marker();
    check({"wb_sheet_count", static_cast<double>(wb_sheet_count(&wb)), 4294967295.0});
    check({"wb_get_active_sheet", static_cast<double>(wb_get_active_sheet(&wb)), -1});
    check({"wb_is_date1904", static_cast<double>(wb_is_date1904(&wb)), 0});
    check({"ws_cell_type", static_cast<double>(ws_cell_type(&ws, 1, 1)), -1});
    check({"ws_get_num", ws_get_num(&ws, 1, 1), 0.0});
    check({"ws_get_text", ws_get_text(&ws, 1, 1) == nullptr ? 0.0 : 1.0, 0.0});
    check({"ws_set_tabledef_name", static_cast<double>(ws_set_tabledef_name(&ws, 0, "x")), 0});
    check({"style_set_numfmt", static_cast<double>(style_set_numfmt(&style, "0.00")), -1});
    check({"style_font_color", static_cast<double>(style_font_color(&style)), 0});
    check({"td_totals_row_func", static_cast<double>(td_totals_row_func(&td, 0)), 0});
    check({"rt_segments_num", static_cast<double>(rt_segments_num(&rt)), -1});
    check({"doc_save", static_cast<double>(doc_save(doc, "a.xlsx")), 0});
    vex::get_document_registry().remove_document(doc);
    EXPECT_EQ(doc_save(doc, "a.xlsx"), 0);  // released: never reached
    EXPECT_EQ(last_message(), "The document is not open: released or never made.");

    ws_set_zoom(&ws, 100);
    EXPECT_EQ(last_message(), "Not implemented.");
    set_marker();
    style.unapply_all();
    EXPECT_EQ(last_message(), "Not implemented.");
}

TEST(family_frame, missing_handle_is_refused_in_every_family) {
    const std::string refused = "The handle cannot be empty.";
    set_marker();
    EXPECT_EQ(doc_get_workbook(nullptr), nullptr);
    EXPECT_EQ(last_message(), refused);
    set_marker();
    EXPECT_EQ(wb_sheet_count(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(last_message(), refused);
    set_marker();
    EXPECT_EQ(ws_get_error(nullptr, 1, 1), -1);
    EXPECT_EQ(last_message(), refused);
    set_marker();
    style_set_bold(nullptr, 1);
    EXPECT_EQ(last_message(), refused);
    set_marker();
    EXPECT_EQ(td_row_strips(nullptr), 0);
    EXPECT_EQ(last_message(), refused);
    set_marker();
    rt_release(nullptr);
    EXPECT_EQ(last_message(), refused);
}

TEST(family_frame, host_texts_must_be_utf8) {
    fake_worksheet ws;
    for (const char* bad : {"\xFF", "a\xC3", "\xED\xA0\x80", "\xC0\xAF"}) {
        set_marker();
        EXPECT_EQ(ws_set_text(&ws, 1, 1, bad), 0);
        EXPECT_EQ(last_message(), "Failed to convert from ANSI string");
        EXPECT_STREQ(ws.text_seen, "untouched") << "the slot is not reached";
    }
    set_marker();
    EXPECT_EQ(ws_set_text(&ws, 1, 1, "Gr\xC3\xBC\xC3\x9F" "e"), 1);
    EXPECT_STREQ(ws.text_seen, "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(ws_set_text(&ws, 1, 1, nullptr), 1) << "a missing text is the slot's to judge";
    EXPECT_EQ(ws.text_seen, nullptr);
    EXPECT_EQ(last_message(), "marker");
}

TEST(family_frame, nothing_thrown_leaves_an_export) {
    fake_worksheet ws;
    ws.throw_std = true;
    set_marker();
    EXPECT_EQ(ws_get_num(&ws, 1, 1), 0.0);
    EXPECT_EQ(last_message(), "escaped");

    ws.throw_std = false;
    ws.throw_other = true;
    set_marker();
    EXPECT_EQ(ws_get_num(&ws, 1, 1), 0.0);
    EXPECT_EQ(last_message(), "Unknown error occurred.");
    set_marker();
    ws_clear_contents(&ws, 1, 1, 2, 2);
    EXPECT_EQ(last_message(), "Unknown error occurred.");

    ws.throw_other = false;
    set_marker();
    EXPECT_EQ(ws_get_num(&ws, 1, 1), 1.5);
    EXPECT_EQ(last_message(), "marker") << "success leaves the message alone";
}

TEST(document_exports, each_constructor_name_makes_its_own_document) {
    for (auto make : {create_document, doc_create}) {
        plover_document_t* doc = make();
        ASSERT_NE(doc, nullptr) << last_message();
        EXPECT_NE(doc_get_workbook(doc), nullptr);
        doc_release(doc);
    }
    for (auto load : {load_document, doc_load}) {
        set_marker();
        EXPECT_EQ(load("no such book.xlsx"), nullptr);
        EXPECT_EQ(last_message(), "archive error: Unrecognized file type: no such book.xlsx");
    }
}

} // namespace
