#include "kestrel/interface/document_registry.h"

#include "kestrel/interface/entry.h"
#include "mta/table/table/table_registry.h"
#include "run_message.h"

#include <stdexcept>
#include <sys/stat.h>

namespace vex {

namespace {

constexpr const char* unknown_document = "Internal logic error: Unable to find the idocument to update.";

} // namespace

document_registry_t::~document_registry_t() {
    // Newest first, as a host releasing in turn would.
    while (!entries_.empty()) entries_.pop_back();
}

iDocument* document_registry_t::add__(std::unique_ptr<iDocument> doc, const char* path, bool new_path_only) {
    if (!doc) throw std::logic_error("Internal logic error: no document to register.");
    iDocument* raw = doc.get();
    // Built before the lock; whatever is left in it is destroyed after the lock.
    list_t node;
    node.push_back({std::move(doc), path ? std::string(path) : std::string()});
    std::lock_guard lock(mutex_);
    if (new_path_only && find_by_path__(node.front().path)) return nullptr;
    const auto [slot, fresh] = index_.try_emplace(raw, node.begin());
    if (!fresh) {
        // Owned by its entry already: this second owner must not free it.
        (void)node.front().doc.release();
        throw std::logic_error("Internal logic error: the idocument is registered already.");
    }
    entries_.splice(entries_.end(), node);
    return raw;
}

bool document_registry_t::contains(const iDocument* doc) const {
    std::lock_guard lock(mutex_);
    return index_.contains(doc);
}

std::string document_registry_t::find_path(const iDocument* doc) const {
    std::lock_guard lock(mutex_);
    const auto it = index_.find(doc);
    return it == index_.end() ? std::string() : it->second->path;
}

iDocument* document_registry_t::find_by_path(std::string_view path) const {
    std::lock_guard lock(mutex_);
    return find_by_path__(path);
}

iDocument* document_registry_t::find_by_path__(std::string_view path) const {
    // Spellings differ ("a.xlsx", "/abs/dir/a.xlsx", "dir/../dir/a.xlsx", a
    // link): the file is the one the device and inode name, links followed.
    struct stat wanted {};
    const bool exists = ::stat(std::string(path).c_str(), &wanted) == 0;
    for (const entry_t& e : entries_) {
        if (e.path == path) return e.doc.get();
        struct stat held {};
        if (exists && !e.path.empty() && ::stat(e.path.c_str(), &held) == 0 && held.st_dev == wanted.st_dev &&
            held.st_ino == wanted.st_ino)
            return e.doc.get();
    }
    return nullptr;
}

document_registry_t::list_t::iterator document_registry_t::find__(const iDocument* doc) {
    const auto it = index_.find(doc);
    if (it == index_.end()) throw std::logic_error(unknown_document);
    return it->second;
}

void document_registry_t::update_path(const iDocument* doc, std::string_view path) {
    std::lock_guard lock(mutex_);
    find__(doc)->path.assign(path);
}

void document_registry_t::remove_document(const iDocument* doc) {
    std::unique_ptr<iDocument> gone;
    {
        std::lock_guard lock(mutex_);
        const auto it = find__(doc);
        gone = std::move(it->doc);
        index_.erase(doc);
        entries_.erase(it);
    }
}

size_t document_registry_t::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

namespace detail {

bool admit(const iDocument* doc, std::initializer_list<const char*> texts) noexcept {
    if (doc) {
        try {
            if (!get_document_registry().contains(doc)) {
                report(closed_document_message);
                return false;
            }
        } catch (...) {
            report_exception();
            return false;
        }
    }
    return admit<iDocument>(doc, texts);
}

} // namespace detail

document_registry_t& get_document_registry() {
    // What a document touches while it is destroyed must outlive this object:
    // those made first are destroyed last (both of these are never destroyed).
    (void)get_run_message();
    (void)mta::get_table_registry();
    static document_registry_t registry;
    return registry;
}

} // namespace vex
