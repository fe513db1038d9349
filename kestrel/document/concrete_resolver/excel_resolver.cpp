#include "kestrel/document/concrete_resolver/excel_resolver.h"

#include "errors.h"
#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/entry_path.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"
#include "kestrel/parts/simple_part.h"
#include "kestrel/parts/relationships.h"
#include "kestrel/parts/usual_prefixes.h"
#include "kestrel/parts/workbook_part.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <system_error>
#include <sys/stat.h>
#include <unordered_set>
#include <unistd.h>

namespace vex {

namespace {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

constexpr std::string_view calc_chain_relationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain";

std::string shared_sheet_text(const std::string& entry) {
    return "The worksheet part " + entry + " is used by more than one sheet.";
}

// The workbook's sheet records are found by relationship Id through an index
// while its parts are read.
struct sheet_index_guard {
    workbook_t* book;
    std::vector<const sheet_entry_t*> repeated;
    explicit sheet_index_guard(workbook_t* b) : book(b) {
        if (book) repeated = book->index_relationship_ids();
    }
    ~sheet_index_guard() {
        if (book) book->drop_relationship_index();
    }
    sheet_index_guard(const sheet_index_guard&) = delete;
    sheet_index_guard& operator=(const sheet_index_guard&) = delete;
};

bool is_xml_space(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A byte-order mark becomes blanks: the parser reads UTF-8 and nothing else.
void blank_byte_order_mark(char* data, size_t n) noexcept {
    if (n >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
        std::memset(data, ' ', 3);
    } else if (n >= 2 && ((data[0] == '\xFE' && data[1] == '\xFF') || (data[0] == '\xFF' && data[1] == '\xFE'))) {
        std::memset(data, ' ', 2);
    }
}

// 1 for UTF-16 little-endian, 2 for big-endian, 0 for neither: a byte-order
// mark or a '<' beside a NUL.
int utf16_byte_order(const char* d, size_t n) noexcept {
    if (n < 2) return 0;
    if ((d[0] == '\xFF' && d[1] == '\xFE') || (d[0] == '<' && d[1] == '\0')) return 1;
    if ((d[0] == '\xFE' && d[1] == '\xFF') || (d[0] == '\0' && d[1] == '<')) return 2;
    return 0;
}

// A UTF-16 part as the UTF-8 the parser reads, without its mark and its
// declaration, which names the old encoding.
std::string utf16_part_text(const std::string& bytes, int order, const std::string& entry) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        const auto lo = uint8_t(bytes[2 * i + (order == 1 ? 0 : 1)]), hi = uint8_t(bytes[2 * i + (order == 1 ? 1 : 0)]);
        units[i] = char16_t(lo | hi << 8);
    }
    std::string text;
    if (bytes.size() % 2 || !wide_to_utf8(text, units.data(), units.size()))
        throw loading_error("invalid UTF-16 in " + entry);
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    if (text.starts_with("<?xml")) {
        const size_t end = text.find("?>");
        if (end != std::string::npos) text.erase(0, end + 2);
    }
    return text;
}

bool ends_with_xml(std::string_view content_type) noexcept { return content_type.ends_with("+xml"); }

std::string part_content_type(const xml_part_t& part) {
    if (!part.content_type().empty()) return std::string(part.content_type());
    return part.get_content_type() ? part.get_content_type() : "";
}

// The directory a new file of path goes in.
std::filesystem::path directory_of(const std::string& path) {
    std::filesystem::path dir = std::filesystem::path(path).parent_path();
    return dir.empty() ? std::filesystem::path(".") : dir;
}

// The file a save replaces: path, or where the symbolic links it starts end
// (the links stay). What is there already must be a regular file: the save
// renames a new file over it, which would put a file in the place of a FIFO,
// a device or a folder instead of writing to it.
std::string file_to_replace(const std::string& path) {
    namespace fs = std::filesystem;
    constexpr int max_links = 40;  // as the kernel follows them
    fs::path at(path);
    for (int links = 0;; ++links) {
        std::error_code ec;
        const fs::file_type type = fs::symlink_status(at, ec).type();
        if (type == fs::file_type::symlink) {
            if (links == max_links)
                throw fs::filesystem_error("save", path,
                                           std::make_error_code(std::errc::too_many_symbolic_link_levels));
            const fs::path to = fs::read_symlink(at);
            at = to.is_absolute() ? to : at.parent_path() / to;
            continue;
        }
        // Missing, or not to be looked at (none): made or refused as any new file.
        const bool replaceable = type == fs::file_type::regular || type == fs::file_type::not_found ||
                                 type == fs::file_type::none;
        if (!replaceable || !at.has_filename())
            throw std::runtime_error("The saved file must be a regular file: " + path);
        return at.string();
    }
}

// The longest file name the folder takes; 255 where the file system does not say.
size_t longest_name_in(const std::filesystem::path& dir) {
    const long most = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    return most > 0 ? static_cast<size_t>(most) : 255;
}

// The folders of dir that do not exist yet, outermost first.
std::vector<std::filesystem::path> missing_folders(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> missing;
    for (std::filesystem::path p = dir; !p.empty(); p = p.parent_path()) {
        std::error_code ec;
        if (std::filesystem::exists(p, ec) || ec) break;
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    std::reverse(missing.begin(), missing.end());
    return missing;
}

// Makes the folders in order; those it made, up to the first it cannot make.
std::vector<std::filesystem::path> make_folders(const std::vector<std::filesystem::path>& folders) {
    std::vector<std::filesystem::path> made;
    for (const std::filesystem::path& p : folders) {
        std::error_code ec;
        if (std::filesystem::create_directory(p, ec)) made.push_back(p);
        if (ec) break;
    }
    return made;
}

// A failed save takes back the folders it made: innermost first, each only while empty.
void remove_folders(const std::vector<std::filesystem::path>& made) noexcept {
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        std::error_code ec;
        std::filesystem::remove(*it, ec);
    }
}

// At most n bytes, not cut inside a UTF-8 sequence.
std::string utf8_prefix(const std::string& text, size_t n) {
    if (text.size() <= n) return text;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

constexpr size_t random_letters = 8;

// A new file beside target, opened for writing: the kernel applies the umask
// (nothing process-wide changes), and an existing target lends its mode. -1
// when no such file can be made. `most` is the longest name the folder takes.
int create_file_beside(const std::string& target, size_t most, std::string& created) {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::filesystem::path dir = directory_of(target);
    // A name the folder just takes leaves no room for the marks around it:
    // the temporary name keeps only its start.
    const size_t marks = 2 + random_letters;
    const std::string name =
        utf8_prefix(std::filesystem::path(target).filename().string(), most > marks ? most - marks : 0);
    const std::string stem = (dir / ("." + name + ".")).string();
    std::random_device random;
    for (int attempt = 0; attempt < 64; ++attempt) {
        created = stem;
        for (size_t i = 0; i < random_letters; ++i) created += letters[random() % (sizeof letters - 1)];
        const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        struct stat st {};
        if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) (void)::fchmod(fd, st.st_mode & 07777);
        return fd;
    }
    return -1;
}

// Kept for the sheets to fill: the workbook part drops it from the save when
// they wrote no string.
bool dropped_unless_filled(const xml_part_t& part) {
    if (part.kind() != part_kind_enum::shared_string_table_part) return false;
    const auto* strings = dynamic_cast<const shared_string_table_t*>(part.get_component());
    return !strings || !strings->has_strings_to_save();
}

// Whether anything reads a part's bytes after the load: its model, or the
// pictures and drawings that look into them, or the edits that rewrite a
// chart's references. The others are only written back.
bool reads_its_bytes(const xml_part_t& part) {
    return part.get_component() || part.kind() == part_kind_enum::image_part ||
           part.kind() == part_kind_enum::vml_drawing_part || is_chart_part(part);
}

// A sheet whose r:id names no part would vanish from the workbook, or leave
// it without sheets.
void refuse_sheets_without_parts(const workbook_t& book, const std::vector<relationship_t>& records) {
    std::unordered_set<std::string_view> internal;
    for (const relationship_t& r : records)
        if (r.internal) internal.insert(r.id);
    for (const sheet_entry_t& s : book.sheets())
        if (!internal.contains(s.relationship_id))
            throw loading_error("The sheet \"" + s.name + "\" names no part of the package: " + s.relationship_id);
}

// A name two sheets share reaches only one of them: the other could be neither
// found nor edited, and the copy would be refused by other applications.
// Names alike but for case are the producers' own and stay.
void refuse_repeated_sheet_names(const workbook_t& book) {
    std::unordered_set<std::string_view> names;
    for (const sheet_entry_t& s : book.sheets())
        if (!names.insert(s.name).second)
            throw loading_error("The sheet name \"" + s.name + "\" is used by more than one sheet.");
}

general_error nothing_writes(const std::string& entry) {
    return general_error("Cannot save " + entry + ": its part has neither a writer nor kept bytes.");
}

} // namespace

excel_resolver::excel_resolver(xml_document_t* document, unsigned parser_options)
    : document_(document), parser_(parser_options) {
    parser_.set_usual_prefixes(uri::usual_prefixes);
}

excel_resolver::~excel_resolver() = default;

// ---------------------------------------------------------------- loading

unsigned excel_resolver::times_read(const std::string& entry) const {
    const auto it = reads_.find(entry);
    return it == reads_.end() ? 0 : it->second;
}

// Reads never pass an entry's declared size, so the declared sizes bound what
// the load inflates.
void excel_resolver::count_inflated__(uint64_t size) {
    inflated_ += size;
    if (inflated_ > max_package_size)
        throw loading_error("The package expands past " + std::to_string(max_package_size) + " bytes.");
}

void excel_resolver::load(const char* path, bool) {
    loaded_.clear();
    reads_.clear();
    inflated_ = 0;
    archive_.open_zip_file(path ? path : "");
    try {
        index_entries__();
        get_content_types__();
        load_referenced_parts__(nullptr);
    } catch (...) {
        document_->content_types().release_tree();
        entries_by_key_.clear();
        archive_.close();
        throw;
    }
    document_->content_types().release_tree();
    entries_by_key_.clear();
    archive_.close();
}

// The first entry of each key, in the archive's order.
void excel_resolver::index_entries__() {
    entries_by_key_.clear();
    for (const zip_entry_t& e : archive_.entries()) entries_by_key_.emplace(entry_path::part_name_key(e.name), e.name);
}

void excel_resolver::read_entry__(const std::string& entry, const xml::sxml::sxml_parser::handler_t& handler,
                                  xml_node_t*& root, std::string* copy) {
    const uint64_t size = archive_.file_size(entry);
    if (size > (copy ? max_raw_size : max_xml_size)) throw loading_error("The entry " + entry + " is too large.");
    count_inflated__(size);
    if (copy) copy->reserve(static_cast<size_t>(archive_.inflatable_size(entry)));
    std::vector<char> buffer(chunk_size);
    size_t tail = 0;
    bool first = true;
    root = nullptr;
    ++reads_[entry];
    // A UTF-16 part is read whole and converted; the chunks then come from the copy.
    std::string utf8;
    size_t utf8_at = 0;
    bool converted = false;
    const auto next = [&](char* to, size_t room) -> int {
        if (!converted) return archive_.read(entry, to, static_cast<unsigned>(room), false);
        const size_t n = std::min(room, utf8.size() - utf8_at);
        std::memcpy(to, utf8.data() + utf8_at, n);
        utf8_at += n;
        return static_cast<int>(n);
    };
    for (;;) {
        if (tail == buffer.size()) {
            // The parser completed nothing in a full buffer: one construct is
            // longer than it.
            if (buffer.size() >= max_chunk_size)
                throw loading_error("An XML construct of " + entry + " exceeds " + std::to_string(max_chunk_size) +
                                    " bytes.");
            buffer.resize(buffer.size() * 2);
        }
        int n = next(buffer.data() + tail, buffer.size() - tail);
        if (n <= 0) break;
        if (const int order = first ? utf16_byte_order(buffer.data(), static_cast<size_t>(n)) : 0) {
            std::string bytes(buffer.data(), static_cast<size_t>(n));
            while ((n = next(buffer.data(), buffer.size())) > 0) bytes.append(buffer.data(), static_cast<size_t>(n));
            utf8 = utf16_part_text(bytes, order, entry);
            converted = true;
            n = next(buffer.data(), buffer.size());
            if (n <= 0) break;
        }
        if (first) blank_byte_order_mark(buffer.data() + tail, static_cast<size_t>(n));
        first = false;
        if (copy) copy->append(buffer.data() + tail, static_cast<size_t>(n));
        const size_t length = tail + static_cast<size_t>(n);
        parser_.parse(entry.c_str(), buffer.data(), length, tail, root, handler);
        if (tail) std::memmove(buffer.data(), buffer.data() + length - tail, tail);
    }
    bool blank = true;
    for (size_t i = 0; i < tail && blank; ++i) blank = is_xml_space(buffer[i]);
    if (blank) tail = 0;
    // Ends the entry: an open element, a pending tail or no element at all fail.
    parser_.parse(entry.c_str(), nullptr, 0, tail, root, handler);
}

void excel_resolver::get_content_types__() {
    const std::string entry = locate_package_entry(nullptr, std::string(xml::content_types_entry).c_str());
    if (entry.empty()) throw loading_error("no content types in data file.");
    parser_.reset();
    uint32_t code = document_->format_code();
    bool seen = false;
    xml_node_t* root = nullptr;
    read_entry__(entry, [&](const xml_node_t* node) {
        const uint32_t before = code;
        const status_t s = xml::content_types_t::on_node(node, code);
        seen = seen || code != before || (node && node->name && std::strcmp(node->name, "Override") == 0);
        return s;
    }, root);
    if (seen) document_->set_format_code(code);
    document_->content_types().set_tree(parser_.detach_nodes(), root);
}

void excel_resolver::read_part_relationships(xml_part_t* part) {
    const std::string name = relationship_entry_name(part ? part->get_entry_name() : "");
    const std::string entry = locate_package_entry(nullptr, name.c_str());
    if (!entry.empty()) {
        parser_.reset();
        xml_node_t* root = nullptr;
        if (part)
            read_entry__(entry, [part](const xml_node_t* n) { return part->children().on_relationship_node(n); },
                         root);
        else
            read_entry__(entry, [this](const xml_node_t* n) { return document_->on_relationship_node(n); }, root);
        parser_.reset();
        // A repeated Id would name two parts: one of them could not be found again.
        std::unordered_set<std::string_view> ids;
        for (const relationship_t& r : part ? part->get_relationships() : document_->package_root().relationships())
            if (!ids.insert(r.id).second)
                throw loading_error("The relationship part " + entry + " repeats the Id " + r.id + ".");
    }
    if (part) part->prepare_saving(false);
}

std::string excel_resolver::locate_package_entry(const char* base, const char* target) const {
    if (!target || !*target) return {};
    const std::string name = entry_path::resolve_target(base ? base : "", target);
    if (name.empty()) return {};
    if (const std::string_view exact = archive_.find_file_name(name); !exact.empty()) return std::string(exact);
    const auto it = entries_by_key_.find(entry_path::part_name_key(name));
    return it == entries_by_key_.end() ? std::string() : std::string(it->second);
}

void excel_resolver::load_referenced_parts__(xml_part_t* parent) {
    if (!parent) {
        read_part_relationships(nullptr);
        const part_container& root = document_->package_root();
        if (root.relationships().empty()) throw loading_error("Missing main relationship file.");
        if (!root.has_office_document()) throw loading_error("Missing main part in file.");
    }
    // Copied: making a child may reorder its parent's records.
    const std::vector<relationship_t> records =
        parent ? parent->get_relationships() : document_->package_root().relationships();
    workbook_t* book = parent && parent->kind() == part_kind_enum::workbook_part
                           ? dynamic_cast<workbook_t*>(parent->get_component())
                           : nullptr;
    const sheet_index_guard sheets(book);
    if (book) {
        refuse_sheets_without_parts(*book, records);
        refuse_repeated_sheet_names(*book);
        refuse_shared_sheet_records__(*parent, records, sheets.repeated);
    }
    for (const relationship_t& r : records) {
        // Links (External targets, hyperlinks to places) stay records of the
        // part that holds them.
        if (!r.internal || r.type == uri::hyperlink_relationship) continue;
        if (book && r.type == calc_chain_relationship) continue;
        const std::string entry = locate_package_entry(parent ? parent->get_entry_name() : nullptr, r.target.c_str());
        if (entry.empty())
            throw loading_error("The corresponding file in the relationship file{0} cannot be found: " + r.target);
        const auto seen = loaded_.find(entry);
        xml_part_t* const same = seen == loaded_.end() ? nullptr : seen->second;
        xml_part_t* child = parent ? parent->children().create_or_keep_child(parent, r.type, r.id.c_str(),
                                                                             parent->is_complete())
                                   : document_->create_part(r.type.c_str());
        // A part a parent holds once, named again.
        if (!child || child == same) continue;
        child->set_relationship_id(r.id);
        child->set_source_id(r.id.c_str());
        child->set_entry_name(entry);
        if (same) {
            if (child->kind() == part_kind_enum::worksheet_part &&
                (same->kind() == part_kind_enum::worksheet_part || same->kind() == part_kind_enum::worktable_part))
                throw loading_error(shared_sheet_text(entry));
            // One entry cannot be read as two models (strings and styles, say):
            // the one read later would be saved in its place, or not at all.
            if (child->kind() != same->kind() && child->parses_on_load())
                throw loading_error("The entry " + entry + " is named by relationships of two types.");
            // Read once: the first part stands for the target, and what it
            // names is walked from there only.
            child->set_alias(true);
            child->copy_from(same);
            if (same->get_raw_block() && !child->get_raw_block()) {
                // A part of another kind may read the bytes: it gets them inflated.
                if (same->get_stored_form() && reads_its_bytes(*child))
                    read_raw__(child, entry);
                else
                    child->set_raw_data(same->get_raw_block(), same->get_raw_size(), same->get_stored_form());
                child->set_content_type(same->content_type());
                child->set_extension(same->extension());
            }
            if (parent) parent->on_child_loaded(child);
            continue;
        }
        read_part_relationships(child);
        get_part__(child);
        if (parent) parent->on_child_loaded(child);
        loaded_.emplace(entry, child);
        if (child->follows_relationships()) load_referenced_parts__(child);
    }
}

void excel_resolver::refuse_shared_sheet_records__(const xml_part_t& book_part,
                                                   const std::vector<relationship_t>& records,
                                                   const std::vector<const sheet_entry_t*>& repeated) const {
    if (repeated.empty()) return;
    std::unordered_map<std::string_view, const relationship_t*> by_id;
    for (const relationship_t& r : records) by_id.emplace(r.id, &r);
    for (const sheet_entry_t* sheet : repeated) {
        const auto it = by_id.find(sheet->relationship_id);
        if (it == by_id.end()) continue;
        const relationship_t& r = *it->second;
        if (!r.internal || part_kind_of_relationship_type(r.type) != part_kind_enum::worksheet_part) continue;
        const std::string entry = locate_package_entry(book_part.get_entry_name(), r.target.c_str());
        throw loading_error(shared_sheet_text(entry.empty() ? r.target : entry));
    }
}

// Room for what the held bytes can inflate to, grown should more arrive: a
// short entry may declare gigabytes.
void excel_resolver::read_raw__(xml_part_t* part, const std::string& entry) {
    const uint64_t size = archive_.file_size(entry);
    size_t room = static_cast<size_t>(archive_.inflatable_size(entry));
    std::shared_ptr<char[]> block = std::make_shared_for_overwrite<char[]>(room);
    size_t got = 0;
    for (;;) {
        char extra = 0;
        const bool full = got == room;
        const size_t want = full ? 1 : std::min(room - got, size_t(1) << 30);
        // The read past the end finishes the entry: its size and checksum are checked.
        const int n = archive_.read(entry, full ? &extra : block.get() + got, static_cast<unsigned>(want), false);
        if (n <= 0) break;
        if (full) {
            room = static_cast<size_t>(std::min<uint64_t>(size, uint64_t(room) * 2 + chunk_size));
            std::shared_ptr<char[]> larger = std::make_shared_for_overwrite<char[]>(room);
            std::memcpy(larger.get(), block.get(), got);
            block = std::move(larger);
            block[got] = extra;
        }
        got += static_cast<size_t>(n);
    }
    if (got != size) throw loading_error("The entry " + entry + " is incomplete.");
    part->set_raw_data(std::move(block), got);
}

// Inflated as it streams, so that a bad entry (one whose data does not end
// where its records say) fails the load as it would when read, and is never
// copied into a saved archive; held as the archive holds it.
void excel_resolver::hold_stored__(xml_part_t* part, const std::string& entry) {
    std::vector<char> buffer(chunk_size * 8);
    while (archive_.read(entry, buffer.data(), static_cast<unsigned>(buffer.size()), false) > 0) {
    }
    const zip_stored_t held = archive_.stored_form(entry);
    std::shared_ptr<char[]> block = std::make_shared_for_overwrite<char[]>(static_cast<size_t>(held.stored_size));
    archive_.read_stored(entry, block.get());
    part->set_raw_data(std::move(block), static_cast<size_t>(held.stored_size), &held);
}

void excel_resolver::get_part__(xml_part_t* part) {
    const std::string entry = part->get_entry_name();
    const char* ct = document_->content_types().get_content_type(entry.c_str());
    if (!ct) throw loading_error("Cannot find the content type of " + entry);
    const bool workbook_type = part->kind() == part_kind_enum::workbook_part && is_workbook_content_type(ct);
    if (const char* own = part->get_content_type(); own && !workbook_type && std::strcmp(own, ct) != 0)
        throw loading_error("The content type of " + entry + " does not match: " + ct);
    part->set_content_type(ct);

    const bool kept = part->kind() == part_kind_kept;
    // A type the table lacks (an embedded object or document, a control) names
    // bytes no model reads: they are kept as read, as a kept part's are.
    const bool as_read = kept || (!workbook_type && !xml::is_known_content_type(ct));
    // The workbook's variants (macros, templates) are read as the workbook.
    const xml::xml_part_mode_enum mode = as_read         ? xml::xml_part_mode_enum::raw
                                         : workbook_type ? xml::xml_part_mode_enum::xml
                                                         : xml::get_open_mode(ct);
    const std::string_view own_extension = entry_path::extension(entry);
    part->set_extension(!own_extension.empty() ? own_extension
                        : as_read              ? std::string_view()
                        : workbook_type        ? std::string_view("xml")
                                               : xml::get_extension(ct));

    if (mode != xml::xml_part_mode_enum::xml || !part->parses_on_load()) {
        const uint64_t size = archive_.file_size(entry);
        if (size > max_raw_size) throw loading_error("The entry " + entry + " is too large.");
        count_inflated__(size);
        ++reads_[entry];
        if (reads_its_bytes(*part)) return read_raw__(part, entry);
        // No reader reads a kept part, nor a part of a known kind that nothing
        // reads (a theme): it stays as the archive holds it, a few MB that may
        // inflate to gigabytes, and the save copies it so.
        return hold_stored__(part, entry);
    }
    parser_.reset();
    xml_node_t* root = nullptr;
    // A model that keeps every node keeps the bytes instead: the parse still
    // checks them and shows the model every node, but builds no tree.
    const bool keep_bytes = part->get_component()->keeps_every_node();
    std::string bytes;
    read_entry__(entry, [part, &entry, keep_bytes](const xml_node_t* n) {
        // The parser has no depth limit, and each open element costs memory
        // far beyond its bytes. Real parts are shallow: the walk is short.
        if (n && is_element(*n)) {
            size_t depth = 0;
            for (const xml_node_t* p = n; p; p = p->parent)
                if (++depth > max_depth) throw loading_error("The XML of " + entry + " nests deeper than " +
                                                             std::to_string(max_depth) + " elements.");
        }
        const status_t s = part->assign(n);
        return keep_bytes && s == status_t::keep ? status_t::done : s;
    }, root, keep_bytes ? &bytes : nullptr);
    xml::sxml::sxml_arena::chunk* chain = parser_.detach_nodes();
    if (root)
        part->keep_nodes(chain, root);
    else
        xml::sxml::sxml_parser::free_nodes(chain);
    if (keep_bytes) part->keep_xml(std::move(bytes));
}

// ---------------------------------------------------------------- saving

void excel_resolver::save(const char* path) {
    const std::string given = path ? path : "";
    const std::string name = std::filesystem::path(given).filename().string();
    if (name.empty() || given.ends_with('/')) {
        archive_.create_zip_file(given);  // refuses it with the archive's own message
        return;
    }
    const auto cannot_create = [&] {
        return archive_error("Can not create file: '" + given +
                             "'. Please check if the file has been opened or if the file name is illegal.");
    };
    // Before anything on disk changes.
    const std::string target = file_to_replace(given);
    check_writers__();
    const std::filesystem::path folder = directory_of(target);
    const std::vector<std::filesystem::path> missing = missing_folders(folder);
    // A name longer than the folder takes would fail only at the rename, after
    // the whole write; the folders to be made take names as the one they go in.
    const size_t most = longest_name_in(missing.empty() ? folder : directory_of(missing.front().string()));
    const auto too_long = [most](const std::filesystem::path& p) { return p.filename().string().size() > most; };
    if (too_long(target) || std::any_of(missing.begin(), missing.end(), too_long)) throw cannot_create();
    const std::vector<std::filesystem::path> made = make_folders(missing);
    std::string temp;
    const int fd = create_file_beside(target, most, temp);
    if (fd < 0) {
        remove_folders(made);
        throw cannot_create();
    }
    ::close(fd);
    try {
        save_package__(temp);
        std::filesystem::rename(temp, target);
    } catch (...) {
        try {
            archive_.close();
        } catch (...) {
            // The save failed already; this failure says nothing more.
        }
        ::unlink(temp.c_str());
        remove_folders(made);
        throw;
    }
}

void excel_resolver::save_package__(const std::string& path) {
    written_.clear();
    written_blocks_.clear();
    used_names_.clear();
    archive_.create_zip_file(path);
    document_->content_types().clear();
    part_container& root = document_->package_root();
    root.reset_relationship_ids();
    root.clear_relationships();
    for (const auto& child : root) {
        child->prepare_saving(true);
        child->reset_relationship_ids();
    }
    originals_.clear();
    for (const auto& child : root) collect_originals__(*child);
    // Named first so that "_rels/.rels" points where they are written.
    for (const auto& child : root)
        if (child->get_relationship_id() && !child->is_alias()) child->set_entry_name(make_part_file_name(child.get()));
    for (const auto& child : root) {
        if (!child->get_relationship_id() || !child->is_alias()) continue;
        const xml_part_t* original = original_of__(*child);
        // Only another root child has its name before "_rels/.rels" is written.
        if (original && !original->get_parent() && original->get_relationship_id()) {
            child->set_entry_name(original->get_entry_name());
            continue;
        }
        stand_alone__(*child);
        if (child->get_relationship_id()) child->set_entry_name(make_part_file_name(child.get()));
    }
    write_part_relationships(nullptr);
    for (const auto& child : root) {
        if (!child->get_relationship_id()) continue;
        try {
            write_part(child.get());
        } catch (...) {
            child->discard_output();
            throw;
        }
    }
    write_content_types();
    archive_.close();
}

std::string excel_resolver::claim_name__(std::string name) {
    if (used_names_.insert(ascii_lower(name)).second) return name;
    // Taken: the next free number after the one the stem ends with.
    const std::string_view ext = entry_path::extension(name);
    const size_t stem_end = ext.empty() ? name.size() : name.size() - ext.size() - 1;
    size_t digits = stem_end;
    while (digits > 0 && ascii_is_digit(name[digits - 1])) --digits;
    unsigned long long n = digits < stem_end ? std::strtoull(name.c_str() + digits, nullptr, 10) : 1;
    const std::string stem = name.substr(0, digits);
    const std::string suffix = name.substr(stem_end);
    for (;;) {
        std::string candidate = stem + std::to_string(++n) + suffix;
        if (used_names_.insert(ascii_lower(candidate)).second) return candidate;
    }
}

std::string excel_resolver::make_part_file_name(xml_part_t* part) { return claim_name__(planned_name__(*part)); }

std::string excel_resolver::planned_name__(const xml_part_t& part) {
    if (part.kind() == part_kind_kept && *part.get_entry_name()) return part.get_entry_name();
    // Nor for a part of a type no model reads: it keeps the name it came with.
    if (part.get_raw_data() && *part.get_entry_name() && !part.content_type().empty() &&
        !xml::is_known_content_type(part.content_type()))
        return part.get_entry_name();
    // Below a kept part no folder is known: the part stays where it was read.
    const xml_part_t* parent = part.get_parent();
    if (parent && parent->kind() == part_kind_kept && *part.get_entry_name()) return part.get_entry_name();
    std::string name = part.make_part_file_name();
    // Where applications keep them, whatever folder the kind implies.
    if (part.kind() == part_kind_enum::chart_part)
        name = "xl/charts/" + std::string(entry_path::file_name(name));
    else if (part.kind() == part_kind_enum::custom_xml_part)
        name = "customXml/" + std::string(entry_path::file_name(name));
    return name;
}

void excel_resolver::check_writers__() const {
    for (const auto& child : document_->package_root()) check_writer__(*child);
}

// Mirrors the walk of write_part: what it would write must have kept bytes or
// a writer, so that a save cannot succeed with empty entries.
void excel_resolver::check_writer__(xml_part_t& part) const {
    // An alias is written as its original, or alone only with bytes of its own.
    if (part.is_alias()) return;
    const bool verbatim = part.get_raw_data() != nullptr;
    if (verbatim && !part.kept_bytes_hold_the_model())
        throw general_error("Cannot save " + planned_name__(part) + ": what was added since the load would be lost.");
    if (!verbatim && !dropped_unless_filled(part)) {
        part.create_output_handler(2);
        const bool writable = part.get_output_handler() != nullptr;
        part.release_output_handler();
        if (!writable) throw nothing_writes(planned_name__(part));
    }
    for (const auto& child : part.get_child_parts()) {
        // A kept part's children keep their Ids: one without is not written.
        if (verbatim && !child->get_relationship_id()) continue;
        if (child->kind() == part_kind_enum::worktable_part) {
            for (const auto& cell_child : child->get_child_parts()) check_writer__(*cell_child);
            continue;
        }
        check_writer__(*child);
    }
}

void excel_resolver::collect_originals__(xml_part_t& part) {
    if (!part.is_alias()) originals_.emplace(part.get_entry_name(), &part);
    for (const auto& child : part.get_child_parts()) collect_originals__(*child);
}

xml_part_t* excel_resolver::original_of__(const xml_part_t& alias) const {
    const auto it = originals_.find(alias.get_entry_name());
    return it == originals_.end() || it->second == &alias ? nullptr : it->second;
}

void excel_resolver::stand_alone__(xml_part_t& alias) {
    alias.set_alias(false);
    // Without bytes of its own it has nothing to stand for.
    if (!alias.get_raw_data()) alias.set_relationship_id("");
}

void excel_resolver::write_part(xml_part_t* part) {
    if (!part->get_relationship_id()) return;
    if (part->is_alias()) {
        // A root child was named after its original before the walk.
        if (!part->get_parent()) return;
        if (xml_part_t* original = original_of__(*part)) {
            write_part(original);  // at once when it is written already
            if (original->get_relationship_id()) {
                part->set_entry_name(original->get_entry_name());
                return;
            }
        }
        stand_alone__(*part);
        if (!part->get_relationship_id()) return;
    }
    // Written already, or its bytes are (parts equal only when their bytes are
    // one block): the first part written stands for it. A root child keeps the
    // name "_rels/.rels" gave it. Looked up, not searched: a sheet may hold
    // thousands of pictures.
    if (written_.contains(part)) return;
    if (part->get_parent() && part->get_raw_data()) {
        const auto same = written_blocks_.find(part->get_raw_data());
        if (same != written_blocks_.end()) {
            part->set_entry_name(same->second->get_entry_name());
            return;
        }
    }
    // A part written as its bytes keeps the Ids those bytes refer to.
    const bool verbatim = part->get_raw_data() != nullptr;
    if (part->get_parent()) {
        part->prepare_saving(true);
        if (!verbatim) part->reset_relationship_ids();
        part->set_entry_name(make_part_file_name(part));
    }
    const std::string name = part->get_entry_name();
    // Bytes held as the archive held them are copied as they are.
    const zip_stored_t* held = part->get_stored_form();
    if (!held) {
        part->create_xml_writer(
            [this, name](const char* data, unsigned size) { archive_.write_file_stream(name, data, size); });
        archive_.add_file_to_zip(name);
    }
    part->create_output_handler(2);
    // Reached when the sheets filled a part the check let pass as dropped.
    if (!verbatim && !part->get_output_handler()) throw nothing_writes(name);
    if (held)
        archive_.add_stored_file(name, part->get_raw_block(), *held);
    else
        part->write();
    written_.insert(part);
    if (part->get_raw_data()) written_blocks_.emplace(part->get_raw_data(), part);
    if (!held) {
        part->release_xml_writer();
        archive_.close_file_in_zip();
    }
    register_content_type__(*part);

    // External records of a part written as its bytes are listed even when it
    // has no child.
    if (part->child_count(2) != 0 || (verbatim && !part->get_relationships().empty())) {
        const auto& children = part->get_child_parts();
        for (size_t i = 0; i < children.size(); ++i) {
            xml_part_t* child = children[i].get();
            if (child->kind() == part_kind_enum::worktable_part) {
                const auto& cells = child->get_child_parts();
                for (size_t j = 0; j < cells.size(); ++j) {
                    write_part(cells[j].get());
                    part->after_child_saved();
                }
                // Parts kept whole during the load may stand after it.
                continue;
            }
            write_part(child);
            part->after_child_saved();
        }
        if (!verbatim) part->children().clear_relationships();
        write_part_relationships(part);
    }
    part->release_output_handler();
}

void excel_resolver::register_content_type__(const xml_part_t& part) {
    const std::string ct = part_content_type(part);
    if (ct.empty()) return;
    xml::content_types_t& types = document_->content_types();
    const std::string_view name = part.get_entry_name();
    if (ends_with_xml(ct)) {
        types.add_override(name, ct);
        return;
    }
    const std::string_view ext = entry_path::extension(name);
    const auto mapped = ext.empty() ? std::nullopt : types.default_type(ext);
    if (!ext.empty() && !mapped)
        types.add_default(ext, ct);
    else if (!mapped || *mapped != ct)
        types.add_override(name, ct);
}

void excel_resolver::write_part_relationships(xml_part_t* part) {
    const std::string name = relationship_entry_name(part ? part->get_entry_name() : "");
    archive_.add_file_to_zip(name);
    xml::xml_stream_writer w([this, &name](const char* data, unsigned size) {
        archive_.write_file_stream(name, data, size);
    });
    try {
        if (!part)
            write_relationships(w, document_->package_root());
        else if (part->get_raw_data())
            write_kept_relationships(w, *part);
        else
            write_relationships(w, *part);
    } catch (...) {
        w.clear();
        throw;
    }
    archive_.close_file_in_zip();
}

void excel_resolver::write_content_types() {
    const std::string name(xml::content_types_entry);
    archive_.add_file_to_zip(name);
    xml::xml_stream_writer w([this, &name](const char* data, unsigned size) {
        archive_.write_file_stream(name, data, size);
    });
    try {
        document_->content_types().write(w);
    } catch (...) {
        w.clear();
        throw;
    }
    archive_.close_file_in_zip();
}

} // namespace vex
