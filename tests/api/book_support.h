#pragma once
#include "plover.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace api_test {

// A new document and its workbook, released at scope end.
struct book_t {
    plover_document_t* doc = doc_create();
    plover_workbook_t* wb = doc_get_workbook(doc);
    book_t() = default;
    book_t(const book_t&) = delete;
    book_t& operator=(const book_t&) = delete;
    ~book_t() { doc_release(doc); }
};

// A fresh directory, removed with the object.
struct scratch_dir {
    std::filesystem::path path;
    scratch_dir() {
        std::string t = (std::filesystem::temp_directory_path() / "plover_api_XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    ~scratch_dir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

} // namespace api_test
