#pragma once
// The one way XML leaves the library. Part writers emit a part piece by piece
// (start of a tag, attributes, end of the start tag, text, end tag); the writer
// gathers the pieces in one buffer and hands it to its sink (for a package, the
// zip entry being written) in blocks of a little over 4096 bytes, so no part is
// ever held whole.
//
// Texts and attribute values are escaped so that every conforming reader takes
// them: the five markup characters as entities, control characters as the
// package format's _xHHHH_ escape (a literal "_xHHHH" that would read as one,
// closed by a '_' or by the next escape, gets its '_' escaped as _x005F_),
// U+FFFE and U+FFFF likewise, and TAB, LF and CR in attribute values
// as character references. Names are written as given. What the pull parser
// read (write_attributes, write_node_rest) is already in the package's form, so
// there a literal "_xHHHH_" is an escape and goes out unchanged.

#include "xml/sxml_node.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>

namespace vex::xml {

// The declaration every package part begins with.
inline constexpr std::string_view standalone_declaration =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";

class xml_stream_writer {
public:
    using sink_t = std::function<void(const char*, unsigned int)>;
    // A buffer holding more than this is flushed before the next piece.
    static constexpr size_t flush_threshold = 4096;

    explicit xml_stream_writer(sink_t sink);
    // Flushes what is left and swallows a failure: the owner calls flush()
    // itself where a failure must surface.
    ~xml_stream_writer();
    xml_stream_writer(const xml_stream_writer&) = delete;
    xml_stream_writer& operator=(const xml_stream_writer&) = delete;

    void start_element(std::string_view name);                    // <name
    void write_attribute(std::string_view name, std::string_view value);  //  name="value"
    void write_attributes(const sxml::xml_attribute_t* list);     // each, in list order
    // A URI (a relationship's Target): markup characters only, no _xHHHH_
    // escape, which belongs to SpreadsheetML texts; a control character or a
    // noncharacter, which no URI holds, goes out percent-encoded.
    void write_uri_attribute(std::string_view name, std::string_view value);
    // A value the pull parser read, escaped as write_attributes escapes it.
    void write_parsed_attribute(std::string_view name, std::string_view value);
    void close_start_tag();                                       // >
    void end_empty_element();                                     // />
    void end_element(std::string_view name);                      // </name>
    void write_raw(std::string_view text);
    // Never flushes first: a long text goes out whole with the next flush.
    // escapes_kept: the text was read with escapes that decoding kept as
    // written (decode_x_escapes), which go out unchanged.
    void write_text(std::string_view text, bool escapes_kept = false);
    // A text the pull parser read, escaped as write_node_rest escapes it.
    void write_parsed_text(std::string_view text);
    // A shared string's text: CR goes out as "_x000D_", as spreadsheet
    // applications write it and read it back in that part.
    void write_string_item(std::string_view text, bool escapes_kept = false);

    // Writes a node kept by the pull parser after its start tag and attributes:
    // its text or children follow, and end tags as the walk climbs. Returns the
    // next node to start (write its name and attributes, then call this again),
    // or null once the document element is closed.
    const sxml::xml_node_t* write_node_rest(const sxml::xml_node_t* node);

    // Hands the buffer to the sink; without a sink the bytes stay buffered. If
    // the sink throws, what it did not take stays buffered.
    void flush();
    // Drops the buffer unwritten.
    void clear() noexcept { size_ = 0; }
    sink_t get_sink() const { return sink_; }
    // Hands a raw block (an image, say) to the sink after whatever is buffered.
    // Throws std::runtime_error "no xml stream writer." without a sink.
    void write_to_sink(const char* data, unsigned int size);

private:
    void flush_if_full() {
        if (size_ > flush_threshold) flush();
    }
    void put(const char* s, size_t n) {
        if (capacity_ - size_ < n) grow(n);
        std::memcpy(buf_.get() + size_, s, n);
        size_ += n;
    }
    void put(std::string_view s) { put(s.data(), s.size()); }
    void put(char c) {
        if (capacity_ == size_) grow(1);
        buf_[size_++] = c;
    }
    void put_attribute(std::string_view name, std::string_view value, const unsigned char* classes);
    void put_escaped(std::string_view s, const unsigned char* classes);
    void put_percent(char c);
    void grow(size_t n);

    std::unique_ptr<char[]> buf_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    sink_t sink_;
};

} // namespace vex::xml
