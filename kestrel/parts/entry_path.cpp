#include "kestrel/parts/entry_path.h"

#include "text_utils.h"

#include <algorithm>
#include <vector>

namespace vex::entry_path {

namespace {

// The segments between slashes; empty ones (from "//" or an end slash) dropped.
std::vector<std::string_view> segments(std::string_view path) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t cut = path.find('/', start);
        if (cut == std::string_view::npos) cut = path.size();
        if (cut > start) out.push_back(path.substr(start, cut - start));
        start = cut + 1;
    }
    return out;
}

bool is_absolute(std::string_view path) noexcept { return !path.empty() && path.front() == '/'; }

// -1 for a character that is no hex digit.
int hex_digit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    c = ascii_to_lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

} // namespace

std::string to_slashes(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::string join(std::string_view base, std::string_view rel) {
    if (is_absolute(rel) || base.empty()) return std::string(rel);
    if (rel.empty()) return std::string(base);
    std::string out(base);
    if (out.back() != '/') out += '/';
    out += rel;
    return out;
}

std::string_view parent(std::string_view path) noexcept {
    const size_t cut = path.rfind('/');
    return cut == std::string_view::npos ? std::string_view() : path.substr(0, cut);
}

std::string_view file_name(std::string_view path) noexcept {
    const size_t cut = path.rfind('/');
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view extension(std::string_view path) noexcept {
    const std::string_view name = file_name(path);
    if (name == "." || name == "..") return {};
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

std::string replace_extension(std::string_view path, std::string_view ext) {
    const std::string_view old = extension(path);
    std::string out(path.substr(0, path.size() - (old.empty() ? 0 : old.size() + 1)));
    // "name." keeps its dot as part of the stem, as file-system paths do.
    out += ext;
    return out;
}

std::string normalize(std::string_view path) {
    const bool absolute = is_absolute(path);
    std::vector<std::string_view> kept;
    for (std::string_view s : segments(path)) {
        if (s == ".") continue;
        if (s == "..") {
            if (!kept.empty() && kept.back() != "..") {
                kept.pop_back();
                continue;
            }
            if (absolute) continue;  // nothing lies above the root
        }
        kept.push_back(s);
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i) out += '/';
        out += kept[i];
    }
    // A path naming a directory keeps its end slash ("a/." and "a/b/.." are "a/").
    const bool names_directory = path.ends_with('/') || path.ends_with("/.") || path.ends_with("/..");
    if (!kept.empty() && names_directory && kept.back() != "..") out += '/';
    if (out.empty()) out.push_back('.');
    return out;
}

std::string relative(std::string_view target, std::string_view base) {
    if (is_absolute(target) != is_absolute(base)) return {};
    const std::string t = normalize(target), b = normalize(base);
    std::vector<std::string_view> ts = segments(t), bs = segments(b);
    // A lone "." stands for no segment at all.
    auto drop_dot = [](std::vector<std::string_view>& v) {
        if (v.size() == 1 && v[0] == ".") v.clear();
    };
    drop_dot(ts);
    drop_dot(bs);
    size_t same = 0;
    while (same < ts.size() && same < bs.size() && ts[same] == bs[same]) ++same;
    long climb = 0;
    for (size_t i = same; i < bs.size(); ++i) climb += bs[i] == ".." ? -1 : 1;
    if (climb < 0) return {};
    if (climb == 0 && same == ts.size()) return ".";
    std::string out;
    for (long i = 0; i < climb; ++i) out += out.empty() ? ".." : "/..";
    for (size_t i = same; i < ts.size(); ++i) {
        if (!out.empty()) out += '/';
        out += ts[i];
    }
    return out;
}

std::string resolve_target(std::string_view source, std::string_view target) {
    const std::string t = to_slashes(target);
    std::string path = is_absolute(t) ? t.substr(1) : join(parent(to_slashes(source)), t);
    path = normalize(path);
    if (path == ".." || path.starts_with("../") || path == "." || is_absolute(path)) return {};
    return path;
}

std::string part_name_key(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        const int high = c == '%' && i + 2 < name.size() ? hex_digit(name[i + 1]) : -1;
        const int low = high < 0 ? -1 : hex_digit(name[i + 2]);
        const char decoded = static_cast<char>(high * 16 + low);
        if (low >= 0 && decoded != '/' && decoded != '\\') {
            c = decoded;
            i += 2;
        }
        out += ascii_to_lower(c);
    }
    return out;
}

} // namespace vex::entry_path
