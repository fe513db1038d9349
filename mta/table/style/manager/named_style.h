#pragma once
// Named cell styles ("cellStyles"): "normal", the built-in styles in use and the
// host's custom styles, each pointing at a style xf. Kept in insertion order so
// that the styles part and every index a host sees come out the same each run.

#include "hash_utils.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex::mta {

struct named_style_t {
    std::string name;          // case-sensitive
    uint32_t xfId = 0;         // its style xf
    int32_t builtinId = -1;    // -1 for a custom style
    int32_t iLevel = 0;
    uint8_t customBuiltin = 0; // a built-in style whose format was changed
    uint8_t hidden = 0;

    bool operator==(const named_style_t&) const = default;
};
using cell_style_t = named_style_t;

class named_style_list_t {
public:
    const named_style_t* find(std::string_view name) const;
    named_style_t* find(std::string_view name);
    bool contains(std::string_view name) const { return find(name) != nullptr; }
    // The first style of the name in any ASCII case; null for none.
    const named_style_t* find_in_any_case(std::string_view name) const;
    named_style_t* find_in_any_case(std::string_view name);
    bool contains_in_any_case(std::string_view name) const { return find_in_any_case(name) != nullptr; }
    // The first style of a built-in id (0 or more); null for none.
    named_style_t* find_builtin(int32_t builtin_id);

    // A new name goes to the end; a known one is replaced where it stands.
    named_style_t& insert_or_assign(named_style_t style);
    // Puts a style first (or moves it there).
    void insert_front(named_style_t style);

    size_t size() const noexcept { return styles_.size(); }
    bool empty() const noexcept { return styles_.empty(); }
    auto begin() const noexcept { return styles_.begin(); }
    auto end() const noexcept { return styles_.end(); }
    void clear() noexcept;

private:
    void reindex();

    std::vector<named_style_t> styles_;
    std::unordered_map<std::string, size_t, vex::string_hash, std::equal_to<>> index_;
};

} // namespace vex::mta
