#pragma once
// The process-wide last message: a failed call stores its reason here and the host
// reads it with run_msg(). One message for the whole process, never cleared.

#include <mutex>
#include <string>
#include <string_view>

namespace vex {

class run_message_t {
public:
    void set(std::string_view text);
    void set(const char* text) { set(std::string_view(text ? text : "")); }
    // A copy owned by the calling thread: it stays valid while other threads
    // store new messages, until this thread calls get() again.
    const char* get();
    std::string str();

private:
    std::mutex mutex_;
    std::string text_;
};

run_message_t& get_run_message();

// Shorthand for the refusals of the model: record the text and go on.
inline void set_run_message(std::string_view text) { get_run_message().set(text); }
// A refusal: the text goes to the last message and the operation answers false.
inline bool refuse(std::string_view text) {
    set_run_message(text);
    return false;
}

} // namespace vex
