#pragma once
// What a saved package says about one cell's format: the "xf" element its
// cell names, the attributes of that element and the named style it derives from.
#include "tests/kestrel/document/package_support.h"

#include <string>

namespace saved_styles {

// The index of the cell format that cell `ref` of the first sheet names.
inline int cell_xf_index(const package_test::entries_t& saved, const std::string& ref) {
    const std::string sheet = package_test::find(saved, "xl/worksheets/sheet1.xml");
    const size_t cell = sheet.find("<c r=\"" + ref + "\"");
    const size_t end = sheet.find('>', cell);
    const size_t s = sheet.find(" s=\"", cell);
    return cell == std::string::npos || s > end ? 0 : std::stoi(sheet.substr(s + 4));
}

// The "xf" element of cell format `index`.
inline std::string xf_at(const package_test::entries_t& saved, int index) {
    const std::string styles = package_test::find(saved, "xl/styles.xml");
    size_t at = styles.find("<cellXfs");
    for (int i = 0; i <= index && at != std::string::npos; ++i) at = styles.find("<xf ", at + 1);
    return at == std::string::npos ? "<none>" : styles.substr(at, styles.find("/>", at) + 2 - at);
}

// The "xf" element of the cell format that cell `ref` names.
inline std::string saved_xf(const package_test::entries_t& saved, const std::string& ref) {
    return xf_at(saved, cell_xf_index(saved, ref));
}

// An attribute of an element's text; "<absent>" when it has none.
inline std::string attribute(const std::string& element, const std::string& name) {
    const size_t at = element.find(" " + name + "=\"");
    if (at == std::string::npos) return "<absent>";
    const size_t from = at + name.size() + 3;
    return element.substr(from, element.find('"', from) - from);
}

// The "xf" element that the first sheet's element beginning `start` (a row
// or column record) names by attribute `name`; "<none>" without one.
inline std::string record_xf(const package_test::entries_t& saved, const std::string& start, const std::string& name) {
    const std::string sheet = package_test::find(saved, "xl/worksheets/sheet1.xml");
    const size_t at = sheet.find(start);
    if (at == std::string::npos) return "<none>";
    const std::string index = attribute(sheet.substr(at, sheet.find('>', at) - at), name);
    return index == "<absent>" ? "<none>" : xf_at(saved, std::stoi(index));
}

// The name of the named style that cell `ref` derives from.
inline std::string parent_name(const package_test::entries_t& saved, const std::string& ref) {
    const std::string xf_id = attribute(saved_xf(saved, ref), "xfId");
    const std::string styles = package_test::find(saved, "xl/styles.xml");
    for (size_t at = styles.find("<cellStyle "); at != std::string::npos; at = styles.find("<cellStyle ", at + 1)) {
        const std::string element = styles.substr(at, styles.find('>', at) - at);
        if (attribute(element, "xfId") == xf_id) return attribute(element, "name");
    }
    return "<none>";
}

} // namespace saved_styles
