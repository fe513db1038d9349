#pragma once
// The pictures of a workbook. A table starts with a manager of its own; once
// registered it uses its workbook's, so one manager holds the pictures of every
// sheet, each record tagged with its sheet's grid id. Equal pictures shown by
// several anchors share one image_t. The manager guards itself: the sheets of a
// workbook may call it from their own threads.
//
// Anchor cells are 1-based, as the host numbers them: they are accepted in the
// sheet's limits, stored, reported and compared as given (a writer emits them
// less one, as the drawing part counts from 0).

#include "coord.h"
#include "mta/table/utils/drawing/image/image.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace vex::mta::image {

// The most pixels on a side of a picture a host adds: at 9525 EMU a pixel,
// a side must fit the drawing's signed 32-bit extents. A loaded package's
// pictures are taken as they are.
constexpr uint32_t max_picture_side = 225457;

enum class image_anchor_type_enum : int32_t { absolute = 0, one_cell = 1, two_cell = 2 };

struct two_cell_anchor_t {
    int32_t from_row = 0;
    int32_t from_col = 0;
    int32_t to_row = 0;
    int32_t to_col = 0;
    int32_t from_col_offset = 0;
    int32_t from_row_offset = 0;
    int32_t to_col_offset = 0;
    int32_t to_row_offset = 0;
};

// Width and height in pixels; both 0 take the picture's size times the scale.
struct one_cell_anchor_t {
    int32_t row = 0;
    int32_t col = 0;
    int32_t col_offset = 0;
    int32_t row_offset = 0;
    int32_t width = 0;
    int32_t height = 0;
    double scale = 1.0;
};

struct absolute_anchor_t {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    double scale = 1.0;
};

struct image_anchor_t {
    uint32_t background = 0;  // 1 for the sheet's background picture
    image_anchor_type_enum type = image_anchor_type_enum::two_cell;
    image_anchor_type_enum edit_as = image_anchor_type_enum::two_cell;
    two_cell_anchor_t two_cell;
    one_cell_anchor_t one_cell;
    absolute_anchor_t absolute;
    uint32_t grid_id = 0;
    std::shared_ptr<vex::img::image_t> image;
};

// Add operations return the new id (3, 5, 7, ...; never reused) or -1 with the
// reason in the last message.
class table_image_manager {
public:
    using records_t = std::map<int32_t, image_anchor_t>;  // ids rise, so this is the order of adding

    table_image_manager() = default;
    table_image_manager(const table_image_manager&) = delete;
    table_image_manager& operator=(const table_image_manager&) = delete;

    // The from-memory operations copy the bytes, unless owner is the block
    // they start: the picture then keeps that block.
    int32_t add_absolute_image_from_file(uint32_t grid_id, std::string_view file, const absolute_anchor_t& at);
    int32_t add_absolute_image_from_memory(uint32_t grid_id, const void* bytes, size_t n, const absolute_anchor_t& at,
                                           std::shared_ptr<const char[]> owner = nullptr);
    int32_t add_one_cell_image_from_file(uint32_t grid_id, std::string_view file, const one_cell_anchor_t& at);
    int32_t add_one_cell_image_from_memory(uint32_t grid_id, const void* bytes, size_t n, const one_cell_anchor_t& at,
                                           std::shared_ptr<const char[]> owner = nullptr);
    // The corners may come in either order per axis; they are stored top-left first.
    int32_t add_two_cell_image_from_file(uint32_t grid_id, image_anchor_type_enum edit_as, std::string_view file,
                                         const two_cell_anchor_t& at);
    int32_t add_two_cell_image_from_memory(uint32_t grid_id, image_anchor_type_enum edit_as, const void* bytes,
                                           size_t n, const two_cell_anchor_t& at,
                                           std::shared_ptr<const char[]> owner = nullptr);
    // Replaces the sheet's previous background picture. An empty name or buffer
    // gives -1 without a message.
    int32_t set_background_image_from_file(uint32_t grid_id, std::string_view file);
    int32_t set_background_image_from_memory(uint32_t grid_id, const void* bytes, size_t n);

    // "No such image id." for an absent id.
    void delete_image(int32_t id);
    // Every absolute picture of the sheet at exactly (x, y).
    void remove_absolute_image(uint32_t grid_id, int32_t x, int32_t y);
    // Every cell-anchored picture of the sheet whose anchor or from cell is (row, col).
    void remove_image(uint32_t grid_id, int32_t row, int32_t col);
    void remove_grid_images(uint32_t grid_id);

    // The background picture is counted.
    int32_t image_num(uint32_t grid_id) const;
    // The id of the sheet's n-th picture (from 0) in the order of adding, or -1.
    int32_t get_image_id(uint32_t grid_id, int32_t n) const;
    // The lookups throw mta_error "No such image id." for an absent id. Asked of
    // the other kind of anchor, they record why and give an all-zero position.
    image_anchor_type_enum get_anchor_type(int32_t id) const;
    // Row is y, column is x.
    vex::coord_t get_absolute_coord(int32_t id) const;
    // The one-cell anchor's cell or the two-cell anchor's from cell.
    vex::coord_t get_anchor_cell(int32_t id) const;
    // Whether the id is one of the sheet's pictures: the manager holds every
    // sheet's, and one sheet must not reach another's.
    bool holds(uint32_t grid_id, int32_t id) const;
    // Null for an absent id; valid until the record is removed.
    const image_anchor_t* find_image(int32_t id) const;

    // Every record in the order of adding, for the save, which runs while no
    // sheet of the workbook is edited.
    records_t::const_iterator begin() const noexcept { return records_.begin(); }
    records_t::const_iterator end() const noexcept { return records_.end(); }
    // The ids of the sheet's records in the order of adding.
    std::vector<int32_t> ids_of(uint32_t grid_id) const;

private:
    std::shared_ptr<vex::img::image_t> load_file__(std::string_view file) const;
    std::shared_ptr<vex::img::image_t> load_memory__(const void* bytes, size_t n,
                                                     std::shared_ptr<const char[]> owner = nullptr) const;
    int32_t add_absolute__(uint32_t grid_id, std::shared_ptr<vex::img::image_t> image, absolute_anchor_t at);
    int32_t add_one_cell__(uint32_t grid_id, std::shared_ptr<vex::img::image_t> image, one_cell_anchor_t at);
    int32_t add_two_cell__(uint32_t grid_id, image_anchor_type_enum edit_as,
                           std::shared_ptr<vex::img::image_t> image, two_cell_anchor_t at);
    int32_t set_background__(uint32_t grid_id, std::shared_ptr<vex::img::image_t> image);
    // Under the lock: files the record with the next id, sharing an equal picture.
    int32_t add_record__(image_anchor_t record);
    // Under the lock: drops the record and its place in the sheet's ids.
    void erase__(records_t::iterator it);
    // Under the lock: drops the sheet's records that pred picks.
    template <class Pred>
    void erase_in_grid__(uint32_t grid_id, Pred pred);
    const image_anchor_t& at__(int32_t id) const;
    // Under the lock: the sheet's ids in the order of adding.
    const std::vector<int32_t>& ids_in__(uint32_t grid_id) const;
    // The sheet and the cell a picture that remove_image finds is anchored to;
    // none for a background or an absolute anchor.
    using anchor_key_t = std::tuple<uint32_t, int32_t, int32_t>;
    static std::optional<anchor_key_t> anchor_key__(const image_anchor_t& r) noexcept;
    void unanchor__(int32_t id, const image_anchor_t& r);

    mutable std::mutex mutex_;
    // By digest, kept until the manager ends.
    std::unordered_map<std::string, std::vector<std::shared_ptr<vex::img::image_t>>> distinct_;
    records_t records_;
    // Each sheet's ids, rising: the manager holds every sheet's pictures, and
    // one sheet's are counted and found by index without a walk over them.
    std::map<uint32_t, std::vector<int32_t>> by_grid_;
    // By anchor cell, rising: removing the pictures of one cell costs them, not the sheet's.
    std::map<anchor_key_t, std::vector<int32_t>> by_anchor_;
    int32_t last_id_ = 1;
};

} // namespace vex::mta::image
