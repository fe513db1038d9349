#pragma once
// The what() of the exception a call throws, so that a test pins the whole text.

#include <exception>
#include <string>

template <typename E = std::exception, typename F>
std::string what_of(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "no exception";
}
