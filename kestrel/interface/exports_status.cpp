// Status exports: the last message and the version text.
#include "plover.h"
#include "run_message.h"

extern "C" {

PLOVER_API const char* run_msg(void) { return vex::get_run_message().get(); }

PLOVER_API const char* lib_version(void) {
    static const char* const version = "0.1.0";
    return version;
}

PLOVER_API const char* get_version(void) { return lib_version(); }

}
