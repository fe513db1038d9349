#pragma once
// The prefix each namespace a package uses is known by: readers compare names
// spelt this way, whatever prefix a part binds.

#include "kestrel/parts/package_uris.h"
#include "xml/sxml_parser.h"

namespace vex::uri {

inline constexpr xml::sxml::sxml_parser::usual_prefix_t usual_prefixes[] = {
    {spreadsheetml_main, ""},
    {"http://purl.oclc.org/ooxml/spreadsheetml/main", ""},
    {package_relationships, ""},
    {content_types, ""},
    {"http://schemas.openxmlformats.org/officeDocument/2006/relationships", "r"},
    {"http://purl.oclc.org/ooxml/officeDocument/relationships", "r"},
    {"http://schemas.openxmlformats.org/markup-compatibility/2006", "mc"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main", "x14"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac", "x14ac"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2010/11/main", "x15"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2010/11/ac", "x15ac"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2014/revision", "xr"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2015/revision2", "xr2"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2016/revision3", "xr3"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2016/revision6", "xr6"},
    {"http://schemas.microsoft.com/office/spreadsheetml/2016/revision10", "xr10"},
    {"http://schemas.microsoft.com/office/excel/2006/main", "xm"},
    {"http://schemas.openxmlformats.org/drawingml/2006/main", "a"},
    {"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing", "xdr"},
    {"http://schemas.openxmlformats.org/drawingml/2006/chart", "c"},
    {"urn:schemas-microsoft-com:vml", "v"},
    {"urn:schemas-microsoft-com:office:office", "o"},
    {"urn:schemas-microsoft-com:office:excel", "x"},
    {"http://schemas.openxmlformats.org/package/2006/metadata/core-properties", "cp"},
    {"http://purl.org/dc/elements/1.1/", "dc"},
    {"http://purl.org/dc/terms/", "dcterms"},
    {"http://purl.org/dc/dcmitype/", "dcmitype"},
    {"http://www.w3.org/2001/XMLSchema-instance", "xsi"},
};

} // namespace vex::uri
