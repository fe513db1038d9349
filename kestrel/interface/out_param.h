#pragma once
// Out pointers of the exports may be null; only the non-null ones are written.
namespace vex::detail {

template <typename T, typename V>
void put(T* out, V value) {
    if (out) *out = static_cast<T>(value);
}

} // namespace vex::detail
