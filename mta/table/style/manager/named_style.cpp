#include "mta/table/style/manager/named_style.h"

#include "text_utils.h"

#include <algorithm>
#include <utility>

namespace vex::mta {

const named_style_t* named_style_list_t::find(std::string_view name) const {
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : &styles_[it->second];
}

named_style_t* named_style_list_t::find(std::string_view name) {
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : &styles_[it->second];
}

const named_style_t* named_style_list_t::find_in_any_case(std::string_view name) const {
    const auto it = std::find_if(styles_.begin(), styles_.end(),
                                 [&](const named_style_t& s) { return ascii_iequals(s.name, name); });
    return it == styles_.end() ? nullptr : &*it;
}

named_style_t* named_style_list_t::find_in_any_case(std::string_view name) {
    return const_cast<named_style_t*>(std::as_const(*this).find_in_any_case(name));
}

named_style_t* named_style_list_t::find_builtin(int32_t builtin_id) {
    if (builtin_id < 0) return nullptr;
    for (auto& s : styles_)
        if (s.builtinId == builtin_id) return &s;
    return nullptr;
}

named_style_t& named_style_list_t::insert_or_assign(named_style_t style) {
    if (auto* known = find(style.name)) {
        *known = std::move(style);
        return *known;
    }
    index_.emplace(style.name, styles_.size());
    return styles_.emplace_back(std::move(style));
}

void named_style_list_t::insert_front(named_style_t style) {
    if (const auto it = index_.find(style.name); it != index_.end())
        styles_.erase(styles_.begin() + static_cast<std::ptrdiff_t>(it->second));
    styles_.insert(styles_.begin(), std::move(style));
    reindex();
}

void named_style_list_t::clear() noexcept {
    styles_.clear();
    index_.clear();
}

void named_style_list_t::reindex() {
    index_.clear();
    for (size_t i = 0; i < styles_.size(); ++i) index_.emplace(styles_[i].name, i);
}

} // namespace vex::mta
