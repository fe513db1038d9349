#pragma once
// Until every modelled part kind has a writer of its own, a driver of the save
// walk (the tests, the benchmarks) may install one for a kind on the document
// it saves. A part without kept bytes takes the installed one, over its own
// writer when it has one: the driver asked.

#include "kestrel/parts/part_kind.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"

#include <array>
#include <cstdint>
#include <memory>

namespace vex {

class xml_part_t;

using writer_factory_t = std::unique_ptr<output_handler> (*)(xml_part_t& part);

// One slot per kind, 0 included; unset kinds have none.
class stand_in_writers_t {
public:
    // Installs make for parts of kind (null removes it); returns what was installed.
    writer_factory_t set(part_kind_enum kind, writer_factory_t make) noexcept {
        const auto k = static_cast<uint32_t>(kind);
        if (k > part_kind_count) return nullptr;
        const writer_factory_t previous = slots_[k];
        slots_[k] = make;
        return previous;
    }
    // Null when nothing is installed for the kind.
    writer_factory_t get(part_kind_enum kind) const noexcept {
        const auto k = static_cast<uint32_t>(kind);
        return k > part_kind_count ? nullptr : slots_[k];
    }

private:
    std::array<writer_factory_t, part_kind_count + 1> slots_{};
};

} // namespace vex
