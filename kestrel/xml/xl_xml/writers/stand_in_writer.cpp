#include "kestrel/xml/xl_xml/writers/stand_in_writer.h"

#include <array>
#include <atomic>

namespace vex {

namespace {

// One slot per kind, 0 included; kept parts and unset kinds have none.
std::array<std::atomic<writer_factory_t>, part_kind_count + 1>& slots() noexcept {
    static std::array<std::atomic<writer_factory_t>, part_kind_count + 1> table{};
    return table;
}

} // namespace

writer_factory_t set_stand_in_writer(part_kind_enum kind, writer_factory_t make) noexcept {
    const auto k = static_cast<uint32_t>(kind);
    if (k > part_kind_count) return nullptr;
    return slots()[k].exchange(make);
}

writer_factory_t stand_in_writer(part_kind_enum kind) noexcept {
    const auto k = static_cast<uint32_t>(kind);
    return k > part_kind_count ? nullptr : slots()[k].load();
}

} // namespace vex
