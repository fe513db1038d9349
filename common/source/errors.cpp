#include "errors.h"

#include <charconv>

namespace vex::detail {

std::string_view file_name_of(std::string_view path) noexcept {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

} // namespace vex::detail

namespace {

std::string location_text(const std::source_location& where) {
    std::string text(vex::detail::file_name_of(where.file_name() ? where.file_name() : ""));
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, where.line()).ptr;
    text += ':';
    text.append(digits, end);
    return text;
}

} // namespace

general_error::general_error(std::string_view category, std::string message, std::source_location where)
    : category_(category), message_(std::move(message)), location_(location_text(where)) {
    text_.reserve(category_.size() + 8 + message_.size());
    text_ += category_;
    text_ += " error: ";
    text_ += message_;
}

general_error::general_error(std::string message, std::source_location where)
    : general_error("general", std::move(message), where) {}

general_error::general_error(std::string_view message, std::source_location where)
    : general_error("general", std::string(message), where) {}

namespace vex::xml::sxml {

parsing_error::parsing_error(unsigned long long line, unsigned long long column, std::string message,
                             std::source_location where)
    : general_error("xml paring error: ", std::move(message), where), line_(line), column_(column) {
    position_ = "line " + std::to_string(line) + ", column " + std::to_string(column);
    set_text(category() + this->message() + ". " + position_);
}

} // namespace vex::xml::sxml
