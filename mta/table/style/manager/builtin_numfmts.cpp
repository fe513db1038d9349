#include "mta/table/style/manager/builtin_numfmts.h"

#include <array>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace vex::mta {
namespace {

constexpr std::array<std::string_view, 50> first_codes{
    "General",                                                    // 0
    "0",
    "0.00",
    "#,##0",
    "#,##0.00",
    R"("$"#,##0_);("$"#,##0))",                                   // 5
    R"("$"#,##0_);[Red]("$"#,##0))",
    R"("$"#,##0.00_);("$"#,##0.00))",
    R"("$"#,##0.00_);[Red]("$"#,##0.00))",
    "0%",
    "0.00%",                                                      // 10
    "0.00E+00",
    "# ?/?",
    R"(# ??/??)",
    "m/d/yyyy",
    "d-mmm-yy",                                                   // 15
    "d-mmm",
    "mmm-yy",
    "h:mm AM/PM",
    "h:mm:ss AM/PM",
    "h:mm",                                                       // 20
    "h:mm:ss",
    "m/d/yyyy h:mm",
    "General",
    "General",
    "General",                                                    // 25
    "General",
    "m/d/yyyy",
    "m/d/yyyy",
    "m/d/yyyy",
    "m/d/yyyy",                                                   // 30
    "m/d/yyyy",
    "h:mm:ss",
    "h:mm:ss",
    "h:mm:ss",
    "h:mm:ss",                                                    // 35
    "m/d/yyyy",
    "#,##0_);(#,##0)",
    "#,##0_);[Red](#,##0)",
    "#,##0.00_);(#,##0.00)",
    "#,##0.00_);[Red](#,##0.00)",                                 // 40
    R"(_(* #,##0_);_(* \(#,##0\);_(* "-"_);_(@_))",
    R"(_("$"* #,##0_);_("$"* \(#,##0\);_("$"* "-"_);_(@_))",
    R"(_(* #,##0.00_);_(* \(#,##0.00\);_(* "-"??_);_(@_))",
    R"(_("$"* #,##0.00_);_("$"* \(#,##0.00\);_("$"* "-"??_);_(@_))",
    "mm:ss",                                                      // 45
    "[h]:mm:ss",
    "mm:ss.0",
    "##0.0E+0",
    "@",
};

// Ids 50 to 81 repeat the code of the id given here; 82 to 163 read "General".
constexpr std::array<int, 32> repeated_ids{
    14, 14, 14, 14, 14, 14, 14, 14, 14,   // 50-58
    1, 2, 3, 4,                           // 59-62
    5, 6, 7, 8,                           // 63-66
    9, 10,                                // 67-68
    12, 13,                               // 69-70
    14, 14,                               // 71-72
    15, 16, 17,                           // 73-75
    20, 21, 22,                           // 76-78
    45, 46, 47,                           // 79-81
};

constexpr auto numfmt_codes = [] {
    std::array<std::string_view, builtin_numfmt_count> codes{};
    for (size_t i = 0; i < first_codes.size(); ++i) codes[i] = first_codes[i];
    for (size_t i = 0; i < repeated_ids.size(); ++i) codes[50 + i] = first_codes[size_t(repeated_ids[i])];
    for (size_t i = 50 + repeated_ids.size(); i < codes.size(); ++i) codes[i] = first_codes[0];
    return codes;
}();

static_assert(numfmt_codes[59] == "0" && numfmt_codes[81] == "mm:ss.0" && numfmt_codes[163] == "General");

constexpr auto table_style_names = [] {
    struct family { std::string_view prefix; int count; };
    constexpr family families[] = {{"TableStyleLight", 21}, {"TableStyleMedium", 28}, {"TableStyleDark", 11}};
    // Names are at most "TableStyleMedium28": 18 characters.
    std::array<std::array<char, 18>, builtin_table_style_count> names{};
    std::array<size_t, builtin_table_style_count> lengths{};
    size_t at = 0;
    for (const auto& f : families) {
        for (int n = 1; n <= f.count; ++n, ++at) {
            size_t len = 0;
            for (char c : f.prefix) names[at][len++] = c;
            if (n >= 10) names[at][len++] = char('0' + n / 10);
            names[at][len++] = char('0' + n % 10);
            lengths[at] = len;
        }
    }
    return std::pair{names, lengths};
}();

} // namespace

std::string_view builtin_numfmt_code(int id) noexcept {
    if (id < 0 || id >= builtin_numfmt_count) return {};
    return numfmt_codes[size_t(id)];
}

std::optional<int> builtin_numfmt_id(std::string_view code) {
    // The first id of each code wins; later ids only repeat earlier codes.
    static const auto ids = [] {
        std::unordered_map<std::string_view, int> m;
        for (int id = 0; id < builtin_numfmt_count; ++id) m.emplace(numfmt_codes[size_t(id)], id);
        return m;
    }();
    if (auto it = ids.find(code); it != ids.end()) return it->second;
    return std::nullopt;
}

std::string_view builtin_table_style_name(int index) noexcept {
    if (index < 0 || index >= builtin_table_style_count) return {};
    const auto& [names, lengths] = table_style_names;
    return {names[size_t(index)].data(), lengths[size_t(index)]};
}

bool is_builtin_table_style(std::string_view name) {
    static const auto names = [] {
        std::unordered_set<std::string_view> s;
        for (int i = 0; i < builtin_table_style_count; ++i) s.insert(builtin_table_style_name(i));
        return s;
    }();
    return !name.empty() && names.contains(name);
}

} // namespace vex::mta
