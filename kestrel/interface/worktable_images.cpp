// The worktable slots of pictures, the used area and merged ranges. Picture
// anchor cells are 1-based throughout, as the host numbers them.
#include "kestrel/interface/worktable_impl.h"
#include "kestrel/interface/worktable_checks.h"

#include "kestrel/core/components/drawings.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/drawings_part.h"
#include "kestrel/parts/image_part.h"
#include "mta/table/utils/drawing/image/table_image.h"
#include "sheet_limits.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vex {

namespace {

namespace image = mta::image;

constexpr std::string_view no_file_message = "The image file cannot be empty.";
constexpr std::string_view no_image_message = "No such image id.";

bool admit_file(const char* file) noexcept {
    if (file) return true;
    detail::report(no_file_message);
    return false;
}

// A deleted picture's image part goes with it once no picture of the sheet
// shows it and no waiting or kept drawing content names it.
void drop_unused_image_parts(worktable_t& table) {
    xml_part_t* part = table.get_part();
    if (!part) return;
    const image::table_image_manager& images = *table.get_image_manager();
    const auto shown = [&](int id) { return images.holds(table.sheet_id(), id); };
    for (const auto& child : part->get_child_parts()) {
        auto* drawing = dynamic_cast<drawings_part_t*>(child.get());
        if (!drawing) continue;
        const drawings_t& content = *drawing->get_drawings();
        std::vector<xml_part_t*> unused;
        for (const auto& c : drawing->get_child_parts()) {
            const auto* picture = dynamic_cast<const image_part_t*>(c.get());
            if (!picture || picture->images().empty()) continue;
            if (std::any_of(picture->images().begin(), picture->images().end(), shown)) continue;
            const std::string rid = c->get_source_id();
            const std::string quoted = "\"" + rid + "\"";
            const bool named = !rid.empty() && (content.pictures().count(rid) != 0 ||
                                                std::any_of(content.kept_anchors().begin(), content.kept_anchors().end(),
                                                            [&](const kept_anchor_t& k) {
                                                                return k.xml.find(quoted) != std::string::npos;
                                                            }));
            if (!named) unused.push_back(c.get());
        }
        for (xml_part_t* p : unused) drawing->remove_part(p);
    }
}

// The component answers below 1 for a refusal.
int id_or_failure(int32_t id) noexcept { return id < 1 ? -1 : id; }

void write_pair(int* a, int* b, int va, int vb) noexcept {
    if (a) *a = va;
    if (b) *b = vb;
}

} // namespace

// ---- adding pictures ----

int iWorktable_impl::add_two_cell_picture__(const char* file, int first_row, int first_col, int last_row,
                                            int last_col, const int (&offsets)[4]) {
    if (!admit_file(file)) return -1;
    // The picture covers the last cell: it ends at the corner of the next one.
    int64_t from_row = first_row, from_col = first_col;
    int64_t to_row = int64_t(last_row) + 1, to_col = int64_t(last_col) + 1;
    int from_row_offset = offsets[0], from_col_offset = offsets[1];
    int to_row_offset = offsets[2], to_col_offset = offsets[3];
    if (from_row > to_row) {
        std::swap(from_row, to_row);
        std::swap(from_row_offset, to_row_offset);
    }
    if (from_col > to_col) {
        std::swap(from_col, to_col);
        std::swap(from_col_offset, to_col_offset);
    }
    const sheet_limits_t& limits = get_sheet_limits();
    if (!limits.valid_row(from_row) || !limits.valid_row(to_row) || !limits.valid_col(from_col) ||
        !limits.valid_col(to_col)) {
        detail::report("Row or column is out of range.");
        return -1;
    }
    return guarded(-1, [&] {
        return id_or_failure(sheet_->add_image_with_two_cells(
            static_cast<int32_t>(image::image_anchor_type_enum::two_cell), file, int32_t(from_col), from_col_offset,
            int32_t(from_row), from_row_offset, int32_t(to_col), to_col_offset, int32_t(to_row), to_row_offset));
    });
}

int iWorktable_impl::add_cell_image(const char* file, int first_row, int first_col, int last_row, int last_col) {
    return add_two_cell_picture__(file, first_row, first_col, last_row, last_col, {0, 0, 0, 0});
}

int iWorktable_impl::add_image_with_two_cells(const char* file, int first_row, int first_col, int last_row,
                                              int last_col, int first_row_offset, int first_col_offset,
                                              int last_row_offset, int last_col_offset) {
    return add_two_cell_picture__(file, first_row, first_col, last_row, last_col,
                                  {first_row_offset, first_col_offset, last_row_offset, last_col_offset});
}

int iWorktable_impl::add_image_with_one_cell(const char* file, int row, int col, int width, int height, double scale,
                                             int col_offset, int row_offset) {
    if (!admit_file(file)) return -1;
    return guarded(-1, [&] {
        return id_or_failure(
            sheet_->add_image_with_one_cell(file, row, col, width, height, scale, col_offset, row_offset));
    });
}

int iWorktable_impl::add_absolute_image(const char* file, int x, int y, int width, int height, double scale) {
    if (!admit_file(file)) return -1;
    return guarded(-1, [&] { return id_or_failure(sheet_->add_absolute_image(file, x, y, width, height, scale)); });
}

// ---- looking pictures up and removing them ----

int iWorktable_impl::image_num() {
    return guarded(-1, [&] { return sheet_->get_image_manager()->image_num(sheet_->sheet_id()); });
}

int iWorktable_impl::get_image_id(int index) {
    return guarded(-1, [&] {
        const image::table_image_manager& images = *sheet_->get_image_manager();
        if (index < 0 || index >= images.image_num(sheet_->sheet_id())) {
            detail::report("Index out of range.");
            return -1;
        }
        return images.get_image_id(sheet_->sheet_id(), index);
    });
}

int iWorktable_impl::image_anchor_type(int id) {
    return guarded(0, [&] {
        const image::table_image_manager& images = *sheet_->get_image_manager();
        if (!images.holds(sheet_->sheet_id(), id)) {
            detail::report(no_image_message);
            return 0;
        }
        return static_cast<int>(images.get_anchor_type(id)) + 1;
    });
}

// The other kind of anchor writes 0 and 0 and fails: its message is no success.
bool iWorktable_impl::get_anchored_cell(int id, int* row, int* col) {
    return guarded(false, [&] {
        const image::table_image_manager& images = *sheet_->get_image_manager();
        if (!images.holds(sheet_->sheet_id(), id)) return refuse(no_image_message);
        const bool cells = images.get_anchor_type(id) != image::image_anchor_type_enum::absolute;
        const coord_t at = images.get_anchor_cell(id);
        write_pair(row, col, at.row, at.col);
        return cells;
    });
}

bool iWorktable_impl::get_absolute_coord(int id, int* x, int* y) {
    return guarded(false, [&] {
        const image::table_image_manager& images = *sheet_->get_image_manager();
        if (!images.holds(sheet_->sheet_id(), id)) return refuse(no_image_message);
        const bool absolute = images.get_anchor_type(id) == image::image_anchor_type_enum::absolute;
        const coord_t at = images.get_absolute_coord(id);
        write_pair(x, y, at.col, at.row);
        return absolute;
    });
}

void iWorktable_impl::delete_image(int id) {
    guarded_void([&] {
        image::table_image_manager& images = *sheet_->get_image_manager();
        if (!images.holds(sheet_->sheet_id(), id)) return detail::report(no_image_message);
        images.delete_image(id);
        drop_unused_image_parts(*sheet_);
    });
}

void iWorktable_impl::remove_image(int row, int col) {
    guarded_void([&] {
        sheet_->get_image_manager()->remove_image(sheet_->sheet_id(), row, col);
        drop_unused_image_parts(*sheet_);
    });
}

void iWorktable_impl::remove_absolute_image(int x, int y) {
    guarded_void([&] {
        sheet_->get_image_manager()->remove_absolute_image(sheet_->sheet_id(), x, y);
        drop_unused_image_parts(*sheet_);
    });
}

// ---- used area ----

bool iWorktable_impl::first_data_cell(int* row, int* col) {
    return guarded(false, [&] {
        const int r = sheet_->first_used_row(), c = sheet_->first_used_col();
        if (!sheet_->is_valid_cell(r, c)) return false;
        write_pair(row, col, r, c);
        return true;
    });
}

bool iWorktable_impl::last_data_cell(int* row, int* col) {
    return guarded(false, [&] {
        const int r = sheet_->last_used_row(0, 0), c = sheet_->last_used_col(0, 0);
        if (!sheet_->is_valid_cell(r, c)) return false;
        write_pair(row, col, r, c);
        return true;
    });
}

// ---- merged ranges ----

int iWorktable_impl::merged_num() {
    return guarded(-1, [&] { return static_cast<int>(sheet_->merged_cells().size()); });
}

bool iWorktable_impl::merged_range(int index, int* first_row, int* first_col, int* last_row, int* last_col) {
    return guarded(false, [&] {
        range_t r;
        if (!sheet_->merged_cells().merged_range(index, r)) return false;
        write_pair(first_row, first_col, r.first.row, r.first.col);
        write_pair(last_row, last_col, r.last.row, r.last.col);
        return true;
    });
}

bool iWorktable_impl::merge(int first_row, int first_col, int last_row, int last_col) {
    const range_t r = detail::ordered_range(first_row, first_col, last_row, last_col);
    return guarded(false, [&] { return sheet_->merged_cells().merge(r, false); });
}

bool iWorktable_impl::unmerge(int row, int col) {
    if (!detail::admit_cell(row, col)) return false;
    return guarded(false, [&] { return sheet_->merged_cells().unmerge(row, col) == 1; });
}

} // namespace vex
