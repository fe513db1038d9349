// Status exports: the last message and the version text.
#include "plover.h"

#include "kestrel/interface/entry.h"

#include "run_message.h"

namespace {

// The project's version, given by the build.
constexpr const char* version_text = PLOVER_VERSION_TEXT;

} // namespace

extern "C" {

PLOVER_API const char* run_msg(void) noexcept {
    try {
        return vex::get_run_message().get();
    } catch (...) {
        return "";
    }
}

PLOVER_API const char* lib_version(void) noexcept { return version_text; }

PLOVER_API const char* get_version(void) noexcept { return version_text; }

}
