#pragma once
// The document handle the host holds: it owns the package and the workbook
// handle, saves under the document's lock and releases itself through the
// registry.
// create_document and load_document make and register one.

#include "interfaces.h"

#include <memory>

namespace vex {

class iWorkbook_impl;
class xml_document_t;

class iDocument_impl final : public iDocument {
public:
    // Takes the package and makes its workbook handle.
    explicit iDocument_impl(std::unique_ptr<xml_document_t> document);
    // The workbook handle, then the package.
    ~iDocument_impl() override;
    iDocument_impl(const iDocument_impl&) = delete;
    iDocument_impl& operator=(const iDocument_impl&) = delete;

    iWorkbook* get_workbook() override;
    // A null path saves where the document was loaded from or last saved to.
    bool save(const char* path) override;
    // The handle is gone afterwards.
    void release() override;

    xml_document_t& document() const noexcept { return *document_; }
    iWorkbook_impl& workbook() const noexcept { return *workbook_; }

private:
    std::unique_ptr<xml_document_t> document_;
    std::unique_ptr<iWorkbook_impl> workbook_;
};

// A new empty document, registered without a path; null with the reason in
// the last message.
iDocument* create_document() noexcept;
// The package at path (UTF-8), registered with that path; null with the reason
// in the last message. A path an open document holds is refused.
iDocument* load_document(const char* path) noexcept;

} // namespace vex
