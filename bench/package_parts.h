#pragma once
// The parts every package written by hand for a benchmark starts with.

#include "ziputil.h"

#include <string>

namespace bench_package {

inline const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

// [Content_Types].xml up to the workbook's override; the sheets' overrides
// and the closing tag follow.
inline std::string content_types_head() {
    return decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                  "<Default Extension=\"rels\" ContentType=\"application/"
                  "vnd.openxmlformats-package.relationships+xml\"/>"
                  "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                  "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
                  "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
}

inline void add_entry(vex::zip_archive& zip, const std::string& name, const std::string& bytes) {
    zip.add_file_to_zip(name);
    zip.write_file_stream(name, bytes.data(), unsigned(bytes.size()));
    zip.close_file_in_zip();
}

} // namespace bench_package
