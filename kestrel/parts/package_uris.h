#pragma once
// Namespaces and relationship types the package layer itself names.

#include <string_view>

namespace vex::uri {

inline constexpr std::string_view package_relationships =
    "http://schemas.openxmlformats.org/package/2006/relationships";
inline constexpr std::string_view content_types = "http://schemas.openxmlformats.org/package/2006/content-types";
inline constexpr std::string_view spreadsheetml_main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr std::string_view office_document_relationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view office_document_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
inline constexpr std::string_view worktable_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worktable";
inline constexpr std::string_view table_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/table";
inline constexpr std::string_view drawing_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing";
inline constexpr std::string_view image_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
inline constexpr std::string_view hyperlink_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";

} // namespace vex::uri
