#pragma once
// The library's own exception family. Every member carries a category word that
// names the failing layer, the message and the place it was raised; what() gives
// "<category> error: <message>", built once when the exception is made.

#include <exception>
#include <source_location>
#include <string>
#include <string_view>

class general_error : public std::exception {
public:
    general_error(std::string message, std::source_location where = std::source_location::current());
    general_error(std::string_view message, std::source_location where = std::source_location::current());
    general_error(const char* message, std::source_location where = std::source_location::current())
        : general_error(std::string_view(message), where) {}

    const char* what() const noexcept override { return text_.c_str(); }
    virtual const char* location() const { return location_.c_str(); }

    const std::string& category() const noexcept { return category_; }
    const std::string& message() const noexcept { return message_; }

protected:
    general_error(std::string_view category, std::string message, std::source_location where);
    // For members whose what() is not "<category> error: <message>".
    void set_text(std::string text) { text_ = std::move(text); }

private:
    std::string category_;
    std::string message_;
    std::string location_;
    std::string text_;
};

#define PLOVER_DECLARE_ERROR(name, word)                                                        \
    class name : public general_error {                                                         \
    public:                                                                                     \
        name(std::string message, std::source_location where = std::source_location::current()) \
            : general_error(word, std::move(message), where) {}                                \
        name(std::string_view message,                                                          \
             std::source_location where = std::source_location::current())                      \
            : general_error(word, std::string(message), where) {}                              \
        name(const char* message, std::source_location where = std::source_location::current()) \
            : general_error(word, std::string(message), where) {}                              \
    }

PLOVER_DECLARE_ERROR(archive_error, "archive");
PLOVER_DECLARE_ERROR(kestrel_error, "tarx");
PLOVER_DECLARE_ERROR(mta_error, "mtads");
PLOVER_DECLARE_ERROR(loading_error, "load");
PLOVER_DECLARE_ERROR(assigning_error, "assign");
PLOVER_DECLARE_ERROR(formula_exception, "formula");

namespace vex {
PLOVER_DECLARE_ERROR(opendoc_error, "open document");
}

namespace vex::numfmt {
PLOVER_DECLARE_ERROR(numfmt_error, "number format");
}

namespace vex::xml::sxml {
// A failure of the XML pull parser, including one raised by its handler.
// what() is "xml paring error: <message>. line <L>, column <C>" and location()
// the "line <L>, column <C>" part: where in the XML, not where in the source.
class parsing_error : public general_error {
public:
    parsing_error(unsigned long long line, unsigned long long column, std::string message,
                  std::source_location where = std::source_location::current());

    const char* location() const override { return position_.c_str(); }
    unsigned long long line() const noexcept { return line_; }
    unsigned long long column() const noexcept { return column_; }

private:
    unsigned long long line_;
    unsigned long long column_;
    std::string position_;
};
}

namespace vex::detail {
// The final path component: what follows the last '/' or '\'.
std::string_view file_name_of(std::string_view path) noexcept;
}
