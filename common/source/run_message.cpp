#include "run_message.h"
#include "sheet_limits.h"

namespace vex {

void run_message_t::set(std::string_view text) {
    std::lock_guard lock(mutex_);
    text_.assign(text);
}

const char* run_message_t::get() {
    thread_local std::string copy;
    std::lock_guard lock(mutex_);
    copy = text_;
    return copy.c_str();
}

std::string run_message_t::str() {
    std::lock_guard lock(mutex_);
    return text_;
}

run_message_t& get_run_message() {
    // Never destroyed: hosts may report from their own static destructors.
    static run_message_t* record = new run_message_t;
    return *record;
}

const sheet_limits_t& get_sheet_limits() {
    static const sheet_limits_t limits;
    return limits;
}

} // namespace vex
