#include "xml/sxml_arena.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace vex::xml::sxml {

char* sxml_arena::grow(size_t n) {
    chunk* spare = current_ ? current_->next : nullptr;
    if (spare && spare->capacity >= n) {
        enter(spare, spare->storage());
        return pos_;
    }
    // Chunks kept from an earlier rollback that are too small for this request.
    if (current_) current_->next = nullptr;
    release(spare);

    // A multiple of 8 keeps the end of the storage aligned, so aligning a
    // position never passes it.
    const size_t capacity = (std::max(n, min_chunk) + 7) & ~size_t(7);
    auto* c = static_cast<chunk*>(std::malloc(sizeof(chunk) + capacity));
    if (!c) throw std::bad_alloc();
    c->prev = current_;
    c->next = nullptr;
    c->capacity = capacity;
    if (current_)
        current_->next = c;
    else
        first_ = c;
    enter(c, c->storage());
    return pos_;
}

void sxml_arena::enter(chunk* c, char* pos) noexcept {
    current_ = c;
    pos_ = pos;
    limit_ = c->storage() + c->capacity;
}

// Chunks after the one rolled back into stay linked as spares, so a parser that
// goes back and forth across a chunk boundary does not allocate each time.
void sxml_arena::rollback(mark_t m) noexcept {
    if (m.block)
        enter(m.block, m.pos);
    else if (first_)
        enter(first_, first_->storage());
}

void sxml_arena::rollback(const void* p) noexcept {
    const char* at = static_cast<const char*>(p);
    for (chunk* c = current_; c; c = c->prev) {
        if (at >= c->storage() && at < c->storage() + c->capacity) {
            enter(c, const_cast<char*>(at));
            return;
        }
    }
}

void sxml_arena::clear() noexcept {
    release(detach());
}

sxml_arena::chunk* sxml_arena::detach() noexcept {
    // Spares kept from a rollback hold nothing the chain's owner could use.
    if (current_) {
        release(current_->next);
        current_->next = nullptr;
    }
    chunk* chain = first_;
    first_ = current_ = nullptr;
    pos_ = limit_ = nullptr;
    return chain;
}

void sxml_arena::release(chunk* chain) noexcept {
    while (chain) {
        chunk* next = chain->next;
        std::free(chain);
        chain = next;
    }
}

} // namespace vex::xml::sxml
