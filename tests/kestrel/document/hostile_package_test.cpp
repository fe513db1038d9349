// Hostile packages, one case each: every load ends with a document or with
// null and a message, and what loads saves and loads again (the harness the
// fuzzers use checks both).
#include "fuzz/fuzz_targets.h"

#include "plover.h"
#include "ziputil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct hostile_case_t {
    std::string name;
    std::string target;
    std::function<std::string()> input;
    // Empty: loading is enough; else the load fails with a message holding it.
    std::string refusal;
};

std::string base_entry(std::string_view entry) {
    vex::zip_archive zip;
    zip.open_zip_file(PLOVER_FUZZ_BASE);
    return zip.read_file(entry, zip.file_size(entry));
}

std::string sheet_with(std::string_view body) {
    return R"(<?xml version="1.0" encoding="UTF-8"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)" +
           std::string(body) + "</worksheet>";
}

// The base sheet uses the first nine strings.
std::string strings_with(std::string_view first, std::string_view prolog = "") {
    std::string items(first);
    for (int i = 1; i < 9; ++i) items += "<si><t>s" + std::to_string(i) + "</t></si>";
    return R"(<?xml version="1.0" encoding="UTF-8"?>)" + std::string(prolog) +
           R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)" + items + "</sst>";
}

// Invalid UTF-8 after every attribute opening, or at the start of every text.
std::string spoiled(std::string xml, bool attributes) {
    std::string out;
    for (size_t i = 0; i < xml.size(); ++i) {
        out += xml[i];
        const bool at_value = attributes && xml[i] == '"' && i > 0 && xml[i - 1] == '=' && i > 40;
        const bool at_text = !attributes && xml[i] == '>' && i + 1 < xml.size() && xml[i + 1] != '<';
        if (at_value || at_text) out += "\xff\xc3(";
    }
    return out;
}

std::string read_whole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The base package with the declared uncompressed size of one entry replaced
// in its local header and in the central directory.
std::string with_declared_size(std::string_view entry, uint32_t size) {
    std::string zip = read_whole(PLOVER_FUZZ_BASE);
    auto patch = [&](std::string_view signature, size_t size_at, size_t name_length_at, size_t name_at) {
        for (size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4)) {
            uint16_t length = 0;
            std::memcpy(&length, zip.data() + at + name_length_at, 2);
            if (std::string_view(zip).substr(at + name_at, length) == entry)
                std::memcpy(zip.data() + at + size_at, &size, 4);
        }
    };
    patch(std::string_view("PK\x03\x04", 4), 22, 26, 30);
    patch(std::string_view("PK\x01\x02", 4), 24, 28, 46);
    return zip;
}

std::string base_package() { return read_whole(PLOVER_FUZZ_BASE); }

std::vector<hostile_case_t> cases() {
    std::vector<hostile_case_t> all = {
        // The zip layer.
        {"truncated_archive", "package", [] { const std::string z = base_package(); return z.substr(0, z.size() / 2); }, "."},
        {"bad_checksum", "package", [] {
             std::string z = base_package();
             z[z.find("xl/styles.xml") + 40] ^= 0x55;  // inside the entry's deflated bytes
             return z;
         }, "."},
        {"no_central_directory", "package", [] { const std::string z = base_package(); return z.substr(0, z.rfind("PK\x01\x02")); }, "."},
        {"entry_past_the_cap", "package", [] { return with_declared_size("xl/sharedStrings.xml", 0xFFFFFFF0u); },
         "The entry xl/sharedStrings.xml is too large."},
        // Parts read as bytes, one only written back and one whose bytes are read.
        {"theme_past_the_cap", "package", [] { return with_declared_size("xl/theme/theme1.xml", 0xFFFFFFF0u); },
         "The entry xl/theme/theme1.xml is too large."},
        {"picture_past_the_cap", "package", [] { return with_declared_size("xl/media/image1.png", 0xFFFFFFF0u); },
         "The entry xl/media/image1.png is too large."},
        {"relationship_out_of_the_package", "relationships", [] {
             std::string rels = base_entry("xl/_rels/workbook.xml.rels");
             const size_t at = rels.find("Target=\"styles.xml\"");
             return rels.replace(at, 19, "Target=\"../../../../../../etc/passwd\"");
         }, ""},
        {"one_entry_as_strings_and_styles", "relationships", [] {
             std::string rels = base_entry("xl/_rels/workbook.xml.rels");
             const size_t at = rels.find("Target=\"sharedStrings.xml\"");
             return rels.replace(at, std::string_view("Target=\"sharedStrings.xml\"").size(), "Target=\"styles.xml\"");
         }, "The entry xl/styles.xml is named by relationships of two types."},
        // Expansion and size.
        {"billion_laughs", "shared_strings", [] {
             std::string prolog = "<!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\">";
             for (char c = 'b'; c <= 'j'; ++c) {
                 prolog += std::string("<!ENTITY ") + c + " \"";
                 for (int i = 0; i < 10; ++i) prolog += std::string("&") + char(c - 1) + ";";
                 prolog += "\">";
             }
             return strings_with("<si><t>&j;</t></si>", prolog + "]>");
         }, ""},
        {"string_of_40000_characters", "shared_strings", [] {
             return strings_with("<si><t>" + std::string(40000, 'x') + "</t></si>");
         }, ""},
        {"million_nested_elements", "sheet", [] {
             std::string deep;
             for (int i = 0; i < 1000000; ++i) deep += "<a>";
             return sheet_with("<sheetData>" + deep);
         }, "."},
        {"whole_sheet_dimension", "sheet", [] {
             return sheet_with(R"(<dimension ref="A1:XFD1048576"/><sheetData><row r="1"><c r="A1"><v>1</v></c></row></sheetData>)");
         }, ""},
        // Out-of-range references and ids.
        {"cell_in_row_0", "sheet", [] { return sheet_with(R"(<sheetData><row r="1"><c r="A0"><v>1</v></c></row></sheetData>)"); }, "."},
        {"cell_past_the_last_row", "sheet", [] {
             return sheet_with(R"(<sheetData><row r="1048577"><c r="XFD1048577"><v>1</v></c></row></sheetData>)");
         }, "."},
        {"merge_over_almost_the_whole_sheet", "sheet", [] {
             return sheet_with(R"(<sheetData/><mergeCells count="1"><mergeCell ref="A1:XFC1048575"/></mergeCells>)");
         }, ""},
        {"style_and_string_ids_out_of_range", "sheet", [] {
             return sheet_with(R"(<sheetData><row r="1"><c r="A1" s="99999"><v>1</v></c><c r="B1" s="-1" t="s"><v>0</v></c></row></sheetData>)");
         }, ""},
        {"string_index_beyond_the_table", "sheet", [] {
             return sheet_with(R"(<sheetData><row r="1"><c r="A1" t="s"><v>4000000000</v></c></row></sheetData>)");
         }, "."},
        {"columns_out_of_range", "sheet", [] {
             return sheet_with(R"(<cols><col min="0" max="99999" width="-5"/><col min="16384" max="1" width="1e400"/></cols><sheetData/>)");
         }, ""},
        {"values_not_finite", "sheet", [] {
             return sheet_with(R"(<sheetData><row r="1"><c r="A1"><v>1e999</v></c><c r="B1"><v>-INF</v></c></row></sheetData>)");
         }, ""},
        {"values_nan", "sheet", [] { return sheet_with(R"(<sheetData><row r="1"><c r="A1"><v>nan</v></c></row></sheetData>)"); }, "."},
        {"pane_and_sizes_overflowing", "sheet", [] {
             return sheet_with(R"(<sheetViews><sheetView workbookViewId="4294967296" zoomScale="99999999999"><pane xSplit="1e308" ySplit="-1" topLeftCell="ZZZZ9"/><selection sqref="A1:XFE2"/></sheetView></sheetViews><sheetFormatPr defaultRowHeight="1e400"/><sheetData><row r="2" ht="-1" customHeight="1"/></sheetData>)");
         }, ""},
        {"workbook_sheet_without_id", "workbook", [] {
             return std::string(R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="A" sheetId="1"/><sheet sheetId="99999999999" r:id="rId1"/></sheets><definedNames><definedName name="x" localSheetId="77">A1</definedName></definedNames></workbook>)");
         }, "."},
        {"styles_ids_out_of_range", "styles", [] {
             return std::string(R"(<?xml version="1.0"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><numFmts count="1"><numFmt numFmtId="999999" formatCode="0.0"/></numFmts><fonts count="0"/><cellXfs count="1"><xf numFmtId="70000" fontId="55" fillId="-3" borderId="4000000000" xfId="9"/></cellXfs><colors><indexedColors><rgbColor rgb="FFFFFFFFFFFFFFFFFFFFFFFF"/></indexedColors></colors></styleSheet>)");
         }, ""},
        {"table_outside_the_sheet", "table", [] {
             return std::string(R"(<?xml version="1.0"?><table xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" id="1" name="T" displayName="T" ref="A0:XFE1048577"><tableColumns count="99"><tableColumn id="1" name="a"/></tableColumns></table>)");
         }, ""},
        {"drawing_anchor_past_the_sheet", "drawing", [] {
             std::string d = base_entry("xl/drawings/drawing1.xml");
             const size_t at = d.find("<xdr:row>");
             return d.replace(at + 9, d.find("</xdr:row>", at) - at - 9, "2147483647");
         }, ""},
        {"vml_prefix_declared_on_a_sibling", "vml", [] {
             return std::string(R"(<xml xmlns:v="urn:schemas-microsoft-com:vml" xmlns:o="urn:schemas-microsoft-com:office:office"><v:shapetype xmlns:p="urn:schemas-microsoft-com:office:excel" id="_x0000_t201"/><v:shape id="_x0000_s1025" type="#_x0000_t201"><p:ClientData ObjectType="Button"/></v:shape></xml>)");
         }, "The VML drawing uses the prefix p outside its declaration."},
        {"comment_author_out_of_range", "comments", [] {
             std::string c = base_entry("xl/comments1.xml");
             const size_t at = c.find("authorId=\"");
             return c.replace(at + 10, 1, "77777777777");
         }, ""},
    };
    const std::vector<std::pair<std::string, std::string>> parts = {
        {"content_types", "[Content_Types].xml"}, {"relationships", "xl/_rels/workbook.xml.rels"},
        {"workbook", "xl/workbook.xml"},           {"sheet", "xl/worksheets/sheet1.xml"},
        {"styles", "xl/styles.xml"},               {"shared_strings", "xl/sharedStrings.xml"},
        {"table", "xl/tables/table1.xml"},         {"drawing", "xl/drawings/drawing1.xml"},
        {"comments", "xl/comments1.xml"},          {"vml", "xl/drawings/vmlDrawing1.vml"},
    };
    for (const auto& [target, entry] : parts) {
        for (const bool attributes : {true, false}) {
            const std::string e = entry;
            all.push_back({"invalid_utf8_in_" + std::string(attributes ? "attributes" : "texts") + "_of_" + target, target,
                           [e, attributes] { return spoiled(base_entry(e), attributes); }, ""});
        }
    }
    return all;
}

class hostile_package : public testing::TestWithParam<hostile_case_t> {};

TEST_P(hostile_package, loads_or_fails_with_a_message) {
    const hostile_case_t& c = GetParam();
    const std::string input = c.input();
    const plover_fuzz::target_t* target = plover_fuzz::find_target(c.target);
    ASSERT_NE(target, nullptr);
    plover_fuzz::outcome_t o;
    ASSERT_NO_THROW(o = plover_fuzz::run(*target, reinterpret_cast<const uint8_t*>(input.data()), input.size()));
    if (!o.loaded || !o.saved) {
        EXPECT_FALSE(o.message.empty());
    }
    if (c.refusal == ".") {
        EXPECT_FALSE(o.loaded);
    } else if (!c.refusal.empty()) {
        EXPECT_FALSE(o.loaded);
        EXPECT_NE(o.message.find(c.refusal), std::string::npos) << o.message;
    }
}

INSTANTIATE_TEST_SUITE_P(cases, hostile_package, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<hostile_case_t>& info) { return info.param.name; });

// The message of a load in a child process whose address space has room for
// `headroom` bytes more; empty when the child died.
std::string message_under_memory_limit(const std::string& package, rlim_t headroom) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        std::string message = "no limit";
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("VmSize:")) {
                const rlimit limit{std::stoull(line.substr(7)) * 1024 + headroom, RLIM_INFINITY};
                if (::setrlimit(RLIMIT_AS, &limit) == 0) message.clear();
            }
        if (message.empty()) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(package.data());
            const plover_fuzz::outcome_t o = plover_fuzz::run(*plover_fuzz::find_target("package"), bytes, package.size());
            message = o.loaded ? "loaded" : o.message;
        }
        if (::write(fds[1], message.data(), message.size()) < 0) _exit(1);
        _exit(0);
    }
    ::close(fds[1]);
    std::string message;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) message.append(buffer, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return message;
}

// An entry of a few KB declaring 2 GiB (within the cap) ends early: the load
// says so, and never makes room for the declared size, which a process with
// 1 GiB to spare could not. Each way of reading a part: held as the archive
// holds it, inflated into bytes, and parsed with a copy of its bytes kept.
TEST(hostile_package, short_entry_declaring_gigabytes_fails_without_room_for_them) {
    for (const char* entry : {"xl/theme/theme1.xml", "xl/media/image1.png", "xl/tables/table1.xml"}) {
        const std::string message = message_under_memory_limit(with_declared_size(entry, 0x80000000u), rlim_t(1) << 30);
        EXPECT_EQ(message, std::string("archive error: file in zip ends before its declared size: ") + entry);
    }
}

} // namespace
