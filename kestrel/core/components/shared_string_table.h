#pragma once
// The model of the shared-strings part: the strings the sheets share, and on
// save the list of those the sheets actually wrote.
//
// On load each item is interned as it is read, into a pool of the part's own:
// the workbook's pool comes only with the first sheet's cell store, which then
// takes that pool over whole. A part of a million equal items costs one text
// and an index each. The cell reader maps a part position to its pool index.

#include "kestrel/core/components/component_base.h"
#include "mta/table/cell/phonetic_text.h"
#include "mta/table/cell/richtext.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vex {

namespace mta {
class string_pool_t;
}
class assign_for_shared_string_table_t;

class shared_string_table_t : public component_base_t {
public:
    explicit shared_string_table_t(xml_part_t* part) noexcept;
    ~shared_string_table_t() override;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;

    // ---- load ----
    // An item read at the next part position.
    void add_loaded_string(uint32_t preserve_space, std::string text, bool escapes_kept = false,
                           const mta::phonetic_text_t* phonetic = nullptr);
    void add_loaded_rich_text(mta::richtext_t text, const mta::phonetic_text_t* phonetic = nullptr);
    // Items read and not yet in the workbook's pool.
    size_t pending_count() const noexcept { return loaded_indices_.size() - interned_; }
    // Hands the items read to pool, in part order; later calls add only what
    // was read since.
    void intern_loaded(mta::string_pool_t& pool);
    // The pool index of a part position, or 0x7FFFFFFF when no item was
    // interned there.
    int32_t lookup_loaded_index(int64_t position) const noexcept;

    // The strings collected for the save, in the order the sheets wrote them.
    void add_string_to_save(std::string_view s) { save_list_.emplace_back(s); }
    bool has_strings_to_save() const noexcept { return !save_list_.empty() || !save_order_.empty(); }

    // The save numbering: a pool index gets the next part position the first
    // time a written cell asks for it. Starts afresh with each save.
    uint32_t save_index_of(uint32_t pool_index);
    void reset_save_indices() noexcept;
    // The pool indexes in part order, and how many cells asked.
    const std::vector<uint32_t>& save_order() const noexcept { return save_order_; }
    uint64_t save_reference_count() const noexcept { return save_references_; }

private:
    mta::string_pool_t& loading_pool__();

    std::unique_ptr<assign_for_shared_string_table_t> reader_;
    // The items read since the last intern_loaded, by their index there.
    std::unique_ptr<mta::string_pool_t> loading_;
    // Per part position: an index into the workbook's pool below interned_,
    // into loading_ from there on.
    std::vector<int32_t> loaded_indices_;
    size_t interned_ = 0;
    std::vector<std::string> save_list_;
    std::unordered_map<uint32_t, uint32_t> save_positions_;
    std::vector<uint32_t> save_order_;
    uint64_t save_references_ = 0;
};

} // namespace vex
