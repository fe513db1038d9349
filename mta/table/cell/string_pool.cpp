#include "mta/table/cell/string_pool.h"

#include "coord.h"
#include "errors.h"
#include "mta/table/cell/preserve_space.h"

#include <limits>

namespace vex {

size_t shared_string_key_hash::operator()(const mta::string_pool_key_t& key) const noexcept {
    const uint64_t h = fnv1a_64(reinterpret_cast<const unsigned char*>(key.text.data()), key.text.size());
    const uint64_t c = key.rich ? 0x13C6EF372ull : 0x108416020ull;
    return static_cast<size_t>(h ^ (c + (h << 6) + (h >> 2)));
}

} // namespace vex

namespace vex::mta {

string_pool_t::string_pool_t() : index_(8) {}

int32_t string_pool_t::add_string(uint32_t preserve_space, std::string_view text) {
    const uint32_t flag = (preserve_space != 0 || needs_preserve_space(text)) ? 1 : 0;
    std::lock_guard lock(mutex_);
    if (auto it = index_.find({text, false}); it != index_.end()) {
        if (flag) entries_[it->second].preserve_space = 1;
        return it->second;
    }
    return append__({flag, std::string(text), nullptr});
}

int32_t string_pool_t::add_rich_text(richtext_t text) {
    const std::string plain(text.plain_text());
    std::lock_guard lock(mutex_);
    auto [first, last] = index_.equal_range({plain, true});
    for (auto it = first; it != last; ++it)
        if (*entries_[it->second].rich == text) return it->second;
    return append__({0, plain, std::make_unique<richtext_t>(std::move(text))});
}

int32_t string_pool_t::append__(string_pool_entry_t entry) {
    if (entries_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw mta_error("string pool is full.");
    const auto index = static_cast<int32_t>(entries_.size());
    const bool rich = entry.rich != nullptr;
    entries_.push_back(std::move(entry));
    try {
        index_.emplace(string_pool_key_t{entries_.back().text, rich}, index);
    } catch (...) {
        entries_.pop_back();
        throw;
    }
    return index;
}

const string_pool_entry_t* string_pool_t::entry__(int32_t index) const {
    return index >= 0 && static_cast<size_t>(index) < entries_.size() ? &entries_[index] : nullptr;
}

std::string_view string_pool_t::string_at(int32_t index, uint32_t* preserve_space) const {
    std::lock_guard lock(mutex_);
    const auto* e = entry__(index);
    if (!e) return {};
    if (preserve_space) *preserve_space = e->preserve_space;
    return e->text;
}

const richtext_t* string_pool_t::rich_text_at(int32_t index) const {
    std::lock_guard lock(mutex_);
    const auto* e = entry__(index);
    return e ? e->rich.get() : nullptr;
}

bool string_pool_t::is_rich_text(int32_t index) const {
    std::lock_guard lock(mutex_);
    const auto* e = entry__(index);
    return e && e->rich;
}

void string_pool_t::reserve(size_t count) {
    std::lock_guard lock(mutex_);
    index_.reserve(entries_.size() + count);
}

bool string_pool_t::adopt(string_pool_t& from) {
    std::scoped_lock lock(mutex_, from.mutex_);
    if (!entries_.empty()) return false;
    // A deque's swap moves no element, so the index's views stay valid.
    entries_.swap(from.entries_);
    index_.swap(from.index_);
    return true;
}

size_t string_pool_t::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

} // namespace vex::mta
