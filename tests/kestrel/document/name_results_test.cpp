// A formula reading a defined name follows whichever name its word finds: one
// spelled like a function, in another case, the sheet's own before the
// workbook's, one defined after the formula or defined again. Its result goes
// when a cell the name stands for changes and when the name goes or changes,
// in the session and once the saved copy is loaded again.

#include "plover.h"
#include "tests/kestrel/document/stale_results_support.h"
#include "tests/kestrel/xml/xl_xml/assignment/reader_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>

using namespace package_test;

namespace {

void delete_name(plover_workbook_t* wb, const char* name, bool local) {
    for (int i = 0; i < wb_defined_name_num(wb); ++i) {
        int is_local = 0;
        if (std::string(wb_get_defined_name(wb, i, &is_local)) == name && bool(is_local) == local)
            return wb_delete_defined_name(wb, i);
    }
    ADD_FAILURE() << "no name " << name;
}

struct form_t {
    const char* name;
    bool local;
    const char* formula;
    std::function<void(plover_workbook_t*, plover_worksheet_t*)> make;  // the names and D1's formula
};

// 'k' when D1 keeps 7 in the getter and the copy, with no request to
// recompute; 'd' when it has no result in either and the copy asks for one.
char outcome(plover_worksheet_t* ws, const entries_t& copy) {
    const bool shown = ws_cell_type(ws, 1, 4) == CELLTYPE_NUMBER && ws_get_num(ws, 1, 4) == 7;
    const bool none = ws_cell_type(ws, 1, 4) != CELLTYPE_NUMBER;
    const bool saved_value = cell_xml(copy, "D1").find("<v>7</v>") != std::string::npos;
    const bool full = calc_pr(copy) == "<calcPr fullCalcOnLoad=\"1\"/>";
    return shown && saved_value && !full ? 'k' : none && !saved_value && full ? 'd' : '?';
}

} // namespace

TEST(name_results, every_form_of_a_name_drops_its_readers_results) {
    // Sheet1: A1 3, B1 2, B2 5, B3 8. Each form ends reading Sheet1!$B$1.
    const form_t forms[] = {
        {"Rate", false, "A1*Rate",
         [](auto* wb, auto* ws) {
             wb_set_defined_name(wb, "Rate", "Sheet1!$B$1", nullptr);
             ws_set_formula(ws, 1, 4, "A1*Rate");
         }},
        {"Total", true, "Total*10",
         [](auto* wb, auto* ws) {
             wb_set_defined_name(wb, "Total", "Sheet1!$B$2", nullptr);
             wb_set_defined_name(wb, "Total", "Sheet1!$B$1", "Sheet1");
             ws_set_formula(ws, 1, 4, "Total*10");
         }},
        {"Late", false, "Late*10",
         [](auto* wb, auto* ws) {
             ws_set_formula(ws, 1, 4, "Late*10");
             wb_set_defined_name(wb, "Late", "Sheet1!$B$1", nullptr);
         }},
        {"Again", false, "Again*10",
         [](auto* wb, auto* ws) {
             wb_set_defined_name(wb, "Again", "Sheet1!$B$2", nullptr);
             ws_set_formula(ws, 1, 4, "Again*10");
             delete_name(wb, "Again", false);
             wb_set_defined_name(wb, "Again", "Sheet1!$B$1", nullptr);
         }},
        {"Rate", false, "rate*10",
         [](auto* wb, auto* ws) {
             wb_set_defined_name(wb, "Rate", "Sheet1!$B$1", nullptr);
             ws_set_formula(ws, 1, 4, "rate*10");
         }},
        {"Bonus", false, "bonus*10",
         [](auto* wb, auto* ws) {
             ws_set_formula(ws, 1, 4, "bonus*10");
             wb_set_defined_name(wb, "Bonus", "Sheet1!$B$1", nullptr);
         }},
        {"Date", false, "Date*10",
         [](auto* wb, auto* ws) {
             ws_set_formula(ws, 1, 4, "Date*10");
             wb_set_defined_name(wb, "Date", "Sheet1!$B$1", nullptr);
         }},
    };
    const std::function<void(plover_workbook_t*, plover_worksheet_t*, const form_t&)> edits[] = {
        [](auto*, auto* ws, auto&) { ws_set_num(ws, 1, 2, 100); },
        [](auto*, auto* ws, auto&) { ws_set_num(ws, 2, 2, 100); },
        [](auto* wb, auto*, const form_t& f) { delete_name(wb, f.name, f.local); },
        // Defined again over B3, the result given again, then B3 set.
        [](auto* wb, auto* ws, const form_t& f) {
            delete_name(wb, f.name, f.local);
            wb_set_defined_name(wb, f.name, "Sheet1!$B$3", f.local ? "Sheet1" : nullptr);
            ws_set_formula_num(ws, 1, 4, 7);
            ws_set_num(ws, 3, 2, 100);
        },
        // A name of the spelling local to the formula's sheet hides the workbook's.
        [](auto* wb, auto*, const form_t& f) { wb_set_defined_name(wb, f.name, "Sheet1!$B$3", "Sheet1"); },
    };
    const std::string expected[] = {"dkddd", "dkddk", "dkddd", "dkddd", "dkddd", "dkddd", "dkddd"};
    for (size_t f = 0; f < std::size(forms); ++f) {
        std::string got, reloaded;
        for (const auto& edit : edits) {
            plover_document_t* doc = doc_create();
            plover_workbook_t* wb = doc_get_workbook(doc);
            plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
            for (const auto& [row, col, value] : {std::tuple{1, 1, 3}, {1, 2, 2}, {2, 2, 5}, {3, 2, 8}})
                ws_set_num(ws, row, col, value);
            forms[f].make(wb, ws);
            ASSERT_EQ(ws_set_formula_num(ws, 1, 4, 7), 1) << run_msg();
            edit(wb, ws, forms[f]);
            scratch_dir dir;
            got += outcome(ws, saved(doc, dir));
            EXPECT_STREQ(ws_get_formula_expr(ws, 1, 4), forms[f].formula);
            doc_release(doc);

            // Loaded again: a kept result goes once B1 changes.
            plover_document_t* back = doc_load((dir / "out.xlsx").c_str());
            ASSERT_NE(back, nullptr) << run_msg();
            plover_worksheet_t* again = sheet(back, 0);
            if (got.back() == 'k') ws_set_num(again, 1, 2, 50);
            scratch_dir dir2;
            reloaded += outcome(again, saved(back, dir2));
            doc_release(back);
        }
        EXPECT_EQ(got, expected[f]) << forms[f].formula;
        EXPECT_EQ(reloaded, "ddddd") << forms[f].formula;
    }
}

TEST(name_results, a_name_read_through_another_follows_its_cell) {
    // D1 Outer+1 with the result 7, Outer = Inner*2, Inner over `cell`; the
    // edit ends setting the cell Inner then stands for. Edited in the session,
    // or once loaded from a file that lists Outer before Inner, or without Inner.
    enum class file_t { none, inner_last, inner_left_out };
    const struct {
        const char* cell;
        file_t file;
        std::function<void(plover_workbook_t*, plover_worksheet_t*)> edit;
    } rows[] = {
        {"Sheet1!$B$1", file_t::inner_last, [](auto*, auto* ws) { ws_set_num(ws, 1, 2, 50); }},
        {"Sheet1!$B$1", file_t::inner_left_out,
         [](auto* wb, auto* ws) {
             wb_set_defined_name(wb, "Inner", "Sheet1!$B$1", nullptr);
             ws_set_num(ws, 1, 2, 50);
         }},
        {"Sheet1!$B$2", file_t::none, [](auto*, auto* ws) { ws_insert_row(ws, 2, 1), ws_set_num(ws, 3, 2, 50); }},
        {"Sheet1!$B$2", file_t::inner_last, [](auto*, auto* ws) { ws_insert_row(ws, 2, 1), ws_set_num(ws, 3, 2, 50); }},
    };
    for (const auto& r : rows) {
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
        wb_set_defined_name(wb, "Inner", r.cell, nullptr);
        wb_set_defined_name(wb, "Outer", "Inner*2", nullptr);
        ASSERT_EQ(ws_set_formula(ws, 1, 4, "Outer+1") + ws_set_formula_num(ws, 1, 4, 7), 2) << run_msg();
        scratch_dir dir;
        if (r.file != file_t::none) {
            entries_t copy = saved(doc, dir);
            doc_release(doc);
            for (auto& [name, xml] : copy) {
                const std::string inner = element(xml, "<definedName name=\"Inner\"", "</definedName>");
                if (name != "xl/workbook.xml" || inner.empty()) continue;
                xml.erase(xml.find(inner), inner.size());
                if (r.file == file_t::inner_last) xml.insert(xml.find("</definedNames>"), inner);
            }
            write_zip(dir / "listed.xlsx", copy);
            doc = doc_load((dir / "listed.xlsx").c_str());
            ASSERT_NE(doc, nullptr) << run_msg();
            wb = doc_get_workbook(doc);
            ws = sheet(doc, 0);
        }
        r.edit(wb, ws);
        EXPECT_EQ(outcome(ws, saved(doc, dir)), 'd') << r.cell << int(r.file);
        doc_release(doc);
    }
}

// Loaded: B1:B3 a group filled down from A1*Late before Late exists (#NAME?).
// Each follower reads the name as the group's text at its cell does.
TEST(name_results, defining_a_name_drops_the_results_of_a_group_spelling_it) {
    const std::string body =
        "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\" t=\"e\"><f t=\"shared\" ref=\"B1:B3\" "
        "si=\"0\">A1*Late</f><v>#NAME?</v></c></row><row r=\"2\"><c r=\"A2\"><v>2</v></c><c r=\"B2\" t=\"e\">"
        "<f t=\"shared\" si=\"0\"/><v>#NAME?</v></c></row><row r=\"3\"><c r=\"A3\"><v>3</v></c><c r=\"B3\" "
        "t=\"e\"><f t=\"shared\" si=\"0\"/><v>#NAME?</v></c></row><row r=\"5\"><c r=\"D5\"><v>2</v></c></row>"
        "</sheetData>";
    scratch_dir dir;
    write_zip(dir / "in.xlsx", reader_test::sheet_package(body));
    plover_document_t* doc = doc_load((dir / "in.xlsx").c_str());
    ASSERT_NE(doc, nullptr) << run_msg();
    ASSERT_EQ(wb_set_defined_name(doc_get_workbook(doc), "Late", "Data!$D$5", nullptr), 1) << run_msg();
    plover_worksheet_t* ws = sheet(doc, 0);
    const entries_t copy = saved(doc, dir);
    std::string got;
    for (int row = 1; row <= 3; ++row) {
        const std::string ref = "B" + std::to_string(row);
        got += ws_cell_type(ws, row, 2) != CELLTYPE_ERROR && cell_xml(copy, ref).find("<v>") == std::string::npos ? '-' : 'v';
    }
    EXPECT_EQ(got, "---");
    doc_release(doc);
}

// nm_0 = nm_1+nm_1, nm_1 = nm_2+nm_2, ... down to a name over B1: each name
// reads the next twice, so reading the chain's text again at each use would
// not end. D1 nm_0 with the result 7 is filed by B1, in the session, once the
// last name moves to C1, and once loaded from the copy.
TEST(name_results, a_chain_of_names_each_read_twice_is_filed_by_its_last_cell) {
    constexpr int chain = 60;
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    for (int i = chain - 1; i >= 0; --i) {
        const std::string next = "nm_" + std::to_string(i + 1);
        const std::string text = i == chain - 1 ? "Sheet1!$B$1" : next + "+" + next;
        ASSERT_EQ(wb_set_defined_name(wb, ("nm_" + std::to_string(i)).c_str(), text.c_str(), nullptr), 1) << run_msg();
    }
    ASSERT_EQ(ws_set_formula(ws, 1, 4, "nm_0") + ws_set_formula_num(ws, 1, 4, 7), 2) << run_msg();
    scratch_dir dir, changed, redefined, loaded;
    EXPECT_EQ(outcome(ws, saved(doc, dir)), 'k');
    ws_set_num(ws, 1, 2, 50);
    EXPECT_EQ(outcome(ws, saved(doc, changed)), 'd');
    // The last name defined again over C1: D1 follows C1, no longer B1.
    wb_delete_defined_name(wb, 0);
    ASSERT_EQ(wb_set_defined_name(wb, "nm_59", "Sheet1!$C$1", nullptr), 1) << run_msg();
    ws_set_formula_num(ws, 1, 4, 7);
    ws_set_num(ws, 1, 3, 50);
    EXPECT_EQ(outcome(ws, saved(doc, redefined)), 'd');
    doc_release(doc);

    plover_document_t* back = doc_load((dir / "out.xlsx").c_str());
    ASSERT_NE(back, nullptr) << run_msg();
    ws_set_num(sheet(back, 0), 1, 2, 50);
    EXPECT_EQ(outcome(sheet(back, 0), saved(back, loaded)), 'd');
    doc_release(back);
}

// Below = Sheet1!A2 (relative: the cell under its reader), Twice = Below*2,
// read by D1 and E1 (results 7): the names' reading is shared, the cells it
// reads are each reader's own.
TEST(name_results, a_relative_name_read_through_another_follows_each_readers_cell) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
    ASSERT_EQ(wb_set_defined_name(wb, "Below", "Sheet1!A2", nullptr) + wb_set_defined_name(wb, "Twice", "Below*2", nullptr),
              2) << run_msg();
    const auto kept = [&] {
        std::string got;
        for (int col : {4, 5}) got += ws_cell_type(ws, 1, col) == CELLTYPE_NUMBER ? 'k' : 'd';
        for (int col : {4, 5}) ws_set_formula_num(ws, 1, col, 7);
        return got;
    };
    for (int col : {4, 5}) ASSERT_EQ(ws_set_formula(ws, 1, col, "Twice+1") + ws_set_formula_num(ws, 1, col, 7), 2);
    ws_set_num(ws, 2, 5, 1);
    EXPECT_EQ(kept(), "kd");
    ws_set_num(ws, 2, 4, 1);
    EXPECT_EQ(kept(), "dk");
    ws_set_num(ws, 2, 1, 1);
    EXPECT_EQ(kept(), "kk");
    doc_release(doc);
}

// A name read on a sheet other than the first follows the cell its text names,
// not the same cell of the first sheet.
TEST(name_results, a_name_read_on_a_later_sheet_follows_its_own_cell) {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    plover_worksheet_t* first = wb_add_worksheet(wb, "S1");
    plover_worksheet_t* later = wb_add_worksheet(wb, "S2");
    ASSERT_EQ(wb_set_defined_name(wb, "Nx", "S2!$A$1", nullptr), 1) << run_msg();
    ASSERT_EQ(ws_set_formula(later, 1, 2, "Nx*2") + ws_set_formula_num(later, 1, 2, 4), 2) << run_msg();
    ws_set_num(first, 1, 1, 5);
    EXPECT_EQ(ws_cell_type(later, 1, 2), CELLTYPE_NUMBER);
    ws_set_num(later, 1, 1, 5);
    EXPECT_NE(ws_cell_type(later, 1, 2), CELLTYPE_NUMBER);
    doc_release(doc);
}

// Sales over A2:B4 (Qty 1, 2), TotQ = SUM(Sales[Qty]), TotQ2 = TotQ*1; Out!A1
// TotQ*2 and Out!A2 TotQ2*2 (6). Each edit moves the column Qty, whose first
// cell is then set where it stands: the readers of both names lose their
// results, in the session or in a copy loaded before the edit.
TEST(name_results, a_name_over_a_table_column_follows_the_table) {
    const struct {
        std::function<void(plover_worksheet_t*)> edit;
        int row, col;  // the first cell of Qty after the edit
        bool loaded;
    } rows[] = {
        {[](auto* ws) { ws_insert_col(ws, 1, 1); }, 3, 2, false},
        {[](auto* ws) { td_insert_col(ws_get_tabledef_by_name(ws, "Sales"), 0, "New"); }, 3, 2, false},
        {[](auto* ws) { ws_delete_row(ws, 1, 1); }, 2, 1, true},
    };
    for (const auto& r : rows) {
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ws = wb_add_worksheet(wb, "S");
        plover_worksheet_t* out = wb_add_worksheet(wb, "Out");
        ws_set_text(ws, 2, 1, "Qty"), ws_set_num(ws, 3, 1, 1), ws_set_num(ws, 4, 1, 2);
        ASSERT_NE(ws_add_tabledef(ws, "Sales", 2, 1, 4, 2), nullptr) << run_msg();
        wb_set_defined_name(wb, "TotQ", "SUM(Sales[Qty])", nullptr), wb_set_defined_name(wb, "TotQ2", "TotQ*1", nullptr);
        for (const auto& [row, text] : {std::pair{1, "TotQ*2"}, {2, "TotQ2*2"}})
            ASSERT_EQ(ws_set_formula(out, row, 1, text) + ws_set_formula_num(out, row, 1, 6), 2) << run_msg();
        scratch_dir dir;
        if (r.loaded) {
            saved(doc, dir), doc_release(doc);
            ASSERT_NE(doc = doc_load((dir / "out.xlsx").c_str()), nullptr) << run_msg();
            ws = sheet(doc, 0), out = sheet(doc, 1);
        }
        r.edit(ws);
        ws_set_num(ws, r.row, r.col, 10);
        const std::string xml = find(saved(doc, scratch_dir()), "xl/worksheets/sheet2.xml");
        for (const auto& [row, ref] : {std::pair{1, "A1"}, {2, "A2"}}) {
            EXPECT_NE(ws_cell_type(out, row, 1), CELLTYPE_NUMBER) << r.row << r.col << ref;
            EXPECT_EQ(element(xml, std::string("<c r=\"") + ref + "\"", "</c>").find("<v>"), std::string::npos) << ref;
        }
        doc_release(doc);
    }
}

// Base over Sheet1!$A$1 for the workbook and over Sheet1!$B$1 for Sheet1, Top
// = Base*2 local to Sheet1, D1 Top with the result 7: Top reads Sheet1's Base
// whichever came first, in the session and once loaded from a file listing
// Top first, and the workbook's once Sheet1's goes. The edit sets one cell.
TEST(name_results, a_sheets_own_name_comes_first_whatever_the_order_defined) {
    const struct {
        const char* what;
        bool local_last, loaded, local_deleted;
        int col;  // of the cell set in row 1
        char kept;
    } rows[] = {
        {"the sheet's Base defined after Top", true, false, false, 2, 'd'},
        {"the sheet's Base defined after Top, the workbook's cell set", true, false, false, 1, 'k'},
        {"the sheet's Base listed after Top", true, true, false, 2, 'd'},
        {"the sheet's Base deleted", false, false, true, 1, 'd'},
    };
    for (const auto& r : rows) {
        plover_document_t* doc = doc_create();
        plover_workbook_t* wb = doc_get_workbook(doc);
        plover_worksheet_t* ws = wb_add_worksheet(wb, "Sheet1");
        ws_set_num(ws, 1, 1, 1), ws_set_num(ws, 1, 2, 3);
        using name_t = std::tuple<const char*, const char*, const char*>;
        const name_t book{"Base", "Sheet1!$A$1", nullptr}, base{"Base", "Sheet1!$B$1", "Sheet1"},
            top{"Top", "Base*2", "Sheet1"};
        for (const auto& [name, text, scope] : {book, r.local_last ? top : base, r.local_last ? base : top})
            ASSERT_EQ(wb_set_defined_name(wb, name, text, scope), 1) << run_msg();
        ASSERT_EQ(ws_set_formula(ws, 1, 4, "Top") + ws_set_formula_num(ws, 1, 4, 7), 2) << run_msg();
        scratch_dir dir;
        if (r.loaded) {
            const std::string book = find(saved(doc, dir), "xl/workbook.xml");
            ASSERT_LT(book.find("name=\"Top\""), book.find("localSheetId=\"0\">Sheet1!$B$1")) << book;
            doc_release(doc);
            doc = doc_load((dir / "out.xlsx").c_str());
            ASSERT_NE(doc, nullptr) << run_msg();
            wb = doc_get_workbook(doc);
            ws = sheet(doc, 0);
        }
        if (r.local_deleted) {
            delete_name(wb, "Base", true);
            ws_set_formula_num(ws, 1, 4, 7);
        }
        ws_set_num(ws, 1, r.col, 50);
        scratch_dir out;
        EXPECT_EQ(outcome(ws, saved(doc, out)), r.kept) << r.what;
        doc_release(doc);
    }
}
