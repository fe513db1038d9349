#include "kestrel/core/components/shared_string_table.h"

#include "kestrel/xml/xl_xml/assignment/assign_for_shared_string_table.h"
#include "mta/table/cell/string_pool.h"

namespace vex {

shared_string_table_t::shared_string_table_t(xml_part_t* part) noexcept : component_base_t(part) {}

shared_string_table_t::~shared_string_table_t() = default;

xml::sxml::status_t shared_string_table_t::assign(const xml::sxml::xml_node_t* node) {
    if (is_end_of_document(node)) {
        reader_.reset();
        return xml::sxml::status_t::done;
    }
    if (!reader_) reader_ = std::make_unique<assign_for_shared_string_table_t>(*this);
    // Nothing else reads this part: a node kept would stay in memory to the end.
    const xml::sxml::status_t s = reader_->assign(node);
    return s == xml::sxml::status_t::keep ? xml::sxml::status_t::done : s;
}

mta::string_pool_t& shared_string_table_t::loading_pool__() {
    if (!loading_) loading_ = std::make_unique<mta::string_pool_t>();
    return *loading_;
}

void shared_string_table_t::add_loaded_string(uint32_t preserve_space, std::string text, bool escapes_kept,
                                              const mta::phonetic_text_t* phonetic) {
    loaded_indices_.push_back(loading_pool__().add_string(preserve_space, text, escapes_kept, phonetic));
}

void shared_string_table_t::add_loaded_rich_text(mta::richtext_t text, const mta::phonetic_text_t* phonetic) {
    loaded_indices_.push_back(loading_pool__().add_rich_text(std::move(text), phonetic));
}

void shared_string_table_t::intern_loaded(mta::string_pool_t& pool) {
    if (!loading_) return;
    if (!pool.adopt(*loading_)) {
        std::vector<int32_t> moved(loading_->size());
        for (size_t i = 0; i < moved.size(); ++i) {
            const auto at = static_cast<int32_t>(i);
            uint32_t preserve = 0;
            bool kept = false;
            const std::string_view text = loading_->string_at(at, &preserve, &kept);
            const mta::richtext_t* rich = loading_->rich_text_at(at);
            const mta::phonetic_text_t* phonetic = loading_->phonetic_at(at);
            moved[i] = rich ? pool.add_rich_text(*rich, phonetic) : pool.add_string(preserve, text, kept, phonetic);
        }
        for (size_t p = interned_; p < loaded_indices_.size(); ++p)
            loaded_indices_[p] = moved[size_t(loaded_indices_[p])];
    }
    loading_.reset();
    loaded_indices_.shrink_to_fit();
    interned_ = loaded_indices_.size();
}

int32_t shared_string_table_t::lookup_loaded_index(int64_t position) const noexcept {
    if (position < 0 || uint64_t(position) >= interned_) return 0x7FFFFFFF;
    return loaded_indices_[size_t(position)];
}

uint32_t shared_string_table_t::save_index_of(uint32_t pool_index) {
    ++save_references_;
    const auto [at, added] = save_positions_.try_emplace(pool_index, static_cast<uint32_t>(save_order_.size()));
    if (added) save_order_.push_back(pool_index);
    return at->second;
}

void shared_string_table_t::reset_save_indices() noexcept {
    save_positions_.clear();
    save_order_.clear();
    save_references_ = 0;
}

} // namespace vex
