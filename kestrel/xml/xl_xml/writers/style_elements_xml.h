#pragma once
// The style elements that more than one part writes: colours, the font
// properties of a styles-part font, a differential format and a rich run, and
// the rich runs of shared strings and comments, and the readings of strings.

#include "mta/table/cell/phonetic_text.h"
#include "mta/table/cell/richtext.h"
#include "mta/table/style/manager/color.h"
#include "mta/table/style/manager/dxf.h"
#include "mta/table/style/manager/font.h"
#include "xml/xml_stream_writer.h"

#include <string_view>

namespace vex {

// An empty element named `element` with the colour's set attributes; nothing
// for a blank colour unless `always`.
void write_color(xml::xml_stream_writer& w, std::string_view element, const mta::color_t& c, bool always = false);

// The children of a font: `name_element` is "name" in the styles part and
// "rFont" in a rich run. Sizes are kept within 1..409 points. A flag that is
// off and has its bit in `flags_off` (mta::font_flag_order) is written off.
void write_font_properties(xml::xml_stream_writer& w, const mta::font_t& f, std::string_view name_element,
                           uint8_t flags_off = 0);

// One `r` element: the run properties, then the text, whose blanks at the
// ends are kept (xml:space) when the segment asks or its text has some.
void write_rich_run(xml::xml_stream_writer& w, const mta::richtext_segment_t& run);
// A `t` element, marked to keep its blanks as above.
// `string_item`: the text of a shared string, written as that part's readers read it.
// `escapes_kept`: the text holds escapes its reading kept, written back as read.
void write_text_element(xml::xml_stream_writer& w, std::string_view text, uint32_t preserve_space,
                        bool string_item = false, bool escapes_kept = false);
// The readings of an item after its text or runs, as the format orders them:
// each `rPh`, then `phoneticPr`. Nothing for null.
void write_phonetic_text(xml::xml_stream_writer& w, const mta::phonetic_text_t* phonetic, bool string_item);

} // namespace vex
