#include "kestrel/parts/simple_part.h"

#include "kestrel/parts/package_uris.h"

namespace vex {

namespace {

const part_kind_info& info_of(part_kind_enum kind) noexcept { return *part_kind_info_of(kind); }

constexpr const char* xml_type = "application/xml";
constexpr const char* xml_extension = ".xml";

} // namespace

// The drawing part alone names no namespace of its own.
described_part_t::described_part_t(xml_part_t* parent, part_kind_enum kind)
    : xml_part_t(parent, kind == part_kind_enum::drawings_part ? "" : uri::spreadsheetml_main.data(),
                 info_of(kind).relationship_type, info_of(kind).content_type, info_of(kind).folder,
                 info_of(kind).stem, info_of(kind).extension) {}

described_part_t::~described_part_t() = default;

bool is_chart_part(const xml_part_t& part) noexcept {
    return part.kind() == part_kind_enum::chart_part ||
           part.content_type() == info_of(part_kind_enum::chart_part).content_type;
}

const char* custom_xml_part_t::get_content_type_by_index(int index) const {
    if (index >= 0 && index <= 2) return xml_type;
    return index == 3 ? "application/inkml+xml" : nullptr;
}

const char* custom_xml_part_t::get_extension_by_index(int index) const {
    return index >= 0 && index <= 3 ? xml_extension : nullptr;
}

const char* custom_property_part_t::get_content_type_by_index(int index) const {
    if (index == 0) return "application/vnd.openxmlformats-officedocument.spreadsheetml.customProperty";
    return index == 1 ? xml_type : nullptr;
}

const char* custom_property_part_t::get_extension_by_index(int index) const {
    return index == 0 || index == 1 ? xml_extension : nullptr;
}

const char* thumbnail_part_t::get_content_type_by_index(int index) const {
    return index >= 0 && index <= 2 ? xml_type : nullptr;
}

const char* thumbnail_part_t::get_extension_by_index(int index) const {
    return index >= 0 && index <= 2 ? xml_extension : nullptr;
}

} // namespace vex
