#pragma once
// Packages built and read back with the zip wrapper, and stand-in writers for
// the part kinds that have none of their own yet, for the load and save tests.

#include "kestrel/document/xml_document.h"
#include "kestrel/parts/part.h"
#include "ziputil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace package_test {

namespace fs = std::filesystem;
using entries_t = std::vector<std::pair<std::string, std::string>>;

inline constexpr const char* decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
// What the save writes before a relationship or content-types root.
inline constexpr const char* saved_decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>";
inline constexpr const char* od = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
inline constexpr const char* pr = "http://schemas.openxmlformats.org/package/2006/relationships";

// A 4 by 3 pixel red PNG, whole, so that clients can decode it.
inline const std::string red_png(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x04\x00\x00\x00\x03\x08\x02\x00"
    "\x00\x00\x3b\x96\x39\x91\x00\x00\x00\x10\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\x00\x47\x0c\x38\x39\x00\xf5"
    "\x31\x0b\xf5\x35\x7b\xfb\x82\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    73);

// A fresh directory, removed with the object.
struct scratch_dir {
    fs::path path;
    scratch_dir() {
        std::string t = (fs::temp_directory_path() / "plover_doc_XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~scratch_dir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::vector<std::string> files() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(path)) out.push_back(e.path().filename().string());
        return out;
    }
};

inline void write_zip(const std::string& path, const entries_t& entries) {
    vex::zip_archive z;
    z.create_zip_file(path);
    for (const auto& [name, bytes] : entries) {
        z.add_file_to_zip(name);
        z.write_file_stream(name, bytes.data(), static_cast<unsigned>(bytes.size()));
        z.close_file_in_zip();
    }
    z.close();
}

inline entries_t read_zip(const std::string& path) {
    vex::zip_archive z;
    z.open_zip_file(path);
    entries_t out;
    for (const auto& e : z.entries()) out.emplace_back(e.name, z.read_file(e.name, 1u << 30));
    z.close();
    return out;
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::string rel(const std::string& id, const std::string& type, const std::string& target,
                       bool external = false) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"" +
           (external ? " TargetMode=\"External\"" : "") + "/>";
}

inline std::string rels(const std::string& body) {
    return std::string(saved_decl) + "<Relationships xmlns=\"" + pr + "\">" + body + "</Relationships>";
}

inline std::string types(const std::string& body) {
    return std::string(saved_decl) + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">" +
           "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>" + body + "</Types>";
}

inline std::string override_of(const std::string& part, const std::string& type) {
    return "<Override PartName=\"/" + part + "\" ContentType=\"" + type + "\"/>";
}

inline std::string find(const entries_t& entries, const std::string& name) {
    for (const auto& [n, b] : entries)
        if (n == name) return b;
    return "<absent>";
}

inline std::vector<std::string> names(const entries_t& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.first);
    return out;
}

// What a stand-in writes for a part of its kind: an empty root element.
inline std::string_view stand_in_text(vex::part_kind_enum kind) {
    using k = vex::part_kind_enum;
    switch (kind) {
    case k::workbook_part:
        return "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"/>";
    case k::workbook_styles_part:
        return "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"/>";
    case k::shared_string_table_part:
        return "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"/>";
    case k::worksheet_part:  // also stands for its worktable, which has no entry of its own
        return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData/>"
               "</worksheet>";
    case k::vml_drawing_part:
        return "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\"/>";
    default:
        return "<stand-in/>";
    }
}

class stand_in_part_xml : public vex::output_handler {
public:
    explicit stand_in_part_xml(vex::xml_part_t& part) : part_(part) {}
    void write() override {
        vex::xml::xml_stream_writer& w = *part_.get_xml_writer();
        w.write_raw(saved_decl);
        w.write_raw(stand_in_text(part_.kind()));
    }
    static std::unique_ptr<vex::output_handler> make(vex::xml_part_t& part) {
        return std::make_unique<stand_in_part_xml>(part);
    }

protected:
    vex::xml_part_t& part_;
};

// Every r:id a relationship part names resolves to a written entry.
inline void expect_no_dangling_targets(const entries_t& saved) {
    std::set<std::string> seen;
    for (const auto& [name, bytes] : saved) {
        EXPECT_TRUE(seen.insert(name).second) << "twice: " << name;
        if (!name.ends_with(".rels")) continue;
        const std::string folder = name == "_rels/.rels" ? "" : name.substr(0, name.find("_rels/"));
        for (size_t at = bytes.find("Target=\""); at != std::string::npos; at = bytes.find("Target=\"", at + 1)) {
            const std::string target = bytes.substr(at + 8, bytes.find('"', at + 8) - at - 8);
            if (bytes.compare(bytes.find("/>", at) - 21, 21, "TargetMode=\"External\"") == 0) continue;
            std::string path = folder + target;
            for (size_t up; (up = path.find("/../")) != std::string::npos;)
                path.erase(path.rfind('/', up - 1) + 1, up + 4 - path.rfind('/', up - 1) - 1);
            if (path.starts_with("../")) path = path.substr(3);
            EXPECT_NE(find(saved, path), "<absent>") << name << " -> " << target;
        }
    }
}

// The modelled kinds that have no writer of their own yet.
inline const std::vector<vex::part_kind_enum> modelled_kinds = {
    vex::part_kind_enum::workbook_part, vex::part_kind_enum::workbook_styles_part,
    vex::part_kind_enum::shared_string_table_part, vex::part_kind_enum::worksheet_part,
    vex::part_kind_enum::vml_drawing_part};

// Installs stand-in writers on the document for the object's life (those
// above unless told which); what was installed before comes back on destruction.
class stand_in_writers {
public:
    explicit stand_in_writers(vex::xml_document_t& document,
                              const std::vector<vex::part_kind_enum>& kinds = modelled_kinds,
                              vex::writer_factory_t make = &stand_in_part_xml::make)
        : table_(document.stand_in_writers()) {
        for (const vex::part_kind_enum kind : kinds) previous_.emplace_back(kind, table_.set(kind, make));
    }
    ~stand_in_writers() {
        for (auto it = previous_.rbegin(); it != previous_.rend(); ++it) table_.set(it->first, it->second);
    }
    stand_in_writers(const stand_in_writers&) = delete;
    stand_in_writers& operator=(const stand_in_writers&) = delete;

private:
    vex::stand_in_writers_t& table_;
    std::vector<std::pair<vex::part_kind_enum, vex::writer_factory_t>> previous_;
};

} // namespace package_test

// The shared packages beside the checkout. Under CI a missing folder fails the
// test, so that a green run means they were read.
#define REQUIRE_CORPUS()                                                          \
    do {                                                                          \
        if (!std::filesystem::is_directory(PLOVER_CORPUS)) {                                \
            if (std::getenv("CI")) FAIL() << "no corpus at " << PLOVER_CORPUS;    \
            GTEST_SKIP() << "no corpus at " << PLOVER_CORPUS;                     \
        }                                                                         \
    } while (false)

