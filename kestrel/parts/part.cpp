#include "kestrel/parts/part.h"

#include "errors.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/entry_path.h"
#include "kestrel/parts/simple_part.h"
#include "kestrel/parts/usual_prefixes.h"
#include "kestrel/xml/xl_xml/writers/stand_in_writer.h"
#include "xml/sxml_parser.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <stdexcept>
#include <unordered_map>

namespace vex {

using xml::sxml::status_t;

namespace {

bool ends_with_xml(std::string_view ct) noexcept { return ct.ends_with("+xml"); }

// What the document the part belongs to installed for its kind; null for a
// part outside a document's workbook.
writer_factory_t stand_in_writer(const xml_part_t& part) noexcept {
    const xml_part_t* top = &part;
    while (top->get_parent()) top = top->get_parent();
    // Checked first: get_document throws for a part outside a workbook.
    if (top->kind() != part_kind_enum::workbook_part) return nullptr;
    const xml_document_t* document = top->get_document();
    return document ? document->stand_in_writers().get(part.kind()) : nullptr;
}

// Ranks every part below node among those of its kind, depth first in child
// order: a part's rank is the count of its kind met before it.
void rank_parts(const xml_part_t& node, std::unordered_map<part_kind_enum, unsigned>& next,
                std::unordered_map<const xml_part_t*, unsigned>& rank) {
    for (const auto& c : node.get_child_parts()) {
        rank.emplace(c.get(), next[c->kind()]++);
        rank_parts(*c, next, rank);
    }
}

} // namespace

xml_part_t::xml_part_t(xml_part_t* parent, const char* namespace_uri, const char* relationship_type,
                       const char* content_type, const char* folder, const char* stem, const char* extension)
    : relationship_type_(relationship_type),
      static_content_type_(content_type),
      folder_(folder),
      stem_(stem),
      static_extension_(extension),
      namespace_uri_(namespace_uri),
      parent_(parent) {}

void xml_part_t::set_content_type(std::string_view ct) {
    content_type_ = ct;
    if (is_chart_part(*this)) part_container::chart_may_have_come();
}

xml_part_t::~xml_part_t() {
    component_.reset();
    kept_nodes_.reset();
    writer_.reset();
    output_handler_.reset();
    // The children go with children_, then the strings.
}

void xml_part_t::node_chain_deleter::operator()(xml::sxml::sxml_arena::chunk* chain) const noexcept {
    xml::sxml::sxml_parser::free_nodes(chain);
}

uint32_t xml_part_t::next_workbook_part_id() noexcept {
    static std::atomic<uint32_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

void xml_part_t::keep_nodes(xml::sxml::sxml_arena::chunk* chain, const xml::sxml::xml_node_t* root) noexcept {
    kept_nodes_.reset(chain);
    kept_tree_ = root;
    std::string().swap(kept_xml_);
}

void xml_part_t::keep_xml(std::string bytes) noexcept {
    kept_nodes_.reset();
    kept_tree_ = nullptr;
    kept_xml_ = std::move(bytes);
}

const xml::sxml::xml_node_t* xml_part_t::get_kept_tree() const {
    if (kept_tree_ || kept_xml_.empty()) return kept_tree_;
    // The bytes passed the parser once already, as the part was loaded.
    xml::sxml::sxml_parser parser(xml::sxml::load_options);
    parser.set_usual_prefixes(uri::usual_prefixes);
    size_t tail = 0;
    xml::sxml::xml_node_t* root = nullptr;
    parser.parse(entry_name_.c_str(), kept_xml_.data(), kept_xml_.size(), tail, root, nullptr);
    parser.parse(entry_name_.c_str(), nullptr, 0, tail, root, nullptr);
    kept_nodes_.reset(parser.detach_nodes());
    kept_tree_ = root;
    std::string().swap(kept_xml_);
    return kept_tree_;
}

void xml_part_t::set_raw_data(std::shared_ptr<const char[]> bytes, size_t size, const zip_stored_t* held) noexcept {
    raw_ = std::move(bytes);
    raw_size_ = raw_ ? size : 0;
    if (raw_ && held)
        stored_ = *held;
    else
        stored_.reset();
}

void xml_part_t::create_xml_writer(xml::xml_stream_writer::sink_t sink) {
    writer_ = std::make_unique<xml::xml_stream_writer>(std::move(sink));
}

void xml_part_t::release_xml_writer() {
    if (!writer_) return;
    std::unique_ptr<xml::xml_stream_writer> w = std::move(writer_);
    try {
        w->flush();
    } catch (...) {
        w->clear();  // its destructor must not try the failed sink again
        throw;
    }
}

void xml_part_t::discard_output() noexcept {
    if (writer_) writer_->clear();
}

xml_document_t* xml_part_t::get_document() const {
    const auto* book = dynamic_cast<const workbook_t*>(get_workbook());
    return book ? book->document() : nullptr;
}

xml_part_t* xml_part_t::get_workbook_part() const {
    for (const xml_part_t* p = this; p; p = p->parent_) {
        if (p->kind_ != part_kind_enum::workbook_part) continue;
        if (!p->parent_) return const_cast<xml_part_t*>(p);
        break;
    }
    throw general_error(std::string("Serious error: This part is not a child part of the workbook. ") +
                        "Except for the workbook, all part should be sub part of the workbook, " +
                        "and the workbook must be the top-level parent component.");
}

void xml_part_t::make_default_entry_name() {
    entry_name_ = entry_path::join(folder_ ? folder_ : "", stem_ ? stem_ : "");
    if (ends_with_xml(content_type_)) entry_name_ += ".xml";
}

std::string xml_part_t::make_part_file_name() const {
    std::string name = entry_path::join(folder_ ? folder_ : "", stem_ ? stem_ : "");
    if (numbered_ && parent_) {
        // A parent that gives no number leaves the name bare; the save keeps
        // names unique.
        if (const auto n = parent_->get_part_number(this)) name += std::to_string(*n + 1ull);
    }
    if (!extension_.empty()) {
        name += '.';
        name += extension_;
    } else if (ends_with_xml(content_type_)) {
        name = entry_path::replace_extension(name, ".xml");
    }
    std::string folders;
    for (const xml_part_t* a = parent_; a; a = a->parent_) folders = entry_path::join(a->folder_ ? a->folder_ : "", folders);
    return entry_path::normalize(entry_path::to_slashes(entry_path::join(folders, name)));
}

int xml_part_t::bind_child_part(xml_part_t*) { return 0; }

bool xml_part_t::equals(const xml_part_t*) const { return false; }

void xml_part_t::on_child_loaded(xml_part_t*) {}

const char* xml_part_t::get_content_type_by_index(int) const { return nullptr; }

const char* xml_part_t::get_extension_by_index(int) const { return nullptr; }

status_t xml_part_t::assign(const xml::sxml::xml_node_t* node) {
    return component_ ? component_->assign(node) : status_t::keep;
}

void* xml_part_t::allocate_buffer(size_t n) {
    std::shared_ptr<char[]> block = std::make_shared_for_overwrite<char[]>(n);
    char* bytes = block.get();
    raw_ = std::move(block);
    raw_size_ = n;
    stored_.reset();
    return bytes;
}

bool xml_part_t::on_loaded() { return true; }

void xml_part_t::prepare_saving(bool) {}

size_t xml_part_t::child_count(int) const { return children_.size(); }

void xml_part_t::create_output_handler(int) {
    if (const writer_factory_t make = stand_in_writer(*this)) output_handler_ = make(*this);
}

bool xml_part_t::writer_left_to_base__(int mode) {
    if (mode == 2 && !stand_in_writer(*this)) return false;
    xml_part_t::create_output_handler(mode);
    return true;
}

void xml_part_t::write() {
    if (raw_) {
        if (!writer_) throw std::runtime_error("no xml stream writer.");
        // The sink takes an unsigned count: larger parts go in blocks.
        constexpr size_t block = size_t(1) << 30;
        size_t done = 0;
        do {
            const size_t n = std::min(block, raw_size_ - done);
            writer_->write_to_sink(raw_.get() + done, static_cast<unsigned>(n));
            done += n;
        } while (done < raw_size_);
    } else if (output_handler_) {
        output_handler_->write();
    }
}

xml_part_t* xml_part_t::create_part(const char* relationship_type, const char* id) {
    return children_.create_child(this, relationship_type ? relationship_type : "", id, complete_);
}

void xml_part_t::copy_from(const xml_part_t*) {}

void xml_part_t::add_part(xml_part_t* part, bool at_front) { children_.add(part, at_front); }

bool xml_part_t::is_empty() const { return false; }

void xml_part_t::remove_part(unsigned part_id) { children_.remove(part_id); }

void xml_part_t::remove_part(xml_part_t* part) { children_.remove(part); }

size_t xml_part_t::reset_relationship_ids() { return children_.reset_relationship_ids(); }

void xml_part_t::after_child_saved() {}

std::optional<unsigned> xml_part_t::get_part_number(const xml_part_t* child) const {
    const xml_part_t* workbook = get_workbook_part();
    if (!child || !child->numbered_) return std::nullopt;
    return workbook->rank_below__(*child);
}

std::optional<unsigned> xml_part_t::rank_below__(const xml_part_t& part) const {
    const uint64_t version = part_container::tree_version();
    if (!kind_ranks_ || kind_ranks_->tree_version != version) {
        auto ranks = std::make_unique<kind_ranks_t>();
        ranks->tree_version = version;
        std::unordered_map<part_kind_enum, unsigned> next;
        rank_parts(*this, next, ranks->rank);
        kind_ranks_ = std::move(ranks);
    }
    const auto it = kind_ranks_->rank.find(&part);
    return it == kind_ranks_->rank.end() ? std::nullopt : std::optional<unsigned>(it->second);
}

} // namespace vex
