#include "kestrel/core/components/sheet_protection.h"

#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part_factory_support.h"
#include "kestrel/parts/worksheet_part.h"
#include "run_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using vex::range_t;
using vex::sheet_protection_t;

namespace {

range_t cells(int r1, int c1, int r2, int c2) { return range_t{{0, r1, c1}, {0, r2, c2}}; }
std::string last_message() { return vex::get_run_message().str(); }

struct protection_fixture : ::testing::Test {
    factory_test::package p;
    vex::worksheet_t& sheet =
        *static_cast<vex::worksheet_part_t*>(p.add(p.book, "worksheet", "rId1"))->get_worksheet();
    vex::worktable_t& table = *sheet.create_worktable__(1048576, 16384, {});

    // The cells given, by whether each is locked.
    std::vector<bool> locked(std::initializer_list<std::pair<int, int>> at) const {
        std::vector<bool> out;
        for (auto [r, c] : at) out.push_back(table.get_cell_style(r, c).protection().locked != 0);
        return out;
    }
};

std::string next_name_beside(std::initializer_list<const char*> held) {
    sheet_protection_t p;
    for (const char* name : held) EXPECT_TRUE(p.add_editable_range(name, {}));
    return p.next_range_name__();
}

} // namespace

TEST(sheet_protection, password_hash_is_the_legacy_verifier_in_four_digits) {
    EXPECT_EQ(sheet_protection_t::hash_password__("password"), "83AF");
    // Lengths past 15 bits still give four digits, with leading zeros.
    EXPECT_EQ(sheet_protection_t::hash_password__(std::string(32768, 'a')), "0FF5");
}

TEST_F(protection_fixture, protect_keeps_fifteen_option_bits_and_refuses_illegal_passwords) {
    sheet.protection().record().hash_value = "read";
    EXPECT_TRUE(sheet.protect((1u << 15) | vex::option_objects | vex::option_sort, "password"));
    vex::sheet_protection_record_t expected;
    expected.protected_ = 1;
    expected.options = vex::option_objects | vex::option_sort;
    expected.password = "83AF";
    EXPECT_EQ(sheet.protection().record(), expected);

    for (const char* password : {"a b", "`", "~", "pass\x80", "\xC3\xA9t\xC3\xA9", "x\x7F"}) {
        vex::set_run_message("");
        EXPECT_FALSE(sheet.protect(5, password)) << password;
        EXPECT_EQ(last_message(), "The password contains illegal characters.\nUse strong passwords that combine "
                                  "uppercase and lowercase letters, numbers, and symbols.");
        EXPECT_EQ(sheet.protection().record(), expected);
    }
    std::string all;  // printable ASCII but space, "`" and "~"
    for (char c = '!'; c <= '}'; ++c)
        if (c != '`') all += c;
    EXPECT_TRUE(sheet.protect(0xFFFFFFFFu, all));
    EXPECT_EQ(sheet.protection().record().options, 32767u);
}

TEST_F(protection_fixture, protect_range_locks_only_its_range_and_unprotect_locks_all) {
    vex::mta::style_settings_t open;
    open.set_locked(false);
    table.set_cell_style(5, 5, open);
    sheet.unprotect();  // not protected: no style changes
    EXPECT_EQ(locked({{5, 5}, {1, 1}}), (std::vector<bool>{false, true}));

    ASSERT_TRUE(sheet.protect(0, "old"));
    EXPECT_TRUE(sheet.protect_range(cells(2, 2, 3, 4)));
    EXPECT_EQ(sheet.protection().record().options, 32764u);
    EXPECT_EQ(sheet.protection().record().password, "");
    EXPECT_EQ(locked({{2, 2}, {3, 4}, {1, 2}, {4, 4}, {3, 5}, {1048576, 16384}}),
              (std::vector<bool>{true, true, false, false, false, false}));

    sheet.unprotect();
    EXPECT_EQ(sheet.protection().record(), vex::sheet_protection_record_t{});
    EXPECT_EQ(locked({{1, 2}, {5, 5}, {1048576, 16384}}), (std::vector<bool>{true, true, true}));

    for (const range_t& bad : {cells(0, 1, 2, 2), cells(1, 1, 1048577, 1), cells(1, 16385, 1, 1)}) {
        vex::set_run_message("");
        EXPECT_FALSE(sheet.protect_range(bad) || sheet.set_editable_range(bad));
        EXPECT_EQ(last_message(), "The range is invalid.");
    }
    EXPECT_FALSE(sheet.is_protected());
    EXPECT_EQ(sheet.editable_range_count(), 0u);
}

TEST_F(protection_fixture, editable_ranges_keep_their_order_and_leave_cells_alone) {
    EXPECT_TRUE(sheet.set_editable_range(cells(2, 3, 4, 5)));
    EXPECT_TRUE(sheet.set_editable_range(cells(7, 1, 7, 1)));
    EXPECT_EQ(sheet.protection().record().options, 32764u);
    EXPECT_EQ(locked({{3, 4}, {100, 100}}), (std::vector<bool>{true, true}));

    int32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    EXPECT_STREQ(sheet.get_editable_range(0, &r1, &c1, &r2, &c2), "Range 1");
    EXPECT_EQ((std::vector<int32_t>{r1, c1, r2, c2}), (std::vector<int32_t>{2, 3, 4, 5}));
    EXPECT_STREQ(sheet.get_editable_range(1, &r1, nullptr, nullptr, &c2), "Range 2");
    EXPECT_EQ((std::vector<int32_t>{r1, c1, c2}), (std::vector<int32_t>{7, 3, 1}));
    for (int32_t bad : {2, -1}) {
        vex::set_run_message("");
        EXPECT_EQ(sheet.get_editable_range(bad, &r1, &c1, &r2, &c2), nullptr);
        EXPECT_FALSE(sheet.delete_editable_range(bad));
        EXPECT_EQ(last_message(), "Index out of range.");
    }

    EXPECT_TRUE(sheet.delete_editable_range(0));
    EXPECT_TRUE(sheet.set_editable_range(cells(1, 1, 1, 1)));
    sheet.unprotect();  // the ranges stay
    EXPECT_STREQ(sheet.get_editable_range(0, nullptr, nullptr, nullptr, nullptr), "Range 2");
    EXPECT_STREQ(sheet.get_editable_range(1, nullptr, nullptr, nullptr, nullptr), "Range 3");
}

TEST(sheet_protection, default_range_names) {
    EXPECT_EQ(next_name_beside({"Range 3", "Range x"}), "Range 4");
    EXPECT_EQ(next_name_beside({"Range -2"}), "Range 1");
    EXPECT_EQ(next_name_beside({"Range \t+7abc", "Range 5"}), "Range 8");
    EXPECT_EQ(next_name_beside({"range 9", "Range9", "Range ", "Range +-4"}), "Range 1");
    EXPECT_EQ(next_name_beside({"Range 2147483647"}), "Range 2147483648");
    // Past 32 bits a number counts for nothing, yet its name is never given twice.
    EXPECT_EQ(next_name_beside({"Range 2147483647", "Range 2147483648"}), "Range 2147483649");
    sheet_protection_t p;
    EXPECT_TRUE(p.add_editable_range("Range 1", {}));
    EXPECT_FALSE(p.add_editable_range("Range 1", {}));
}

TEST(sheet_protection, range_names_follow_deletes) {
    sheet_protection_t p;
    for (const char* name : {"Range 5", "Range 007", "Range 7", "Range 3"}) ASSERT_TRUE(p.add_editable_range(name, {}));
    const struct {
        int32_t deleted;  // index
        const char* next;
    } steps[] = {
        {1, "Range 8"},  // "Range 7" still carries 7
        {1, "Range 6"},
        {0, "Range 4"},
        {0, "Range 1"},
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(p.delete_editable_range(s.deleted));
        EXPECT_EQ(p.next_range_name__(), s.next) << s.deleted;
    }
    // A deleted name is free again; a held one stays refused.
    EXPECT_TRUE(p.add_editable_range("Range 5", {}));
    EXPECT_FALSE(p.add_editable_range("Range 5", {}));
    EXPECT_EQ(p.next_range_name__(), "Range 6");
}
