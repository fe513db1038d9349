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

namespace {

uint32_t key_hash(std::string_view text, bool rich) {
    return static_cast<uint32_t>(shared_string_key_hash{}({text, rich}));
}

bool same_readings(const std::unique_ptr<const phonetic_text_t>& kept, const phonetic_text_t* asked) {
    return kept ? asked && *kept == *asked : !asked;
}

std::unique_ptr<const phonetic_text_t> own_readings(const phonetic_text_t* phonetic) {
    return phonetic ? std::make_unique<const phonetic_text_t>(*phonetic) : nullptr;
}

uint32_t hash_of(uint64_t slot) { return static_cast<uint32_t>(slot); }
int32_t index_of(uint64_t slot) { return static_cast<int32_t>((slot >> 32) - 1); }

} // namespace

string_pool_t::string_pool_t() : slots_(16, 0) {}

int32_t string_pool_t::add_string(uint32_t preserve_space, std::string_view text, bool escapes_kept,
                                  const phonetic_text_t* phonetic) {
    if (phonetic && phonetic->empty()) phonetic = nullptr;
    const uint32_t flag = (preserve_space != 0 || needs_preserve_space(text)) ? 1 : 0;
    const uint32_t hash = key_hash(text, false);
    std::lock_guard lock(mutex_);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask; slots_[i]; i = (i + 1) & mask) {
        if (hash_of(slots_[i]) != hash) continue;
        string_pool_entry_t& e = entries_[size_t(index_of(slots_[i]))];
        if (e.rich || e.escapes_kept != escapes_kept || e.text != text || !same_readings(e.phonetic, phonetic)) continue;
        if (flag) e.preserve_space = 1;
        return index_of(slots_[i]);
    }
    return append__({flag, escapes_kept, std::string(text), nullptr, own_readings(phonetic)}, hash);
}

int32_t string_pool_t::add_rich_text(richtext_t text, const phonetic_text_t* phonetic) {
    if (phonetic && phonetic->empty()) phonetic = nullptr;
    const std::string plain(text.plain_text());
    const uint32_t hash = key_hash(plain, true);
    std::lock_guard lock(mutex_);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask; slots_[i]; i = (i + 1) & mask) {
        if (hash_of(slots_[i]) != hash) continue;
        const string_pool_entry_t& e = entries_[size_t(index_of(slots_[i]))];
        if (e.rich && e.text == plain && *e.rich == text && same_readings(e.phonetic, phonetic)) return index_of(slots_[i]);
    }
    return append__({0, false, plain, std::make_unique<richtext_t>(std::move(text)), own_readings(phonetic)}, hash);
}

int32_t string_pool_t::append__(string_pool_entry_t entry, uint32_t hash) {
    if (entries_.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw mta_error("string pool is full.");
    grow__(entries_.size() + 1);  // before the entry, so that a failure leaves none
    const auto index = static_cast<int32_t>(entries_.size());
    entries_.push_back(std::move(entry));
    place__(hash, index);
    return index;
}

void string_pool_t::grow__(size_t entries) {
    size_t room = slots_.size();
    while (entries > room / 4 * 3) room *= 2;
    if (room == slots_.size()) return;
    std::vector<uint64_t> old(room, 0);
    old.swap(slots_);
    for (const uint64_t slot : old)
        if (slot) place__(hash_of(slot), index_of(slot));
}

void string_pool_t::place__(uint32_t hash, int32_t index) {
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i]) i = (i + 1) & mask;
    slots_[i] = uint64_t(uint32_t(index) + 1u) << 32 | hash;
}

const string_pool_entry_t* string_pool_t::entry__(int32_t index) const {
    return index >= 0 && static_cast<size_t>(index) < entries_.size() ? &entries_[index] : nullptr;
}

std::string_view string_pool_t::string_at(int32_t index, uint32_t* preserve_space, bool* escapes_kept) const {
    std::lock_guard lock(mutex_);
    const auto* e = entry__(index);
    if (!e) return {};
    if (preserve_space) *preserve_space = e->preserve_space;
    if (escapes_kept) *escapes_kept = e->escapes_kept;
    return e->text;
}

const richtext_t* string_pool_t::rich_text_at(int32_t index) const {
    std::lock_guard lock(mutex_);
    const auto* e = entry__(index);
    return e ? e->rich.get() : nullptr;
}

const phonetic_text_t* string_pool_t::phonetic_at(int32_t index) const {
    std::lock_guard lock(mutex_);
    const auto* e = entry__(index);
    return e ? e->phonetic.get() : nullptr;
}

bool string_pool_t::is_rich_text(int32_t index) const {
    std::lock_guard lock(mutex_);
    const auto* e = entry__(index);
    return e && e->rich;
}

void string_pool_t::reserve(size_t count) {
    std::lock_guard lock(mutex_);
    grow__(entries_.size() + count);
}

bool string_pool_t::adopt(string_pool_t& from) {
    std::scoped_lock lock(mutex_, from.mutex_);
    if (!entries_.empty()) return false;
    entries_.swap(from.entries_);
    slots_.swap(from.slots_);
    return true;
}

size_t string_pool_t::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

} // namespace vex::mta
