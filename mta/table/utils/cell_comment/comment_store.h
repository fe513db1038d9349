#pragma once
// The cell comments (notes) of a sheet with their authors. The comments part and
// its legacy drawing are written from here and read back into it; both walk the
// positions in the same row-major order.

#include "mta/table/cell/richtext.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vex::mta {
class Table;
struct band_shift_t;
}

namespace vex::mta::utils::cell_comment {

// How a loaded note is shown, as its drawing held it, so that a load and save
// leaves it as the user left it. Notes made here have none and are written
// hidden, in the default size, colours and place.
struct note_shape_t {
    // A child element as read, in the package's form: its attributes (v:fill,
    // v:shadow, v:stroke) or its text (x:TextHAlign, x:TextVAlign).
    struct element_t {
        std::string name;
        std::vector<std::pair<std::string, std::string>> attributes;
        std::string text;
    };
    bool visible = false;
    std::string width, height;        // as read ("144pt"); empty: the default
    std::string fill_color, stroke_color;  // as read; empty: the shape had none
    std::vector<element_t> look;       // v:fill, v:shadow, v:stroke, in the order read
    std::vector<element_t> text_align;  // x:TextHAlign, x:TextVAlign, in the order read
    bool has_anchor = false;
    // Zero-based: left column and its offset, top row and its offset, right
    // column, offset, bottom row, offset (offsets in pixels).
    std::array<int, 8> anchor{};
};

struct comment_t {
    richtext_t text;
    int author = -1;  // index into the author list; -1 when the comment names none
    std::optional<note_shape_t> shape;
};

class comment_store_t {
public:
    using key_t = std::pair<int, int>;  // row, column (1-based): row-major order

    explicit comment_store_t(Table* table = nullptr) : table_(table) {}

    // Adds the comment at the cell, replacing one already there (whose shape it
    // keeps), and registers a new author at the end of the list. False for a
    // position outside the sheet.
    bool add(int row, int col, richtext_t text, std::string_view author);
    // The shape a loaded drawing gives the note at the cell; the drawing may be
    // read before the comments, so a shape for a cell without a comment waits
    // for it until forget_unplaced_shapes().
    void set_loaded_shape(int row, int col, note_shape_t shape);
    void forget_unplaced_shapes() noexcept { unplaced_shapes_.clear(); }
    bool remove(int row, int col);
    // -1 when the cell has no comment or its comment names no author.
    int author_id(int row, int col) const;
    // The author names in order of first use; an author's id is its index.
    const std::vector<std::string>& authors() const noexcept { return authors_; }
    // Null when the cell has no comment.
    const richtext_t* find(int row, int col) const;
    // Every commented cell, 1-based, row by row.
    std::vector<std::pair<int, int>> positions() const;
    // Every comment by its cell, row by row.
    const std::map<key_t, comment_t>& entries() const noexcept { return comments_; }
    size_t size() const noexcept { return comments_.size(); }
    bool empty() const noexcept { return comments_.empty(); }

    // Comments follow their cells as rows or columns of a band move, a shape's
    // anchor with them, keeping its offsets; a comment on a deleted cell or one
    // pushed off the table (the sheet without one) goes.
    void shift(const band_shift_t& s);

private:
    // The last row and column comments may reach.
    int last_row__() const;
    int last_col__() const;

    Table* table_;
    std::map<key_t, comment_t> comments_;
    std::map<key_t, note_shape_t> unplaced_shapes_;
    std::vector<std::string> authors_;
    std::unordered_map<std::string, int> author_ids_;
};

} // namespace vex::mta::utils::cell_comment

namespace vex::mta {
using comment_store_t = utils::cell_comment::comment_store_t;
using note_shape_t = utils::cell_comment::note_shape_t;
}
