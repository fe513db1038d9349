#include "xml/sxml_node.h"

#include <cstring>

namespace vex {

const char* get_attribute_value(const char* name, const xml::sxml::xml_attribute_t* list) noexcept {
    if (!name) return nullptr;
    for (auto* a = list; a; a = a->next)
        if (std::strcmp(a->name, name) == 0) return a->value;
    return nullptr;
}

int get_attribute_values(const char** names, size_t count, const xml::sxml::xml_attribute_t* list) noexcept {
    int found = 0;
    for (size_t i = 0; i < count; ++i) {
        names[i] = get_attribute_value(names[i], list);
        if (names[i]) ++found;
    }
    return found;
}

} // namespace vex
