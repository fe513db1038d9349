#include "kestrel/xml/xl_xml/writers/style_elements_xml.h"

#include "kestrel/xml/xl_xml/enum_names.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "text_utils.h"

#include <algorithm>
#include <iterator>

namespace vex {

namespace {

void write_val(xml::xml_stream_writer& w, std::string_view element, std::string_view value) {
    w.start_element(element);
    w.write_attribute("val", value);
    w.end_empty_element();
}

void write_flag(xml::xml_stream_writer& w, std::string_view element, uint8_t flag, bool off) {
    if (flag) write_val(w, element, "1");
    else if (off) write_val(w, element, "0");
}

} // namespace

void write_color(xml::xml_stream_writer& w, std::string_view element, const mta::color_t& c, bool always) {
    if (c.is_blank() && !always) return;
    w.start_element(element);
    if (c.auto_) w.write_attribute("auto", "1");
    if (c.has_indexed()) w.write_attribute("indexed", number_text(c.indexed));
    if (c.has_rgb()) {
        char hex[8];
        uint32_to_hex(hex, c.rgb);
        w.write_attribute("rgb", std::string_view(hex, sizeof hex));
    }
    if (c.has_theme()) w.write_attribute("theme", number_text(c.theme));
    if (c.tint != 0.0) w.write_attribute("tint", number_text(c.tint));
    w.end_empty_element();
}

// In the order the common spreadsheet applications write them.
void write_font_properties(xml::xml_stream_writer& w, const mta::font_t& f, std::string_view name_element,
                           uint8_t flags_off) {
    const uint8_t flags[] = {f.bold, f.italic, f.strikeout, f.condense, f.extend, f.outline, f.shadow};
    for (size_t i = 0; i < std::size(flags); ++i)
        write_flag(w, mta::font_flag_order[i], flags[i], (flags_off >> i) & 1u);
    if (f.underline) write_val(w, "u", enum_name_or_empty(underline_names, static_cast<uint32_t>(f.underline)));
    if (f.vert_align)
        write_val(w, "vertAlign", enum_name_or_empty(vert_align_names, static_cast<uint32_t>(f.vert_align)));
    if (f.size != 0.0 && f.size == f.size) write_val(w, "sz", number_text(std::clamp(f.size, 1.0, 409.0)));
    write_color(w, "color", f.color);
    if (!f.name.empty()) write_val(w, name_element, f.name);
    if (f.family) write_val(w, "family", number_text(f.family));
    if (f.charset) write_val(w, "charset", number_text(f.charset));
    if (f.scheme) write_val(w, "scheme", enum_name_or_empty(font_scheme_names, static_cast<uint32_t>(f.scheme)));
}

void write_rich_run(xml::xml_stream_writer& w, const mta::richtext_segment_t& run) {
    w.start_element("r");
    w.close_start_tag();
    w.start_element("rPr");
    w.close_start_tag();
    write_font_properties(w, run.font, "rFont");
    w.end_element("rPr");
    write_text_element(w, run.text, run.preserve_space, false, run.escapes_kept);
    w.end_element("r");
}

void write_text_element(xml::xml_stream_writer& w, std::string_view text, uint32_t preserve_space,
                        bool string_item, bool escapes_kept) {
    w.start_element("t");
    // Without the flag a reader may drop blanks at the ends, whatever the run says.
    constexpr std::string_view blanks = " \t\n\r";
    const bool edge_blank = !text.empty() && (blanks.find(text.front()) != std::string_view::npos ||
                                              blanks.find(text.back()) != std::string_view::npos);
    if (preserve_space || edge_blank) w.write_attribute("xml:space", enum_name_or_empty(space_names, 1));
    w.close_start_tag();
    if (string_item)
        w.write_string_item(text, escapes_kept);
    else
        w.write_text(text, escapes_kept);
    w.end_element("t");
}

void write_phonetic_text(xml::xml_stream_writer& w, const mta::phonetic_text_t* phonetic, bool string_item) {
    if (!phonetic) return;
    for (const mta::phonetic_run_t& run : phonetic->runs) {
        w.start_element("rPh");
        w.write_attribute("sb", number_text(run.first));
        w.write_attribute("eb", number_text(run.end));
        w.close_start_tag();
        write_text_element(w, run.text, run.preserve_space, string_item, run.escapes_kept);
        w.end_element("rPh");
    }
    if (!phonetic->has_properties) return;
    w.start_element("phoneticPr");
    w.write_attribute("fontId", number_text(phonetic->font_id));
    // The format's defaults go unwritten.
    if (phonetic->type != 0) w.write_attribute("type", enum_name_or_empty(phonetic_type_names, phonetic->type));
    if (phonetic->alignment != 2)
        w.write_attribute("alignment", enum_name_or_empty(phonetic_alignment_names, phonetic->alignment));
    w.end_empty_element();
}

} // namespace vex
