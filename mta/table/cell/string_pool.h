#pragma once
// The texts of every string and rich-text cell of one workbook, shared by its
// sheets and freed with it. A cell holds only its 32-bit index; equal texts share
// one index. Entries are only ever appended and never move, so a text's address
// stays valid while the workbook lives (a view handed to a host included). Every
// operation holds the pool's mutex: the sheets of a workbook may be set from
// several threads.

#include "mta/table/cell/phonetic_text.h"
#include "mta/table/cell/richtext.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vex::mta {

struct string_pool_key_t {
    std::string_view text;  // into the entry's own text
    bool rich = false;

    bool operator==(const string_pool_key_t&) const = default;
};

} // namespace vex::mta

namespace vex {

// FNV-1a 64 of the text, folded with a constant that tells plain and rich keys apart.
struct shared_string_key_hash {
    size_t operator()(const mta::string_pool_key_t& key) const noexcept;
};

} // namespace vex

namespace vex::mta {

struct string_pool_entry_t {
    uint32_t preserve_space = 0;  // 0 "___default", 1 "preserve"; 0 for rich text
    bool escapes_kept = false;    // read with escapes kept as written (decode_x_escapes)
    std::string text;             // the plain text of a rich entry
    std::unique_ptr<richtext_t> rich;
    std::unique_ptr<const phonetic_text_t> phonetic;  // null when the text has no readings
};

class string_pool_t {
public:
    string_pool_t();
    string_pool_t(const string_pool_t&) = delete;
    string_pool_t& operator=(const string_pool_t&) = delete;

    // The index of the plain entry with this text, made when there is none. The
    // preserve-space flag is also set when the text begins or ends with white
    // space, and an existing entry takes it when a later add asks for it. A
    // text read with escapes kept is an entry apart from the same text set,
    // and so is one with other readings (null or empty: none).
    int32_t add_string(uint32_t preserve_space, std::string_view text, bool escapes_kept = false,
                       const phonetic_text_t* phonetic = nullptr);
    // The index of an equal rich entry, made when there is none.
    int32_t add_rich_text(richtext_t text, const phonetic_text_t* phonetic = nullptr);
    // Room for count more entries, so that adding them does not rehash.
    void reserve(size_t count);
    // Takes every entry of `from`, indexes unchanged, when this pool holds none;
    // false, and nothing moved, otherwise.
    bool adopt(string_pool_t& from);

    // A null view of length 0 for an invalid index, which writes nothing to
    // `preserve_space` or `escapes_kept`. Rich entries give their plain text.
    std::string_view string_at(int32_t index, uint32_t* preserve_space = nullptr, bool* escapes_kept = nullptr) const;
    // Owned by the pool; null for a plain entry or an invalid index.
    const richtext_t* rich_text_at(int32_t index) const;
    // The readings kept with a text; null when it has none or for an invalid index.
    const phonetic_text_t* phonetic_at(int32_t index) const;
    bool is_rich_text(int32_t index) const;
    size_t size() const;

private:
    const string_pool_entry_t* entry__(int32_t index) const;
    int32_t append__(string_pool_entry_t entry, uint32_t hash);
    // Room for this many entries without passing the load limit.
    void grow__(size_t entries);
    void place__(uint32_t hash, int32_t index);

    mutable std::mutex mutex_;
    std::deque<string_pool_entry_t> entries_;
    // The entries by text, in open addressing probed linearly: a slot holds the
    // low half of the key's hash and, above it, the entry's index + 1 (0 is
    // empty); at most three quarters full. Eight bytes a slot instead of a
    // node: a distinct text costs its entry and a few words. Several rich
    // entries may share one plain text; plain keys (text and escapes kept)
    // are unique.
    std::vector<uint64_t> slots_;
};

} // namespace vex::mta
