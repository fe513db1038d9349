#include "kestrel/interface/document_impl.h"

#include "errors.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/interface/document_registry.h"
#include "kestrel/interface/entry.h"
#include "kestrel/interface/workbook_impl.h"
#include "run_message.h"
#include "unicode.h"

#include <filesystem>
#include <string>
#include <system_error>

namespace vex {

namespace {

namespace fs = std::filesystem;

constexpr const char* no_file_name = "The file name can not be empty.";

void report_unknown_load_failure(const char* path) noexcept {
    try {
        set_run_message(std::string("Unknown error occurred while reading ") + path + ".");
    } catch (...) {
        detail::report(detail::unknown_error_message);
    }
}

// Only a regular file (after links) may be loaded; a missing path, a missing
// directory, a directory or anything else may not.
bool is_loadable_file(const std::string& text) {
    const fs::path path(text);  // the bytes unchanged
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return false;
    if (ec) throw fs::filesystem_error("status", path, ec);
    return status.type() == fs::file_type::regular;
}

} // namespace

iDocument_impl::iDocument_impl(std::unique_ptr<xml_document_t> document)
    : document_(std::move(document)),
      workbook_(std::make_unique<iWorkbook_impl>(this, document_ ? document_->workbook() : nullptr)) {}

iDocument_impl::~iDocument_impl() { workbook_.reset(); }

iWorkbook* iDocument_impl::get_workbook() { return workbook_.get(); }

bool iDocument_impl::save(const char* path) {
    try {
        // Every sheet is written: no edit of any of them may run meanwhile.
        std::lock_guard lock(workbook_->document_lock());
        if (!workbook_->first_sheet()) return refuse("At least one worksheet needs to be added.");
        document_registry_t& registry = get_document_registry();
        std::string target;
        if (path) {
            target = checked_host_text(path);
        } else {
            target = registry.find_path(this);
            if (target.empty()) return refuse("Saved file name can not be empty.");
        }
        document_->save(target.c_str(), file_format_package);
        registry.update_path(this, target);
        return true;
    } catch (...) {
        detail::report_exception();
    }
    return false;
}

void iDocument_impl::release() {
    try {
        get_document_registry().remove_document(this);  // destroys this object
    } catch (...) {
        detail::report_exception();
    }
}

iDocument* create_document() noexcept {
    try {
        auto document = std::make_unique<xml_document_t>();
        document->set_format_code(file_format_loading);
        document->create_package();
        return get_document_registry().add_document(std::make_unique<iDocument_impl>(std::move(document)), nullptr);
    } catch (...) {
        detail::report_exception();
    }
    return nullptr;
}

iDocument* load_document(const char* path) noexcept {
    try {
        if (!path || !*path) {
            set_run_message(no_file_name);
            return nullptr;
        }
        document_registry_t& registry = get_document_registry();
        const auto refuse_open_path = [path] { set_run_message(std::string("File ") + path + " has been loaded."); };
        if (registry.find_by_path(path)) {
            refuse_open_path();
            return nullptr;
        }
        auto document = std::make_unique<xml_document_t>();
        document->set_format_code(file_format_loading);
        const std::string text = checked_host_text(path);
        // Refused as any other file that is no package: the name was given.
        if (!is_loadable_file(text)) throw archive_error("Unrecognized file type: " + text);
        document->load(text.c_str(), false);
        iDocument* doc = registry.add_document_at_new_path(std::make_unique<iDocument_impl>(std::move(document)),
                                                           text.c_str());
        if (!doc) refuse_open_path();  // another thread loaded it meanwhile
        return doc;
    } catch (const std::exception& e) {
        detail::report(e.what());
    } catch (...) {
        report_unknown_load_failure(path);
    }
    return nullptr;
}

} // namespace vex
