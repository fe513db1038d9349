#include "kestrel/interface/document_registry.h"

#include "kestrel/interface/entry.h"
#include "mta/table/table/table_registry.h"
#include "run_message.h"

#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <system_error>

namespace vex {

namespace {

constexpr const char* unknown_document = "Internal logic error: Unable to find the idocument to update.";

// Against the working folder of now; the text as given when there is none.
std::string absolute_path(std::string_view path) {
    if (path.empty()) return {};
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ec ? std::string(path) : full.string();
}

} // namespace

document_registry_t::file_identity_t document_registry_t::file_identity_t::of(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return {};
    return {true, static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

document_registry_t::~document_registry_t() {
    // Newest first, as a host releasing in turn would.
    while (!entries_.empty()) entries_.pop_back();
}

iDocument* document_registry_t::add__(std::unique_ptr<iDocument> doc, const char* path, bool new_path_only) {
    if (!doc) throw std::logic_error("Internal logic error: no document to register.");
    iDocument* raw = doc.get();
    // Built before the lock; whatever is left in it is destroyed after the lock.
    list_t node;
    const std::string full = absolute_path(path ? std::string_view(path) : std::string_view());
    node.push_back({std::move(doc), full});
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
    // Only what the held path names now is held: once another program
    // removes or moves the file, its inode may come back as a new file that
    // no document holds, and a file put in its place is the one a save
    // would replace.
    const std::string full = absolute_path(path);
    const file_identity_t wanted = file_identity_t::of(full);
    for (const entry_t& e : entries_) {
        if (!e.path.empty() && e.path == full) return e.doc.get();
        if (wanted.same(file_identity_t::of(e.path))) return e.doc.get();
    }
    return nullptr;
}

document_registry_t::list_t::iterator document_registry_t::find__(const iDocument* doc) {
    const auto it = index_.find(doc);
    if (it == index_.end()) throw std::logic_error(unknown_document);
    return it->second;
}

void document_registry_t::update_path(const iDocument* doc, std::string_view path) {
    const std::string full = absolute_path(path);
    std::lock_guard lock(mutex_);
    find__(doc)->path = full;
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
