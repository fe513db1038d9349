#pragma once
// The owner of every open document: a handle lives from its registration until
// its release, with the path it was loaded from or last saved to (empty for a
// created document never saved). The path is held absolute: the host may
// change its working folder between calls, and a relative path would then
// name another file.

#include "interfaces.h"

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vex {

class document_registry_t {
public:
    document_registry_t() = default;
    // Destroys every document still open.
    ~document_registry_t();
    document_registry_t(const document_registry_t&) = delete;
    document_registry_t& operator=(const document_registry_t&) = delete;

    // Takes the document with its path (null: empty). A handle registered
    // already is an internal error: neither object is destroyed.
    iDocument* add_document(std::unique_ptr<iDocument> doc, const char* path) {
        return add__(std::move(doc), path, false);
    }
    // The same, unless a document holds that path or file already: then null,
    // and doc is destroyed. Two loads of one path racing leave one document.
    iDocument* add_document_at_new_path(std::unique_ptr<iDocument> doc, const char* path) {
        return add__(std::move(doc), path, true);
    }
    // Whether doc is open: registered and not yet released.
    bool contains(const iDocument* doc) const;
    // The absolute path; empty for a null or unknown handle.
    std::string find_path(const iDocument* doc) const;
    // The first registered document whose path, made absolute, has exactly
    // these bytes, or whose path names now the same existing file (device
    // and inode, links followed).
    iDocument* find_by_path(std::string_view path) const;
    // Both throw std::logic_error for a handle that is not registered.
    void update_path(const iDocument* doc, std::string_view path);
    // Unlinks under the lock and destroys the document after it.
    void remove_document(const iDocument* doc);
    size_t size() const;

private:
    // Device and inode of an existing file, links followed.
    struct file_identity_t {
        bool known = false;
        unsigned long long device = 0;
        unsigned long long inode = 0;

        static file_identity_t of(const std::string& path);
        bool same(const file_identity_t& other) const noexcept {
            return known && other.known && device == other.device && inode == other.inode;
        }
    };
    struct entry_t {
        std::unique_ptr<iDocument> doc;
        std::string path;  // absolute
    };
    using list_t = std::list<entry_t>;

    iDocument* add__(std::unique_ptr<iDocument> doc, const char* path, bool new_path_only);
    list_t::iterator find__(const iDocument* doc);
    iDocument* find_by_path__(std::string_view path) const;

    mutable std::mutex mutex_;
    list_t entries_;  // in registration order
    std::unordered_map<const iDocument*, list_t::iterator> index_;
};

// Built on first use, destroyed at exit with the documents still open.
document_registry_t& get_document_registry();

} // namespace vex
