#pragma once
// Packages built and read back with the zip wrapper, for the load and save
// tests.

#include "ziputil.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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

} // namespace package_test
