#pragma once
// Until every modelled part kind has a writer of its own, a driver of the save
// walk (the tests) may install one for a kind. A part without kept bytes takes
// the installed one, over its own writer when it has one: the driver asked.

#include "kestrel/parts/part_kind.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"

#include <memory>

namespace vex {

class xml_part_t;

using writer_factory_t = std::unique_ptr<output_handler> (*)(xml_part_t& part);

// Installs make for parts of kind (null removes it); returns what was installed.
writer_factory_t set_stand_in_writer(part_kind_enum kind, writer_factory_t make) noexcept;
// Null when nothing is installed for the kind.
writer_factory_t stand_in_writer(part_kind_enum kind) noexcept;

} // namespace vex
