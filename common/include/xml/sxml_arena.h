#pragma once
// The pull parser's memory: a chain of chunks handed out bump-fashion and given
// back stack-fashion. Nodes are never freed one by one; rolling back to a node
// frees it and all that was made after it, which is how a long part is parsed in
// memory bounded by the depth of its open elements.

#include <cstddef>
#include <cstring>

namespace vex::xml::sxml {

class sxml_arena {
public:
    struct chunk {
        chunk* prev;
        chunk* next;
        size_t capacity;  // bytes of storage after this header
        char* storage() noexcept { return reinterpret_cast<char*>(this + 1); }
    };
    struct mark_t {
        chunk* block;
        char* pos;
    };

    static constexpr size_t min_chunk = 16384;

    sxml_arena() = default;
    ~sxml_arena() { clear(); }
    sxml_arena(const sxml_arena&) = delete;
    sxml_arena& operator=(const sxml_arena&) = delete;

    // n bytes aligned to 8.
    void* allocate(size_t n) {
        char* p = align(pos_);
        if (!current_ || size_t(limit_ - p) < n) p = grow(n);
        pos_ = p + n;
        return p;
    }
    // A NUL-terminated copy of n bytes.
    char* copy(const char* s, size_t n) {
        char* p = begin_string(n);
        std::memcpy(p, s, n);
        p[n] = '\0';
        pos_ = p + n + 1;
        return p;
    }
    // Room for a string of at most n bytes and its NUL; end_string() gives back
    // what the string did not use.
    char* begin_string(size_t n) {
        if (!current_ || size_t(limit_ - pos_) <= n) pos_ = grow(n + 1);
        return pos_;
    }
    void end_string(char* end) noexcept { pos_ = end; }

    mark_t mark() const noexcept { return {current_, pos_}; }
    void rollback(mark_t m) noexcept;
    // Frees the object at p and everything made after it; nothing when p is not
    // in the arena.
    void rollback(const void* p) noexcept;
    void clear() noexcept;

    // Hands the whole chain over (null when empty) and leaves the arena empty.
    chunk* detach() noexcept;
    static void release(chunk* chain) noexcept;

private:
    static char* align(char* p) noexcept {
        return reinterpret_cast<char*>((reinterpret_cast<size_t>(p) + 7) & ~size_t(7));
    }
    char* grow(size_t n);
    void enter(chunk* c, char* pos) noexcept;

    chunk* first_ = nullptr;
    chunk* current_ = nullptr;
    char* pos_ = nullptr;
    char* limit_ = nullptr;
};

} // namespace vex::xml::sxml
