#include "kestrel/parts/image_part.h"

#include "kestrel/core/components/drawings.h"
#include "kestrel/core/components/worktable.h"
#include "mta/table/utils/drawing/image/image.h"

#include <iterator>

namespace vex {

namespace {

// By image type code - 1.
constexpr const char* mime_types[] = {"image/bmp",  "image/jpeg",  "image/png",   "image/gif",
                                      "image/tiff", "image/x-wmf", "image/x-emf", "image/x-icon"};
constexpr const char* extensions[] = {"bmp", "jpeg", "png", "gif", "tiff", "wmf", "emf", "ico"};

// The order the content-type lookup asks in, not that of the type codes.
constexpr const char* indexed_types[] = {"image/bmp",   "image/gif",   "image/png",   "image/tiff",
                                         "image/x-icon", "image/x-pcx", "image/jpeg", "image/x-emf",
                                         "image/x-wmf",  "application/octet-stream"};
constexpr const char* indexed_extensions[] = {".bmp", ".gif", ".png", ".tiff", ".ico",
                                              ".pcx", ".jpeg", ".emf", ".wmf", ".bin"};

template <size_t N>
const char* at(const char* const (&table)[N], int i) noexcept {
    return i >= 0 && static_cast<size_t>(i) < N ? table[i] : nullptr;
}

worktable_t* worktable_of(const xml_part_t* part) noexcept {
    return part && part->kind() == part_kind_enum::worktable_part ? dynamic_cast<worktable_t*>(part->get_component())
                                                                   : nullptr;
}

} // namespace

const char* mime_type_of(int type) noexcept { return at(mime_types, type - 1); }

const char* extension_of(int type) noexcept { return at(extensions, type - 1); }

image_part_t::image_part_t(xml_part_t* parent) : described_part_t(parent, part_kind_enum::image_part) {
    set_component(std::make_unique<image_t>(this));
}

image_part_t::~image_part_t() = default;

void image_part_t::set_image(const std::shared_ptr<const img::image_t>& image) {
    if (!image || !image->data()) {
        set_raw_data(nullptr, 0);
        return;
    }
    // Aliases the picture: its bytes live as long as this part needs them.
    set_raw_data(std::shared_ptr<const char[]>(image, reinterpret_cast<const char*>(image->data())),
                 image->byte_size());
    const int type = static_cast<int>(image->type());
    const char* ct = mime_type_of(type);
    const char* ext = extension_of(type);
    set_content_type(ct ? ct : "application/octet-stream");
    set_extension(ext ? ext : "bin");
}

bool image_part_t::equals(const xml_part_t* other) const {
    return other && other->kind() == part_kind_enum::image_part && get_raw_data() &&
           other->get_raw_data() == get_raw_data() && other->get_raw_size() == get_raw_size();
}

const char* image_part_t::get_content_type_by_index(int index) const { return at(indexed_types, index); }

const char* image_part_t::get_extension_by_index(int index) const { return at(indexed_extensions, index); }

bool image_part_t::on_loaded() {
    xml_part_t* parent = get_parent();
    if (worktable_t* table = worktable_of(parent)) {
        const int32_t id = table->set_bg_picture_from_memory(get_raw_data(), get_raw_size());
        register_image(id);
        return id > 0;
    }
    auto* drawing = parent && parent->kind() == part_kind_enum::drawings_part
                        ? dynamic_cast<drawings_t*>(parent->get_component())
                        : nullptr;
    worktable_t* table = drawing ? worktable_of(parent->get_parent()) : nullptr;
    if (!table) return false;
    const int32_t id = drawing->insert_image(*this, *table);
    if (id < 0) return false;
    register_image(id);
    return true;
}

void image_part_t::copy_from(const xml_part_t* other) {
    if (!other || other->kind() != part_kind_enum::image_part) return;
    set_raw_data(other->get_raw_block(), other->get_raw_size());
    set_content_type(other->content_type());
    set_extension(other->extension());
}

} // namespace vex
