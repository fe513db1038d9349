#include "mta/table/utils/drawing/image/table_image.h"

#include "errors.h"
#include "run_message.h"
#include "sheet_limits.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace vex::mta::image {

namespace {

using image_ptr = std::shared_ptr<vex::img::image_t>;

// Both sizes given, or both 0 with a scale that sizes the picture from its
// pixels. A size that would not fit the record is refused like a bad one.
bool resolve_size(int32_t& width, int32_t& height, double scale, const vex::img::image_t& image) {
    if (width < 0 || height < 0 || !(scale >= 0) || !std::isfinite(scale)) return false;
    if (width != 0 && height != 0) return true;
    if (width != 0 || height != 0 || scale == 0) return false;
    const double w = std::trunc(image.pixel_size().width * scale);
    const double h = std::trunc(image.pixel_size().height * scale);
    constexpr double most = std::numeric_limits<int32_t>::max();
    if (w > most || h > most) return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

image_anchor_t record_of(uint32_t grid_id, image_anchor_type_enum type, image_ptr image) {
    image_anchor_t record;
    record.type = type;
    record.grid_id = grid_id;
    record.image = std::move(image);
    return record;
}

bool on_sheet(int32_t row, int32_t col) {
    return get_sheet_limits().valid_row(row) && get_sheet_limits().valid_col(col);
}

} // namespace

// ---- loading ------------------------------------------------------------------------

image_ptr table_image_manager::load_file__(std::string_view file) const {
    if (file.empty()) {
        set_run_message("The image file name cannot be empty.");
        return nullptr;
    }
    auto image = std::make_shared<vex::img::image_t>();
    if (!image->load_file(file)) {
        set_run_message("Failed to load file: " + std::string(file));
        return nullptr;
    }
    // A header may claim any size; the drawing gives each side in EMU.
    const vex::img::pixel_size_t size = image->pixel_size();
    if (size.width > max_picture_side || size.height > max_picture_side) {
        std::string text = "The image is too large: ";
        text += file;
        text += " is " + std::to_string(size.width) + " x " + std::to_string(size.height) + " pixels, more than ";
        text += std::to_string(max_picture_side) + " on a side.";
        set_run_message(text);
        return nullptr;
    }
    return image;
}

image_ptr table_image_manager::load_memory__(const void* bytes, size_t n,
                                             std::shared_ptr<const char[]> owner) const {
    if (!bytes || n == 0) {
        set_run_message("The image cannot be empty.");
        return nullptr;
    }
    auto image = std::make_shared<vex::img::image_t>();
    const bool shared = owner && owner.get() == bytes;
    if (shared ? image->load_shared(std::move(owner), n) : image->load_memory(bytes, n)) return image;
    set_run_message("Failed to load memory image.");
    return nullptr;
}

// ---- adding ---------------------------------------------------------------------------

int32_t table_image_manager::add_absolute_image_from_file(uint32_t grid_id, std::string_view file,
                                                          const absolute_anchor_t& at) {
    return add_absolute__(grid_id, load_file__(file), at);
}

int32_t table_image_manager::add_absolute_image_from_memory(uint32_t grid_id, const void* bytes, size_t n,
                                                            const absolute_anchor_t& at,
                                                            std::shared_ptr<const char[]> owner) {
    return add_absolute__(grid_id, load_memory__(bytes, n, std::move(owner)), at);
}

int32_t table_image_manager::add_one_cell_image_from_file(uint32_t grid_id, std::string_view file,
                                                          const one_cell_anchor_t& at) {
    return add_one_cell__(grid_id, load_file__(file), at);
}

int32_t table_image_manager::add_one_cell_image_from_memory(uint32_t grid_id, const void* bytes, size_t n,
                                                            const one_cell_anchor_t& at,
                                                            std::shared_ptr<const char[]> owner) {
    return add_one_cell__(grid_id, load_memory__(bytes, n, std::move(owner)), at);
}

int32_t table_image_manager::add_two_cell_image_from_file(uint32_t grid_id, image_anchor_type_enum edit_as,
                                                          std::string_view file, const two_cell_anchor_t& at) {
    return add_two_cell__(grid_id, edit_as, load_file__(file), at);
}

int32_t table_image_manager::add_two_cell_image_from_memory(uint32_t grid_id, image_anchor_type_enum edit_as,
                                                            const void* bytes, size_t n,
                                                            const two_cell_anchor_t& at,
                                                            std::shared_ptr<const char[]> owner) {
    return add_two_cell__(grid_id, edit_as, load_memory__(bytes, n, std::move(owner)), at);
}

int32_t table_image_manager::set_background_image_from_file(uint32_t grid_id, std::string_view file) {
    if (file.empty()) return -1;
    return set_background__(grid_id, load_file__(file));
}

int32_t table_image_manager::set_background_image_from_memory(uint32_t grid_id, const void* bytes, size_t n) {
    if (!bytes || n == 0) return -1;
    return set_background__(grid_id, load_memory__(bytes, n));
}

int32_t table_image_manager::add_absolute__(uint32_t grid_id, image_ptr image, absolute_anchor_t at) {
    if (!image) return -1;
    if (at.x < 0 || at.y < 0 || !resolve_size(at.width, at.height, at.scale, *image)) {
        set_run_message("Incorrect image dimensions or scaling factor.");
        return -1;
    }
    image_anchor_t record = record_of(grid_id, image_anchor_type_enum::absolute, std::move(image));
    record.absolute = at;
    std::lock_guard lock(mutex_);
    return add_record__(std::move(record));
}

int32_t table_image_manager::add_one_cell__(uint32_t grid_id, image_ptr image, one_cell_anchor_t at) {
    if (!image) return -1;
    if (!on_sheet(at.row, at.col) || !resolve_size(at.width, at.height, at.scale, *image)) {
        set_run_message("Incorrect image size or scaling factor.");
        return -1;
    }
    image_anchor_t record = record_of(grid_id, image_anchor_type_enum::one_cell, std::move(image));
    record.one_cell = at;
    std::lock_guard lock(mutex_);
    return add_record__(std::move(record));
}

int32_t table_image_manager::add_two_cell__(uint32_t grid_id, image_anchor_type_enum edit_as, image_ptr image,
                                            two_cell_anchor_t at) {
    if (!image) return -1;
    if (at.from_row > at.to_row) {
        std::swap(at.from_row, at.to_row);
        std::swap(at.from_row_offset, at.to_row_offset);
    }
    if (at.from_col > at.to_col) {
        std::swap(at.from_col, at.to_col);
        std::swap(at.from_col_offset, at.to_col_offset);
    }
    if (!on_sheet(at.from_row, at.from_col) || !on_sheet(at.to_row, at.to_col)) {
        set_run_message("Incorrect cell parameters for inserting image.");
        return -1;
    }
    image_anchor_t record = record_of(grid_id, image_anchor_type_enum::two_cell, std::move(image));
    record.edit_as = edit_as;
    record.two_cell = at;
    std::lock_guard lock(mutex_);
    return add_record__(std::move(record));
}

int32_t table_image_manager::set_background__(uint32_t grid_id, image_ptr image) {
    if (!image) return -1;
    image_anchor_t record = record_of(grid_id, image_anchor_type_enum::two_cell, std::move(image));
    record.background = 1;
    std::lock_guard lock(mutex_);
    // Only this sheet's: the manager holds the backgrounds of every sheet of the workbook.
    auto previous = records_.end();
    for (const int32_t id : ids_in__(grid_id)) {
        const auto it = records_.find(id);
        if (it->second.background == 1) {
            previous = it;
            break;
        }
    }
    const int32_t id = add_record__(std::move(record));
    if (previous != records_.end()) erase__(previous);
    return id;
}

int32_t table_image_manager::add_record__(image_anchor_t record) {
    // Equal bytes have one digest: only pictures of that digest are compared.
    std::vector<image_ptr>& same_digest = distinct_[record.image->identity()];
    bool shared = false;
    for (const image_ptr& known : same_digest) {
        if (known->equals(*record.image)) {
            record.image = known;
            shared = true;
            break;
        }
    }
    if (!shared) same_digest.push_back(record.image);
    const int32_t id = last_id_ + 2;
    const auto it = records_.emplace(id, std::move(record)).first;
    std::vector<int32_t>* sheet_ids = nullptr;
    try {
        // Ids rise, so appending keeps the lists in the order of adding.
        sheet_ids = &by_grid_[it->second.grid_id];
        sheet_ids->push_back(id);
        if (const auto key = anchor_key__(it->second)) by_anchor_[*key].push_back(id);
    } catch (...) {
        if (sheet_ids && !sheet_ids->empty() && sheet_ids->back() == id) sheet_ids->pop_back();
        records_.erase(it);
        throw;
    }
    last_id_ = id;
    return id;
}

std::optional<table_image_manager::anchor_key_t> table_image_manager::anchor_key__(const image_anchor_t& r) noexcept {
    if (r.background) return std::nullopt;
    if (r.type == image_anchor_type_enum::one_cell) return anchor_key_t{r.grid_id, r.one_cell.row, r.one_cell.col};
    if (r.type == image_anchor_type_enum::two_cell)
        return anchor_key_t{r.grid_id, r.two_cell.from_row, r.two_cell.from_col};
    return std::nullopt;
}

void table_image_manager::unanchor__(int32_t id, const image_anchor_t& r) {
    const auto key = anchor_key__(r);
    if (!key) return;
    const auto cell = by_anchor_.find(*key);
    if (cell == by_anchor_.end()) return;
    std::erase(cell->second, id);
    if (cell->second.empty()) by_anchor_.erase(cell);
}

void table_image_manager::erase__(records_t::iterator it) {
    const auto grid = by_grid_.find(it->second.grid_id);
    if (grid != by_grid_.end()) {
        std::vector<int32_t>& ids = grid->second;
        const auto at = std::lower_bound(ids.begin(), ids.end(), it->first);
        if (at != ids.end() && *at == it->first) ids.erase(at);
        if (ids.empty()) by_grid_.erase(grid);
    }
    unanchor__(it->first, it->second);
    records_.erase(it);
}

template <class Pred>
void table_image_manager::erase_in_grid__(uint32_t grid_id, Pred pred) {
    const auto grid = by_grid_.find(grid_id);
    if (grid == by_grid_.end()) return;
    // One pass over the sheet's list, however many go.
    std::erase_if(grid->second, [&](int32_t id) {
        const auto it = records_.find(id);
        if (!pred(it->second)) return false;
        unanchor__(id, it->second);
        records_.erase(it);
        return true;
    });
    if (grid->second.empty()) by_grid_.erase(grid);
}

const std::vector<int32_t>& table_image_manager::ids_in__(uint32_t grid_id) const {
    static const std::vector<int32_t> none;
    const auto grid = by_grid_.find(grid_id);
    return grid == by_grid_.end() ? none : grid->second;
}

// ---- removing -----------------------------------------------------------------------

void table_image_manager::delete_image(int32_t id) {
    std::lock_guard lock(mutex_);
    const auto it = records_.find(id);
    if (it == records_.end())
        set_run_message("No such image id.");
    else
        erase__(it);
}

void table_image_manager::remove_absolute_image(uint32_t grid_id, int32_t x, int32_t y) {
    std::lock_guard lock(mutex_);
    erase_in_grid__(grid_id, [&](const image_anchor_t& r) {
        return r.type == image_anchor_type_enum::absolute && r.absolute.x == x && r.absolute.y == y;
    });
}

void table_image_manager::remove_image(uint32_t grid_id, int32_t row, int32_t col) {
    std::lock_guard lock(mutex_);
    const auto cell = by_anchor_.find({grid_id, row, col});
    if (cell == by_anchor_.end()) return;
    const std::vector<int32_t> ids = cell->second;
    for (const int32_t id : ids)
        if (const auto it = records_.find(id); it != records_.end()) erase__(it);
}

void table_image_manager::remove_grid_images(uint32_t grid_id) {
    std::lock_guard lock(mutex_);
    erase_in_grid__(grid_id, [](const image_anchor_t&) { return true; });
}

// ---- lookups -------------------------------------------------------------------------

int32_t table_image_manager::image_num(uint32_t grid_id) const {
    std::lock_guard lock(mutex_);
    return static_cast<int32_t>(ids_in__(grid_id).size());
}

int32_t table_image_manager::get_image_id(uint32_t grid_id, int32_t n) const {
    std::lock_guard lock(mutex_);
    const std::vector<int32_t>& ids = ids_in__(grid_id);
    return n >= 0 && size_t(n) < ids.size() ? ids[size_t(n)] : -1;
}

std::vector<int32_t> table_image_manager::ids_of(uint32_t grid_id) const {
    std::lock_guard lock(mutex_);
    return ids_in__(grid_id);
}

const image_anchor_t& table_image_manager::at__(int32_t id) const {
    const auto it = records_.find(id);
    if (it == records_.end()) throw mta_error("No such image id.");
    return it->second;
}

image_anchor_type_enum table_image_manager::get_anchor_type(int32_t id) const {
    std::lock_guard lock(mutex_);
    return at__(id).type;
}

vex::coord_t table_image_manager::get_absolute_coord(int32_t id) const {
    std::lock_guard lock(mutex_);
    const image_anchor_t& r = at__(id);
    if (r.type != image_anchor_type_enum::absolute) {
        set_run_message("This image is not absolutely anchored.");
        return {};
    }
    return {0, r.absolute.y, r.absolute.x};
}

vex::coord_t table_image_manager::get_anchor_cell(int32_t id) const {
    std::lock_guard lock(mutex_);
    const image_anchor_t& r = at__(id);
    switch (r.type) {
    case image_anchor_type_enum::one_cell: return {0, r.one_cell.row, r.one_cell.col};
    case image_anchor_type_enum::two_cell: return {0, r.two_cell.from_row, r.two_cell.from_col};
    default: set_run_message("This image is not anchored with cells."); return {};
    }
}

bool table_image_manager::holds(uint32_t grid_id, int32_t id) const {
    std::lock_guard lock(mutex_);
    const auto it = records_.find(id);
    return it != records_.end() && it->second.grid_id == grid_id;
}

const image_anchor_t* table_image_manager::find_image(int32_t id) const {
    std::lock_guard lock(mutex_);
    const auto it = records_.find(id);
    return it == records_.end() ? nullptr : &it->second;
}

} // namespace vex::mta::image
