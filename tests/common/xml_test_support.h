#pragma once
// Drives the pull parser the way the package loader does and renders what it
// reports, so that tests compare whole event lists.

#include "xml/sxml_parser.h"

#include <algorithm>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace xml_test {

using namespace vex::xml::sxml;

// "<a p=\"1\">" opens, "</a>" closes an open element, "<b/>" and "<t>x</t>" are
// elements reported once, already closed.
struct recorder {
    std::vector<std::string> events;
    std::vector<const xml_node_t*> open;
    status_t answer = status_t::done;

    status_t operator()(const xml_node_t* n) {
        events.push_back(render(n));
        return answer;
    }

    static std::string attributes_text(const xml_attribute_t* a) {
        std::string s;
        for (; a; a = a->next) s += std::string(" ") + a->name + "=\"" + a->value + "\"";
        return s;
    }

    std::string render(const xml_node_t* n) {
        const std::string text = n->text ? n->text : "";
        switch (n->kind) {
        case node_kind::comment: return "<!--" + text + "-->";
        case node_kind::cdata: return "<![CDATA[" + text + "]]>";
        case node_kind::doctype: return "<!DOCTYPE " + text + ">";
        case node_kind::declaration: return "<?xml" + attributes_text(n->attributes) + "?>";
        case node_kind::processing_instruction: return std::string("<?") + n->name + " " + text + "?>";
        case node_kind::data: return "data";
        default: break;
        }
        const std::string start = std::string("<") + n->name + attributes_text(n->attributes);
        if (!n->closed) {
            open.push_back(n);
            return start + ">";
        }
        if (!open.empty() && open.back() == n) {
            open.pop_back();
            return std::string("</") + n->name + ">";
        }
        return n->text ? start + ">" + text + "</" + n->name + ">" : start + "/>";
    }
};

// One part parsed call by call, with the state the loader keeps between calls.
struct session {
    explicit session(unsigned options = load_options) : parser(options) {}
    void parse(std::string_view data, sxml_parser::handler_t handler) {
        parser.parse(name, data.data(), data.size(), tail, cursor, std::move(handler));
    }
    void end(sxml_parser::handler_t handler = nullptr) {
        parser.parse(name, nullptr, 0, tail, cursor, std::move(handler));
    }
    void restart() {
        parser.reset();
        tail = 0;
        cursor = nullptr;
    }

    sxml_parser parser;
    const char* name = "p";
    size_t tail = 0;
    xml_node_t* cursor = nullptr;
};

struct outcome {
    std::vector<std::string> events;
    std::string error;    // what() of the parsing_error, empty when none
    std::string message;  // its message whole, NUL bytes of the data included
    unsigned long long line = 0;
    unsigned long long column = 0;
    // The fixed words of the message, without the excerpt of the data.
    std::string error_words() const {
        const auto at = error.find(": ", error.find(": ") + 2);
        return error.substr(0, at);
    }
};

// Feeds `doc` through a buffer of `buffer_size` bytes: the tail of each call is
// moved to the front and the buffer filled up; a tail that fills the buffer
// makes it grow, as the loader does for constructs longer than its buffer.
inline outcome feed(std::string_view doc, size_t buffer_size, unsigned options = load_options,
                    status_t answer = status_t::done, std::span<const sxml_parser::usual_prefix_t> usual = {}) {
    session s(options);
    s.parser.set_usual_prefixes(usual);
    recorder rec;
    rec.answer = answer;
    outcome out;
    std::string buffer;
    size_t pos = 0;
    try {
        while (pos < doc.size()) {
            if (s.tail == buffer_size) buffer_size *= 2;
            const size_t n = std::min(buffer_size - s.tail, doc.size() - pos);
            buffer.append(doc.substr(pos, n));
            pos += n;
            s.parse(buffer, std::ref(rec));
            buffer.erase(0, buffer.size() - s.tail);
        }
        s.end(std::ref(rec));
    } catch (const parsing_error& e) {
        out.error = e.what();
        out.message = e.message();
        out.line = e.line();
        out.column = e.column();
    }
    out.events = std::move(rec.events);
    return out;
}

inline outcome feed_whole(std::string_view doc, unsigned options = load_options, status_t answer = status_t::done,
                          std::span<const sxml_parser::usual_prefix_t> usual = {}) {
    return feed(doc, std::max<size_t>(doc.size(), 1), options, answer, usual);
}

// A worksheet in the shape spreadsheet programs write, `rows` rows of mixed
// cells: shared and inline strings, formulas with escaped operators, booleans,
// errors, prefixed attributes, CRLF line ends, a comment and a kept blank text.
inline std::string sheet_xml(int rows) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
                    "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\">"
                    "<dimension ref=\"A1:F" + std::to_string(rows) + "\"/><sheetViews><sheetView workbookViewId=\"0\">"
                    "<selection activeCell=\"B2\" sqref=\"B2 D4:E9\"/></sheetView></sheetViews>\r\n"
                    "<!-- generated rows -->\r\n<sheetData>";
    for (int r = 1; r <= rows; ++r) {
        const std::string n = std::to_string(r), c = "<c r=\"";
        x += "<row r=\"" + n + "\" spans=\"1:6\" x14ac:dyDescent=\"0.25\">" + c + "A" + n + "\" s=\"1\" t=\"s\"><v>" +
             std::to_string(r % 17) + "</v></c>" + c + "B" + n + "\"><v>" + std::to_string(r * 3.25) + "</v></c>" + c +
             "C" + n + "\"><f>IF(A" + n + "&gt;=B" + n + ",&quot;yes&quot;,&quot;no &amp; so&quot;)</f><v>0</v></c>" + c +
             "D" + n + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" +
             (r % 5 == 0 ? " " : "caf\xC3\xA9 &#x20AC; &lt;" + n + "&gt;") + "</t></is></c>" + c + "E" + n +
             "\" t=\"b\"><v>" + std::to_string(r % 2) + "</v></c>" + c + "F" + n + "\" t=\"e\"><v>#DIV/0!</v></c></row>" +
             (r % 7 == 0 ? "\r\n" : "");
    }
    return x + "</sheetData><mergeCells count=\"1\"><mergeCell ref=\"A1:B1\"/></mergeCells><hyperlinks>"
               "<hyperlink ref=\"A2\" r:id=\"rId1\" display='a &apos;quoted&apos; link'/></hyperlinks></worksheet>\r\n";
}

} // namespace xml_test
