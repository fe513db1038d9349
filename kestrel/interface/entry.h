#pragma once
// The frame shared by every family export: a null handle, a document handle the
// registry does not hold and a host text that is not UTF-8 are refused before the
// slot is reached, and nothing thrown by the slot leaves the library.

#include "kestrel/interface/out_param.h"

#include "run_message.h"

#include <exception>
#include <initializer_list>
#include <string_view>

#include <utf8.h>

namespace vex {
class iDocument;
}

namespace vex::detail {

inline constexpr std::string_view null_handle_message = "The handle cannot be empty.";
inline constexpr std::string_view closed_document_message = "The document is not open: released or never made.";
inline constexpr std::string_view bad_text_message = "Failed to convert from ANSI string";
inline constexpr std::string_view unknown_error_message = "Unknown error occurred.";

// Storing a message may itself fail (no memory); the caller answers anyway.
inline void report(std::string_view text) noexcept {
    try {
        set_run_message(text);
    } catch (...) {
    }
}

// Inside a catch: a standard exception leaves its text, anything else the
// unknown-error text.
inline void report_exception() noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report(unknown_error_message);
    }
}

// Null texts pass: each slot decides what a missing text means.
inline bool host_texts_ok(std::initializer_list<const char*> texts) noexcept {
    for (const char* t : texts) {
        if (!t) continue;
        const std::string_view s(t);
        if (!utf8::is_valid(s.begin(), s.end())) return false;
    }
    return true;
}

// Style and rich-text pointers must be the library's own objects: a host's own
// subclass has none of the state the slots read.
inline constexpr std::string_view null_style_message = "Style pointer cannot be empty.";
inline constexpr std::string_view foreign_style_message = "The style is not one this library made.";
inline constexpr std::string_view null_richtext_message = "Rich text cannot be empty.";
inline constexpr std::string_view foreign_richtext_message = "The rich text is not one this library made.";

// Why a host's pointer cannot stand for the library's object Own: `empty` for
// null, `foreign` for an object the library did not make; nothing for its own.
template <typename Own, typename Interface>
std::string_view refusal_of(const Interface* given, std::string_view empty, std::string_view foreign) noexcept {
    if (!given) return empty;
    return dynamic_cast<const Own*>(given) ? std::string_view{} : foreign;
}

// The library's object behind the pointer; null, with the refusal left, when
// there is none.
template <typename Own, typename Interface>
const Own* admit_own(const Interface* given, std::string_view empty, std::string_view foreign) noexcept {
    const std::string_view refusal = refusal_of<Own>(given, empty, foreign);
    if (refusal.empty()) return static_cast<const Own*>(given);
    report(refusal);
    return nullptr;
}

// A slot's own refusal of a null text: the message, and false.
inline bool text_given(const char* text, std::string_view message) noexcept {
    if (text) return true;
    report(message);
    return false;
}

template <typename Handle>
bool admit(const Handle* handle, std::initializer_list<const char*> texts) noexcept {
    if (!handle) {
        report(null_handle_message);
        return false;
    }
    if (!host_texts_ok(texts)) {
        report(bad_text_message);
        return false;
    }
    return true;
}

// A document handle must also be one the registry holds: a released one
// would be read after it was freed. Defined beside the registry.
bool admit(const iDocument* doc, std::initializer_list<const char*> texts) noexcept;

template <typename Handle, typename R, typename Work>
R enter(const Handle* handle, R failure, std::initializer_list<const char*> texts, Work&& work) noexcept {
    if (!admit(handle, texts)) return failure;
    try {
        return work();
    } catch (...) {
        report_exception();
        return failure;
    }
}

template <typename Handle, typename Work>
void enter_void(const Handle* handle, std::initializer_list<const char*> texts, Work&& work) noexcept {
    if (!admit(handle, texts)) return;
    try {
        work();
    } catch (...) {
        report_exception();
    }
}

} // namespace vex::detail
