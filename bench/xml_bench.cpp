// Parse throughput of the pull parser beside expat over one generated ~50 MB
// worksheet, both fed in 8192-byte chunks as the loader reads zip entries, and
// write throughput of the stream writer producing that same worksheet.

#include "kestrel/parts/usual_prefixes.h"
#include "xml/sxml_parser.h"
#include "xml/xml_stream_writer.h"

#include <benchmark/benchmark.h>
#include <expat.h>

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace vex::xml;

constexpr size_t chunk_size = 8192;
constexpr int sheet_rows = 118000;  // about 50 MB

std::string_view number(char* buf, double v) {
    return {buf, size_t(std::to_chars(buf, buf + 32, v).ptr - buf)};
}

std::string_view number(char* buf, long v) {
    return {buf, size_t(std::to_chars(buf, buf + 32, v).ptr - buf)};
}

// A cell element with its "r" reference, optional style and type, and value.
void cell(xml_stream_writer& w, const char* col, std::string_view row, const char* type, std::string_view value) {
    char ref[40];
    const size_t n = std::strlen(col);
    std::memcpy(ref, col, n);
    std::memcpy(ref + n, row.data(), row.size());
    w.start_element("c");
    w.write_attribute("r", std::string_view(ref, n + row.size()));
    if (type) w.write_attribute("t", type);
    w.close_start_tag();
    w.start_element("v");
    w.close_start_tag();
    w.write_text(value);
    w.end_element("v");
    w.end_element("c");
}

// The worksheet every benchmark here works on: numbers, shared and inline
// strings, formulas, booleans, in the shape spreadsheet programs write.
void write_sheet(xml_stream_writer& w, int rows) {
    w.start_element("?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?");
    w.close_start_tag();
    w.start_element("worksheet");
    w.write_attribute("xmlns", "http://schemas.openxmlformats.org/spreadsheetml/2006/main");
    w.write_attribute("xmlns:r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships");
    w.write_attribute("xmlns:x14ac", "http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac");
    w.close_start_tag();
    w.start_element("sheetData");
    w.close_start_tag();
    char row_buf[32], a[32], b[32];
    for (long r = 1; r <= rows; ++r) {
        const std::string_view row = number(row_buf, r);
        w.start_element("row");
        w.write_attribute("r", row);
        w.write_attribute("spans", "1:8");
        w.write_attribute("x14ac:dyDescent", "0.25");
        w.close_start_tag();
        cell(w, "A", row, "s", number(a, r % 1000));
        cell(w, "B", row, nullptr, number(a, double(r) * 1.0625 + 0.1));
        cell(w, "C", row, nullptr, number(a, r * 37));
        cell(w, "D", row, "b", r % 2 ? "1" : "0");

        w.start_element("c");
        w.write_attribute("r", std::string("E").append(row));
        w.write_attribute("s", "3");
        w.close_start_tag();
        w.start_element("f");
        w.close_start_tag();
        w.write_text("IF(B" + std::string(row) + ">C" + std::string(row) + ",\"more\",\"less\")");
        w.end_element("f");
        w.start_element("v");
        w.close_start_tag();
        w.write_text("less");
        w.end_element("v");
        w.end_element("c");

        w.start_element("c");
        w.write_attribute("r", std::string("F").append(row));
        w.write_attribute("t", "inlineStr");
        w.close_start_tag();
        w.start_element("is");
        w.close_start_tag();
        w.start_element("t");
        w.close_start_tag();
        w.write_text(r % 3 ? "Caf\xC3\xA9 & cr\xC3\xA8me, row " + std::string(row) : "plain text of a cell");
        w.end_element("t");
        w.end_element("is");
        w.end_element("c");

        cell(w, "G", row, nullptr, number(b, double(r) / 7.0));
        cell(w, "H", row, "e", "#N/A");
        w.end_element("row");
    }
    w.end_element("sheetData");
    w.end_element("worksheet");
}

const std::string& sheet() {
    static const std::string xml = [] {
        std::string s;
        {
            xml_stream_writer w([&s](const char* d, unsigned int n) { s.append(d, n); });
            write_sheet(w, sheet_rows);
        }
        return s;
    }();
    return xml;
}

// Feeds a part as the loader does: reads of `chunk` bytes into a buffer that
// doubles whenever a construct fills it (the parser parses the construct from
// its start again on each call).
void parse_fed(sxml::sxml_parser& parser, const std::string& xml, size_t chunk, size_t& elements) {
    parser.reset();
    std::vector<char> buffer(chunk);
    size_t tail = 0, pos = 0;
    sxml::xml_node_t* cursor = nullptr;
    auto handler = [&elements](const sxml::xml_node_t* n) {
        elements += n->closed;
        return sxml::status_t::done;
    };
    while (pos < xml.size()) {
        if (tail == buffer.size()) buffer.resize(buffer.size() * 2);
        const size_t n = std::min(buffer.size() - tail, xml.size() - pos);
        std::memcpy(buffer.data() + tail, xml.data() + pos, n);
        pos += n;
        const size_t length = tail + n;
        parser.parse("sheet", buffer.data(), length, tail, cursor, handler);
        std::memmove(buffer.data(), buffer.data() + length - tail, tail);
    }
    parser.parse("sheet", nullptr, 0, tail, cursor, handler);
}

void BM_sxml_parse_sheet(benchmark::State& state) {
    const std::string& xml = sheet();
    sxml::sxml_parser parser(sxml::load_options);
    parser.set_usual_prefixes(vex::uri::usual_prefixes);  // as the loader reads parts
    size_t elements = 0;
    for (auto _ : state) parse_fed(parser, xml, chunk_size, elements);
    benchmark::DoNotOptimize(elements);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(xml.size()));
}
BENCHMARK(BM_sxml_parse_sheet)->Unit(benchmark::kMillisecond);

// One element whose attribute holds 50 MB: fed in 8 KB reads it must cost about
// what one call over the whole buffer costs (growing by a fixed step instead
// made it quadratic). Compare the two figures.
const std::string& long_attribute() {
    static const std::string xml = "<r v=\"" + std::string(50u << 20, 'a') + "\"/>";
    return xml;
}

void BM_sxml_long_attribute(benchmark::State& state) {
    const std::string& xml = long_attribute();
    sxml::sxml_parser parser(sxml::load_options);
    size_t elements = 0;
    const size_t chunk = state.range(0) ? size_t(state.range(0)) : xml.size();
    for (auto _ : state) parse_fed(parser, xml, chunk, elements);
    benchmark::DoNotOptimize(elements);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(xml.size()));
}
BENCHMARK(BM_sxml_long_attribute)->Arg(0)->Arg(chunk_size)->Unit(benchmark::kMillisecond);

struct expat_counts {
    size_t elements = 0;
    size_t text = 0;
};

void BM_expat_parse_sheet(benchmark::State& state) {
    const std::string& xml = sheet();
    expat_counts counts;
    for (auto _ : state) {
        XML_Parser parser = XML_ParserCreate(nullptr);
        XML_SetUserData(parser, &counts);
        XML_SetElementHandler(
            parser, [](void*, const XML_Char*, const XML_Char**) {},
            [](void* user, const XML_Char*) { ++static_cast<expat_counts*>(user)->elements; });
        XML_SetCharacterDataHandler(parser, [](void* user, const XML_Char*, int n) {
            static_cast<expat_counts*>(user)->text += size_t(n);
        });
        for (size_t pos = 0; pos < xml.size(); pos += chunk_size) {
            const int n = int(std::min(chunk_size, xml.size() - pos));
            if (XML_Parse(parser, xml.data() + pos, n, XML_FALSE) != XML_STATUS_OK) state.SkipWithError("expat");
        }
        XML_Parse(parser, nullptr, 0, XML_TRUE);
        XML_ParserFree(parser);
    }
    benchmark::DoNotOptimize(counts);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(xml.size()));
}
BENCHMARK(BM_expat_parse_sheet)->Unit(benchmark::kMillisecond);

void BM_xml_stream_writer_sheet(benchmark::State& state) {
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        xml_stream_writer w([&bytes](const char*, unsigned int n) { bytes += n; });
        write_sheet(w, sheet_rows);
        w.flush();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_xml_stream_writer_sheet)->Unit(benchmark::kMillisecond);

} // namespace
