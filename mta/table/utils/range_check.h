#pragma once
// Validates and orders the row and column bounds of an insert, delete or shift
// before anything moves. A failed check leaves its reason in the last message.

namespace vex::mta {

class Table;

// The table's last row and column, where a shifted area ends.
int last_row_of(const Table& table) noexcept;
int last_col_of(const Table& table) noexcept;

class range_check_t {
public:
    explicit range_check_t(const Table& table) noexcept : table_(&table) {}

    // Both valid, then ordered; untouched when false.
    bool check_row_range(int& first, int& last) const;
    bool check_col_range(int& first, int& last) const;
    // Ordered first, then both valid.
    bool check_delete_rows(int& first, int& last) const;
    bool check_delete_cols(int& first, int& last) const;
    // `count` is shortened to the room left after the last used row (column),
    // so nothing in use is pushed off the sheet.
    bool check_insert_rows(int row, int& count) const;
    bool check_insert_cols(int col, int& count) const;

private:
    const Table* table_;
};

} // namespace vex::mta
