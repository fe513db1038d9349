#pragma once
// The base of every package part. A part carries the static description of its
// kind (relationship type, content type, folder, stem), its place in the
// package (kind, ids, entry name), its bytes when it is kept unparsed, its
// children, and while it is saved its writer and XML stream writer. Parts that
// model something own one component. Part classes override a few of the virtual
// operations; the loader and the save walk drive parts only through them.

#include "kestrel/core/components/component_base.h"
#include "kestrel/parts/part_container.h"
#include "kestrel/parts/part_kind.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "xml/sxml_arena.h"
#include "xml/sxml_node.h"
#include "xml/xml_stream_writer.h"
#include "ziputil.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vex {

class xml_document_t;

class xml_part_t {
public:
    // The texts are static and kept as pointers; content_type and extension may
    // be null (kinds of several types; no default extension).
    xml_part_t(xml_part_t* parent, const char* namespace_uri, const char* relationship_type, const char* content_type,
               const char* folder, const char* stem, const char* extension);
    // Destroys the component, the kept nodes, the writers, then the children.
    virtual ~xml_part_t() = 0;
    xml_part_t(const xml_part_t&) = delete;
    xml_part_t& operator=(const xml_part_t&) = delete;

    // ---- the kind's static description ----
    const char* get_relationship_type() const noexcept { return relationship_type_; }
    const char* get_content_type() const noexcept { return static_content_type_; }  // null for several types
    const char* get_namespace() const noexcept { return namespace_uri_; }
    const char* get_folder() const noexcept { return folder_; }
    const char* get_stem() const noexcept { return stem_; }
    const char* get_static_extension() const noexcept { return static_extension_; }

    // ---- identity in the package ----
    part_kind_enum kind() const noexcept { return kind_; }
    void set_kind(part_kind_enum kind) noexcept {
        kind_ = kind;
        part_container::tree_changed();
        if (kind == part_kind_enum::chart_part) part_container::chart_may_have_come();
    }
    bool is_numbered() const noexcept { return numbered_; }
    void set_numbered(bool numbered) noexcept { numbered_ = numbered; }
    bool is_complete() const noexcept { return complete_; }
    void set_complete(bool complete) noexcept { complete_ = complete; }
    bool follows_relationships() const noexcept { return follow_relationships_; }
    void set_follow_relationships(bool follow) noexcept { follow_relationships_ = follow; }
    // Named by a relationship to an entry another part was read from: the save
    // points it at that part's entry instead of writing it.
    bool is_alias() const noexcept { return alias_; }
    void set_alias(bool alias) noexcept { alias_ = alias; }
    uint32_t get_part_id() const noexcept { return part_id_; }
    void set_part_id(uint32_t id) noexcept { part_id_ = id; }
    // The next id of a workbook part: 1, 2, ... for the process, from any thread.
    static uint32_t next_workbook_part_id() noexcept;
    xml_part_t* get_parent() const noexcept { return parent_; }

    const char* get_source_id() const noexcept { return source_id_.c_str(); }
    void set_source_id(const char* id) { source_id_ = id ? id : ""; }
    // Null when the part has no Id: it is then neither written nor listed.
    const char* get_relationship_id() const noexcept {
        return relationship_id_.empty() ? nullptr : relationship_id_.c_str();
    }
    void set_relationship_id(const std::string& id) { relationship_id_ = id; }
    const char* get_entry_name() const noexcept { return entry_name_.c_str(); }
    void set_entry_name(std::string_view name) { entry_name_ = name; }
    // The part's actual content type and extension (without the dot).
    std::string_view content_type() const noexcept { return content_type_; }
    // A part may become a chart by its type alone.
    void set_content_type(std::string_view ct);
    std::string_view extension() const noexcept { return extension_; }
    void set_extension(std::string_view ext) { extension_ = ext; }

    // ---- model and kept content ----
    component_base_t* get_component() const noexcept { return component_.get(); }
    // The node tree the part kept from its load, with the parser's chunks it
    // lives in; freed with the part.
    void keep_nodes(xml::sxml::sxml_arena::chunk* chain, const xml::sxml::xml_node_t* root) noexcept;
    // The part's XML as read, when its model keeps every node: the tree is
    // parsed from it on the first get_kept_tree(), so until then the part
    // costs its bytes, not the several times that a tree takes.
    void keep_xml(std::string bytes) noexcept;
    // Null when nothing was kept. Not for two threads at once: the first call
    // may parse the kept XML.
    const xml::sxml::xml_node_t* get_kept_tree() const;
    // Bytes of a part kept unparsed, shared with the parts that hold the same
    // target; they live as long as the last of them.
    const char* get_raw_data() const noexcept { return raw_.get(); }
    size_t get_raw_size() const noexcept { return raw_size_; }
    const std::shared_ptr<const char[]>& get_raw_block() const noexcept { return raw_; }
    // With `held`, the bytes are the entry's data as the archive held it
    // (deflated, say), saved back as they are and never read as the part.
    void set_raw_data(std::shared_ptr<const char[]> bytes, size_t size, const zip_stored_t* held = nullptr) noexcept;
    // How the raw bytes are held, or null when they are the part itself.
    const zip_stored_t* get_stored_form() const noexcept { return stored_ ? &*stored_ : nullptr; }

    // ---- children ----
    const part_container::children_t& get_child_parts() const noexcept { return children_.children(); }
    const std::vector<relationship_t>& get_relationships() const noexcept { return children_.relationships(); }
    part_container& children() noexcept { return children_; }
    const part_container& children() const noexcept { return children_; }

    // ---- save ----
    output_handler* get_output_handler() const noexcept { return output_handler_.get(); }
    xml::xml_stream_writer* get_xml_writer() const noexcept { return writer_.get(); }
    void create_xml_writer(xml::xml_stream_writer::sink_t sink);
    // Hands what is buffered to the sink, then drops the writer.
    void release_xml_writer();
    void release_output_handler() noexcept { output_handler_.reset(); }
    void discard_output() noexcept;

    // ---- the workbook above ----
    // The top-most part, which must be the workbook part with no parent.
    xml_part_t* get_workbook_part() const;
    component_base_t* get_workbook() const { return get_workbook_part()->get_component(); }
    // The document the workbook above records; null without a workbook model.
    xml_document_t* get_document() const;

    // ---- entry names ----
    // folder/stem, with ".xml" for an XML content type.
    void make_default_entry_name();
    // The name the part is saved under: folder and stem with the part's number,
    // its extension, below its ancestors' folders, in normal form.
    std::string make_part_file_name() const;

    // ---- virtual operations ----
    virtual int bind_child_part(xml_part_t* child);
    virtual bool equals(const xml_part_t* other) const;
    virtual void on_child_loaded(xml_part_t* child);
    virtual const char* get_content_type_by_index(int index) const;
    virtual const char* get_extension_by_index(int index) const;
    // Hands the node to the component; without one the node is kept.
    virtual xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);
    // A fresh block of n bytes for the part's raw data (the previous block is
    // let go by this part).
    virtual void* allocate_buffer(size_t n);
    virtual bool on_loaded();
    // Whether a load parses the part's XML into its component; when not, the
    // part keeps its bytes.
    virtual bool parses_on_load() const { return component_ != nullptr; }
    virtual void prepare_saving(bool saving);
    // Asked before a save writes the part's kept bytes: false when the model
    // has since gained what those bytes cannot hold.
    virtual bool kept_bytes_hold_the_model() const { return true; }
    virtual size_t child_count(int mode) const;
    virtual void create_output_handler(int mode);
    // The raw bytes when the part has any, else what its writer writes.
    virtual void write();
    virtual xml_part_t* create_part(const char* relationship_type, const char* id);
    virtual void copy_from(const xml_part_t* other);
    virtual void add_part(xml_part_t* part, bool at_front);
    virtual bool is_empty() const;
    virtual void remove_part(unsigned part_id);
    virtual void remove_part(xml_part_t* part);
    virtual size_t reset_relationship_ids();
    virtual void after_child_saved();
    // The 0-based rank of a numbered child among the parts of its kind, in tree
    // order from the workbook part; none for a part that is not numbered.
    virtual std::optional<unsigned> get_part_number(const xml_part_t* child) const;

protected:
    void set_component(std::unique_ptr<component_base_t> component) noexcept { component_ = std::move(component); }
    void set_output_handler(std::unique_ptr<output_handler> handler) noexcept { output_handler_ = std::move(handler); }
    // Only a save (mode 2) makes a part's own writer, and a stand-in installed
    // for the kind wins over it: true when the base made what there is to make.
    bool writer_left_to_base__(int mode);

private:
    struct node_chain_deleter {
        void operator()(xml::sxml::sxml_arena::chunk* chain) const noexcept;
    };
    // Every part's rank among the parts of its kind below this one, from one
    // walk, with the tree version it was taken at.
    struct kind_ranks_t {
        uint64_t tree_version = 0;
        std::unordered_map<const xml_part_t*, unsigned> rank;
    };

    std::optional<unsigned> rank_below__(const xml_part_t& part) const;

    bool complete_ = true;
    bool follow_relationships_ = true;
    bool alias_ = false;
    const char* relationship_type_;
    const char* static_content_type_;
    const char* folder_;
    const char* stem_;
    const char* static_extension_;
    const char* namespace_uri_;
    bool numbered_ = false;
    part_kind_enum kind_ = part_kind_unset;
    uint32_t part_id_ = 0;
    xml_part_t* parent_;
    std::unique_ptr<component_base_t> component_;
    mutable std::unique_ptr<xml::sxml::sxml_arena::chunk, node_chain_deleter> kept_nodes_;
    mutable const xml::sxml::xml_node_t* kept_tree_ = nullptr;
    mutable std::string kept_xml_;
    std::shared_ptr<const char[]> raw_;
    size_t raw_size_ = 0;
    std::optional<zip_stored_t> stored_;
    std::string source_id_;
    std::string relationship_id_;
    std::string entry_name_;
    std::string content_type_;
    std::string extension_;
    part_container children_;
    std::unique_ptr<output_handler> output_handler_;
    std::unique_ptr<xml::xml_stream_writer> writer_;
    // Kept by the workbook part, which numbering walks from: asked once per
    // part in a save, a walk each would grow with the square of the parts.
    mutable std::unique_ptr<kind_ranks_t> kind_ranks_;
};

} // namespace vex
