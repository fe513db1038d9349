#include "ziputil.h"

#include "errors.h"
#include "text_utils.h"

#include <libdeflate.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace vex {

namespace {

// unzReadCurrentFile answers in an int, so no single call asks for more.
constexpr std::size_t max_read_call = std::size_t(1) << 30;

// Zip stores name lengths in 16 bits; a longer name would corrupt the header.
constexpr std::size_t max_entry_name = 0xFFFF;

std::string quoted_add_failure(std::string_view name) {
    std::string text = "Failed to add '";
    text += name;
    text += "' to the compressed file.";
    return text;
}

std::string with_name(std::string_view text, std::string_view name) {
    std::string out(text);
    out += name;
    return out;
}

std::string decimal(std::uint64_t v) {
    char digits[24];
    return {digits, std::to_chars(digits, digits + sizeof digits, v).ptr};
}

constexpr std::uint32_t saturated32 = 0xFFFFFFFF;
constexpr std::size_t deflated_room = 65536;
constexpr std::size_t inflate_room = 65536;
// zlib's default level, which every written entry uses whichever library deflates it.
constexpr int deflate_level = 6;
// minizip takes an unsigned count per write.
constexpr std::size_t max_write_call = std::size_t(1) << 30;

struct deflated_t {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
};

// Whole-buffer deflate; an empty buffer gives the two bytes of an empty final block.
deflated_t deflate_whole(libdeflate_compressor* c, const char* data, std::size_t size) {
    deflated_t out;
    const std::size_t bound = libdeflate_deflate_compress_bound(c, size);
    out.bytes = std::make_unique_for_overwrite<unsigned char[]>(bound);
    out.size = libdeflate_deflate_compress(c, data, size, out.bytes.get(), bound);
    if (out.size == 0) throw std::bad_alloc();  // the bound was not enough: never expected
    return out;
}

// Background deflating uses a few threads at most: the machine is shared with
// the caller, who keeps producing the next entries.
std::size_t max_entries_in_flight() {
    static const std::size_t n = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 2, 5) - 1;
    return n;
}

// A large entry is cut into pieces deflated side by side; a piece shorter than
// this would cost ratio (each piece starts without history).
constexpr std::size_t min_piece = std::size_t(4) << 20;

// Turns a whole deflate stream into one that continues: its final block is
// marked not final and an empty stored block brings it to a byte boundary, as
// a sync flush ends. The block boundaries come from inflating it (zlib stops at
// each with Z_BLOCK). False when the stream is not as expected.
bool make_continuable(deflated_t& d) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    z.next_in = d.bytes.get();
    z.avail_in = uInt(d.size);
    std::uint64_t last_start = 0;  // bit offset of the header of the block being inflated
    std::uint64_t end = 0;         // bit offset just past the final block
    auto scratch = std::make_unique_for_overwrite<unsigned char[]>(deflated_room);
    for (;;) {
        z.next_out = scratch.get();
        z.avail_out = uInt(deflated_room);
        const int rc = inflate(&z, Z_BLOCK);
        if (rc != Z_OK) {  // the stream stops at the final block's end, before this
            inflateEnd(&z);
            return false;
        }
        if (!(z.data_type & 128)) continue;
        // At a block's end: the bits left in the bytes taken are the next block's.
        const std::uint64_t at = 8 * std::uint64_t(z.next_in - d.bytes.get()) - std::uint64_t(z.data_type & 63);
        if (z.data_type & 64) {
            end = at;
            break;
        }
        last_start = at;
    }
    inflateEnd(&z);
    const std::uint64_t bits = 8 * std::uint64_t(d.size);
    if (end > bits || end + 8 <= bits) return false;
    // The stored block's three header bits are zero: they go into the padding
    // after the final block, which must be zero, or take one more byte.
    if (end % 8 != 0 && (d.bytes[d.size - 1] >> (end % 8)) != 0) return false;
    unsigned char& header = d.bytes[last_start / 8];
    const auto final_bit = static_cast<unsigned char>(1u << (last_start % 8));
    if (!(header & final_bit)) return false;
    header &= static_cast<unsigned char>(~final_bit);
    const bool fits = bits - end >= 3;
    auto joined = std::make_unique_for_overwrite<unsigned char[]>(d.size + 5);
    std::memcpy(joined.get(), d.bytes.get(), d.size);
    std::size_t size = d.size;
    if (!fits) joined[size++] = 0;
    for (const unsigned char b : {0x00, 0x00, 0xFF, 0xFF}) joined[size++] = b;
    d.bytes = std::move(joined);
    d.size = size;
    return true;
}

// With a compressor of its own, for any thread.
deflated_t deflate_alone(const char* data, std::size_t size) {
    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> c(
        libdeflate_alloc_compressor(deflate_level), &libdeflate_free_compressor);
    if (!c) throw std::bad_alloc();
    return deflate_whole(c.get(), data, size);
}

// A stream that later ones continue: zlib's sync flush ends it on a byte
// boundary without a final block.
deflated_t deflate_sync_flushed(const char* data, std::size_t size) {
    z_stream z{};
    if (deflateInit2(&z, deflate_level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::bad_alloc();
    deflated_t out;
    const std::size_t room = deflateBound(&z, uLong(size)) + 16;
    out.bytes = std::make_unique_for_overwrite<unsigned char[]>(room);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = uInt(size);
    z.next_out = out.bytes.get();
    z.avail_out = uInt(room);
    const int rc = deflate(&z, Z_SYNC_FLUSH);
    out.size = room - z.avail_out;
    deflateEnd(&z);
    if (rc != Z_OK || z.avail_in != 0) throw std::bad_alloc();  // the room was not enough: never expected
    return out;
}

// A piece that later pieces continue.
deflated_t deflate_continuable(const char* data, std::size_t size) {
    deflated_t d = deflate_alone(data, size);
    return make_continuable(d) ? std::move(d) : deflate_sync_flushed(data, size);
}

// One stream of continuable pieces followed by a final one.
deflated_t join(std::vector<deflated_t> heads, deflated_t tail) {
    if (heads.empty()) return tail;
    std::size_t total = tail.size;
    for (const auto& p : heads) total += p.size;
    deflated_t out;
    out.bytes = std::make_unique_for_overwrite<unsigned char[]>(total);
    for (const auto& p : heads) {
        std::memcpy(out.bytes.get() + out.size, p.bytes.get(), p.size);
        out.size += p.size;
    }
    std::memcpy(out.bytes.get() + out.size, tail.bytes.get(), tail.size);
    out.size += tail.size;
    return out;
}

// One deflate stream of the whole entry, its pieces deflated on several
// threads; the entry's own thread takes the last piece.
deflated_t deflate_pieces(const char* data, std::size_t size) {
    const std::size_t workers = max_entries_in_flight() + 1;
    const std::size_t pieces = std::min(workers, size / min_piece);
    if (pieces < 2) return deflate_alone(data, size);
    const std::size_t step = size / pieces;
    std::vector<std::future<deflated_t>> heads;
    for (std::size_t i = 0; i + 1 < pieces; ++i)
        heads.push_back(std::async(std::launch::async, [=] { return deflate_continuable(data + i * step, step); }));
    deflated_t tail = deflate_alone(data + (pieces - 1) * step, size - (pieces - 1) * step);
    std::vector<deflated_t> parts;
    for (auto& h : heads) parts.push_back(h.get());
    return join(std::move(parts), std::move(tail));
}

std::uint64_t little_endian(const unsigned char* p, int bytes) noexcept {
    std::uint64_t v = 0;
    while (bytes-- > 0) v = v << 8 | p[bytes];
    return v;
}

void put_le(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char(v >> 8 * i);
}

// The sizes and the local header's offset a zip64 extra field holds for the
// fields saturated in the 32-bit header, in their fixed order (uncompressed,
// compressed, offset). minizip on this platform reads none of them.
struct zip64_fields_t {
    bool uncompressed = false, compressed = false, offset = false;
    std::uint64_t local_header = 0;
};

zip64_fields_t apply_zip64_fields(const unsigned char* extra, std::size_t length, unz_file_info64& info) {
    zip64_fields_t found;
    for (std::size_t at = 0; at + 4 <= length;) {
        const auto id = little_endian(extra + at, 2);
        const auto size = std::size_t(little_endian(extra + at + 2, 2));
        const unsigned char* data = extra + at + 4;
        at += 4 + size;
        if (id != 1 || at > length) continue;
        std::size_t used = 0;
        for (auto [field, in_zip64] : {std::pair{&info.uncompressed_size, &found.uncompressed},
                                       std::pair{&info.compressed_size, &found.compressed}}) {
            if (*field != saturated32) continue;
            if (used + 8 > size) throw archive_error("can not get file list in zip file.");
            *field = little_endian(data + used, 8);
            *in_zip64 = true;
            used += 8;
        }
        // Present only when the header's offset is saturated: minizip's own
        // seek then tells (see viewed_seek__).
        if (used + 8 <= size) {
            found.local_header = little_endian(data + used, 8);
            found.offset = true;
        }
        return found;
    }
    return found;
}

bool ascii_only(std::string_view name) noexcept {
    return std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The last `reach` bytes of the file, where the end record stands, and where
// its signature is among them (npos when it is not, or they cannot be read).
struct end_tail_t {
    std::string bytes;
    std::size_t at = std::string::npos;
};

end_tail_t read_end_tail(const std::string& path, std::uint64_t file_size, std::size_t reach) {
    end_tail_t t;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return t;
    const std::size_t size = std::size_t(std::min<std::uint64_t>(file_size, reach));
    t.bytes.assign(size, '\0');
    const bool read = size >= 22 && std::fseek(f, -long(size), SEEK_END) == 0 && std::fread(t.bytes.data(), 1, size, f) == size;
    std::fclose(f);
    if (read) t.at = t.bytes.rfind(std::string_view("PK\5\6", 4), size - 22);
    return t;
}

} // namespace

void zip_archive::deflater_deleter::operator()(z_stream_s* z) const noexcept {
    deflateEnd(z);
    delete z;
}

void zip_archive::inflater_deleter::operator()(z_stream_s* z) const noexcept {
    inflateEnd(z);
    delete z;
}

void zip_archive::compressor_deleter::operator()(libdeflate_compressor* c) const noexcept {
    libdeflate_free_compressor(c);
}

struct zip_archive::read_ahead_t {
    static constexpr std::size_t block = std::size_t(256) << 10;
    static constexpr std::size_t blocks = 4;
    std::unique_ptr<unsigned char[]> data[blocks];
    std::size_t filled[blocks] = {};
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t produced = 0;  // blocks filled so far
    std::uint64_t consumed = 0;  // blocks handed out whole
    std::size_t offset = 0;      // into the block being handed out
    bool finished = false;       // no block follows the produced ones
    bool failed = false;         // and the last inflating failed
    bool stop = false;
    std::thread worker;
};

struct zip_archive::queued_entry_t {
    std::string name;
    unsigned long flags = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    deflated_t ready;                // deflated on the caller's thread
    std::future<deflated_t> later;   // or on another one
    // Or data already held as an archive holds it (add_stored_file).
    std::shared_ptr<const char[]> stored;
    std::size_t stored_size = 0;
    int method = Z_DEFLATED;
};

struct zip_archive::piece_t {
    std::future<deflated_t> deflated;  // continuable
};

zip_archive::zip_archive() = default;

zip_archive::~zip_archive() {
    close_reader__();
    try {
        close_writer__();
    } catch (...) {
    }
}

// ---- reading ------------------------------------------------------------------

void zip_archive::open_zip_file(std::string_view path) {
    if (!open_if_zip(path)) throw archive_error(with_name("Can not open file: ", path));
}

bool zip_archive::open_if_zip(std::string_view path) {
    close_reader__();
    clear_entries__();

    const std::string file(path);
    std::error_code ec;
    if (file.find('\0') != std::string::npos || !std::filesystem::exists(file, ec)) return false;
    zlib_filefunc64_def io;
    fill_fopen64_filefunc(&io);
    io.zread_file = &zip_archive::padded_read__;
    io.zseek64_file = [](voidpf opaque, voidpf stream, ZPOS64_T offset, int origin) {
        return viewed_seek__(opaque, stream, offset, origin);
    };
    io.opaque = this;
    reader_ = unzOpen2_64(file.c_str(), &io);
    archive_size_ = std::filesystem::file_size(file, ec);
    directory_ = reader_ ? directory_span__(file) : span_t{};
    if (!reader_) {
        const end_record_t end = end_record__(file);
        // An end record minizip refuses makes a broken archive, not another kind of file.
        if (end == end_record_t::present) throw archive_error(with_name("Can not open file: ", path));
        return end == end_record_t::empty;
    }

    try {
        unz_global_info64 info;
        if (unzGetGlobalInfo64(reader_, &info) != UNZ_OK) throw archive_error("can not get zip information.");
        file_list__();
    } catch (...) {
        close_reader__();
        clear_entries__();
        throw;
    }
    return true;
}

void zip_archive::file_list__() {
    clear_entries__();
    unz_global_info64 global;
    if (unzGetGlobalInfo64(reader_, &global) != UNZ_OK || global.number_entry == 0) return;
    // A directory that claims entries but cannot show the first one is damaged,
    // not empty.
    if (unzGoToFirstFile(reader_) != UNZ_OK) throw archive_error("can not get file list in zip file.");

    for (;;) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(reader_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            throw archive_error("can not get file list in zip file.");
        std::string name(info.size_filename, '\0');
        std::vector<unsigned char> extra(info.size_file_extra);
        unz64_file_pos pos;
        if (unzGetCurrentFileInfo64(reader_, &info, name.data(), name.size(), extra.data(), extra.size(), nullptr,
                                    0) != UNZ_OK ||
            unzGetFilePos64(reader_, &pos) != UNZ_OK)
            throw archive_error("can not get file list in zip file.");
        // minizip leaves these saturated; the true values are in the extra field.
        const zip64_fields_t zip64 = apply_zip64_fields(extra.data(), extra.size(), info);
        entries_.push_back({std::move(name), info.uncompressed_size});
        position_t at{pos.pos_in_zip_directory, pos.num_of_file, std::uint32_t(info.crc),
                      std::uint16_t(info.compression_method), std::uint16_t(info.flag), zip64.compressed,
                      info.compressed_size};
        at.uncompressed_size_in_zip64 = zip64.uncompressed;
        at.offset_in_zip64 = zip64.offset;
        at.zip64_offset = zip64.local_header;
        positions_.push_back(at);

        const int next = unzGoToNextFile(reader_);
        if (next == UNZ_END_OF_LIST_OF_FILE) break;
        // minizip takes a count of 0xFFFF as possibly saturated and walks on, so
        // an archive of exactly that many entries ends in a failed step.
        if (next != UNZ_OK && global.number_entry == 0xFFFF && entries_.size() == 0xFFFF) break;
        if (next != UNZ_OK) throw archive_error("can not get file list in zip file.");
    }

    // Two entries of one name leave no telling which one a reader means.
    by_name_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::string& name = entries_[i].name;
        if (!by_name_.emplace(name, i).second) throw archive_error(with_name("duplicate file name in zip: ", name));
        by_folded_name_.emplace(ascii_lower(name), i);
    }
    refuse_overlaps__();
}

// Entries sharing their bytes let a small archive inflate to many times its
// size (one deflate stream read through many names); no writer makes them.
void zip_archive::refuse_overlaps__() {
    struct entry_span_t {
        std::uint64_t from, to;  // local header to the end of the data
        std::size_t entry;
    };
    std::vector<entry_span_t> spans;
    spans.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const position_t& at = positions_[i];
        unz64_file_pos pos{at.directory_offset, at.index};
        // One that cannot be opened is never read.
        if (unzGoToFilePos64(reader_, &pos) != UNZ_OK || open_viewed__(at) < 0) {
            view_ = {};
            continue;
        }
        const std::uint64_t data = viewed_position__(unzGetCurrentFileZStreamPos64(reader_));
        const int extra = unzGetLocalExtrafield(reader_, nullptr, 0);
        unzCloseCurrentFile(reader_);
        view_ = {};
        const std::uint64_t header = 30 + entries_[i].name.size() + std::uint64_t(std::max(extra, 0));
        // Compared by what is left of the file: a size near 2^64 would wrap
        // the sum to a small end.
        if (data > archive_size_ || at.compressed_size > archive_size_ - data) {
            positions_[i].past_end = true;
            continue;
        }
        positions_[i].data_end = data + at.compressed_size;
        spans.push_back({data >= header ? data - header : 0, data + at.compressed_size, i});
    }
    std::sort(spans.begin(), spans.end(), [](const entry_span_t& a, const entry_span_t& b) { return a.from < b.from; });
    for (std::size_t k = 1; k < spans.size(); ++k)
        if (spans[k].from < spans[k - 1].to)
            throw archive_error("zip entries overlap: " + entries_[spans[k - 1].entry].name + " and " +
                                entries_[spans[k].entry].name);
    // An entry held into the directory would carry directory bytes into every copy.
    for (const entry_span_t& s : spans)
        if (s.from < directory_.to && directory_.from < s.to)
            throw archive_error("zip entries overlap: " + entries_[s.entry].name + " and the central directory");
}

// The directory's size back from the end record, or from the zip64 end record
// its locator names, as minizip finds them.
zip_archive::span_t zip_archive::directory_span__(const std::string& path) const {
    const end_tail_t tail = read_end_tail(path, archive_size_, 0xFFFF + 22 + 20);
    if (tail.at == std::string::npos) return {};
    const auto* end = reinterpret_cast<const unsigned char*>(tail.bytes.data() + tail.at);
    std::uint64_t record = archive_size_ - tail.bytes.size() + tail.at, directory_size = little_endian(end + 12, 4);
    if (tail.at >= 20 && little_endian(end - 20, 4) == 0x07064b50) {
        const std::uint64_t zip64_at = little_endian(end - 20 + 8, 8);
        unsigned char zip64[48];
        if (FILE* f = zip64_at < record ? std::fopen(path.c_str(), "rb") : nullptr) {
            if (fseeko(f, off_t(zip64_at), SEEK_SET) == 0 && std::fread(zip64, 1, sizeof zip64, f) == sizeof zip64 &&
                little_endian(zip64, 4) == 0x06064b50)
                record = zip64_at, directory_size = little_endian(zip64 + 40, 8);
            std::fclose(f);
        }
    }
    if (directory_size > record) return {};
    return {record - directory_size, record};
}

void zip_archive::clear_entries__() noexcept {
    by_name_.clear();
    by_folded_name_.clear();
    entries_.clear();
    positions_.clear();
}

// minizip refuses an archive of no entries, which is only its end record.
// The end record lies in the last 64 KiB and 22 bytes (its comment is at most
// 65535 bytes).
zip_archive::end_record_t zip_archive::end_record__(const std::string& path) const {
    const end_tail_t tail = read_end_tail(path, archive_size_, 0xFFFF + 22);
    if (tail.at == std::string::npos) return end_record_t::none;
    // Signature, disk numbers, both entry counts, directory size and offset, comment length.
    static constexpr char empty[22] = {'P', 'K', 5, 6};
    return tail.at == tail.bytes.size() - 22 && std::equal(tail.bytes.begin() + std::ptrdiff_t(tail.at), tail.bytes.end(), empty)
               ? end_record_t::empty
               : end_record_t::present;
}

unsigned long zip_archive::padded_read__(void* opaque, void* stream, void* buf, unsigned long size) {
    const auto& self = *static_cast<const zip_archive*>(opaque);
    const zip64_view_t& v = self.view_;
    const bool masking = v.opening && v.local_header_known &&
                         (v.entry->compressed_size_in_zip64 || v.entry->uncompressed_size_in_zip64);
    const off_t from = masking ? ftello(static_cast<FILE*>(stream)) : 0;
    const unsigned long got = std::fread(buf, 1, size, static_cast<FILE*>(stream));
    if (masking && from >= 0) {
        // The local header's compressed size (at 18) and size (at 22) read as
        // saturated, as the central record has them.
        for (auto [field, saturated] : {std::pair{std::uint64_t(18), v.entry->compressed_size_in_zip64},
                                        std::pair{std::uint64_t(22), v.entry->uncompressed_size_in_zip64}}) {
            if (!saturated) continue;
            for (std::uint64_t i = v.local_header + field; i < v.local_header + field + 4; ++i)
                if (i >= std::uint64_t(from) && i < std::uint64_t(from) + got)
                    static_cast<unsigned char*>(buf)[i - std::uint64_t(from)] = 0xFF;
        }
    }
    if (got >= size || !self.pad_reads_) return got;
    std::fill(static_cast<char*>(buf) + got, static_cast<char*>(buf) + size, '\0');
    return size;
}

// An exact match wins; else the first whose name differs only in ASCII case.
const zip_entry_t* zip_archive::find_entry__(std::string_view name) const {
    if (const auto it = by_name_.find(name); it != by_name_.end()) return &entries_[it->second];
    const auto it = by_folded_name_.find(ascii_lower(name));
    return it == by_folded_name_.end() ? nullptr : &entries_[it->second];
}

const zip_archive::position_t& zip_archive::readable__(std::string_view name) const {
    // unzLocateFile refuses names of 256 bytes or more and takes the first case
    // folded match, so the lookup runs over the list and minizip is sent to the place.
    const zip_entry_t* entry = find_entry__(name);
    if (!reader_ || !entry) throw archive_error(with_name("can not open file in zip: ", name));
    const position_t& at = positions_[std::size_t(entry - entries_.data())];
    // minizip would hand out the stored bytes of these as if they were the content.
    if (at.flag & 1) throw archive_error(with_name("can not open file in zip: ", name) + " (encrypted)");
    if (at.method != 0 && at.method != Z_DEFLATED)
        throw archive_error(with_name("can not open file in zip: ", name) + " (compression method " +
                            decimal(at.method) + " is not supported)");
    // Checked before anything is read, or sized, from its held size.
    if (at.past_end) throw archive_error(with_name("file in zip ends before its declared size: ", name));
    return at;
}

// Opens the entry's data as held; the method the local header gives.
int zip_archive::go_to_entry__(const position_t& at, std::string_view name) {
    unz64_file_pos pos{at.directory_offset, at.index};
    // minizip then reads the data in blocks bounded by the saturated size, so
    // the last block runs past the end of a small archive; the bytes past the
    // entry's data are never delivered (reads stop at the entry's size).
    pad_reads_ = at.compressed_size_in_zip64;
    view_ = {};
    if (unzGoToFilePos64(reader_, &pos) != UNZ_OK) throw archive_error(with_name("can not open file in zip: ", name));
    const int method = open_viewed__(at);
    if (method < 0) {
        view_ = {};
        throw archive_error(with_name("can not open file in zip: ", name));
    }
    return method;
}

// minizip takes a saturated offset for the offset itself, and holds the local
// header's sizes against the saturated ones: while an entry whose central
// record defers to zip64 fields is opened, its reads and seeks are moved and
// masked so that minizip finds the header where it looks and the sizes it
// expects; the entry's data positions stay moved until it is left. The
// method, or a negative minizip error.
int zip_archive::open_viewed__(const position_t& at) {
    view_ = {};
    view_.entry = &at;
    view_.opening = true;
    int method = 0, level = 0;
    const int opened = unzOpenCurrentFile2(reader_, &method, &level, 1);
    view_.opening = false;
    return opened == UNZ_OK ? method : (opened < 0 ? opened : UNZ_BADZIPFILE);
}

long zip_archive::viewed_seek__(void* opaque, void* stream, std::uint64_t offset, int origin) {
    auto& self = *static_cast<zip_archive*>(opaque);
    zip64_view_t& v = self.view_;
    if (v.entry && origin == ZLIB_FILEFUNC_SEEK_SET) {
        // The first seek of an opening is to the local header.
        if (v.opening && !v.local_header_known) {
            v.shifted = v.entry->offset_in_zip64 && offset >= saturated32;
            offset = self.viewed_position__(offset);
            v.local_header = offset;
            v.local_header_known = true;
        } else {
            offset = self.viewed_position__(offset);
        }
    }
    int whence = SEEK_SET;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) whence = SEEK_CUR;
    if (origin == ZLIB_FILEFUNC_SEEK_END) whence = SEEK_END;
    // minizip steps back with SEEK_CUR by an offset that wrapped around.
    return fseeko(static_cast<FILE*>(stream), off_t(offset), whence) == 0 ? 0 : -1;
}

std::uint64_t zip_archive::viewed_position__(std::uint64_t position) const noexcept {
    if (!view_.shifted || position < saturated32) return position;
    return position - saturated32 + view_.entry->zip64_offset;
}

zip_stored_t zip_archive::stored_form(std::string_view name) const {
    const position_t& at = readable__(name);
    const zip_entry_t& entry = entries_[std::size_t(&at - positions_.data())];
    if (at.data_end == 0) throw archive_error(with_name("can not open file in zip: ", name));
    return {at.method, at.crc, entry.size, at.compressed_size};
}

std::uint64_t zip_archive::inflatable_size(std::string_view name) const {
    const zip_stored_t held = stored_form(name);
    // Deflate gives at most 1032 bytes per byte held (zlib's own bound), with
    // a few bytes of slack for the stream's ends.
    const std::uint64_t most = held.method == 0 ? held.stored_size : held.stored_size * 1032 + 1024;
    return std::min(held.size, most);
}

void zip_archive::read_stored(std::string_view name, void* buffer) {
    leave_entry__();
    const position_t& at = readable__(name);
    go_to_entry__(at, name);
    entry_open_ = true;
    current_ = name;
    char* out = static_cast<char*>(buffer);
    for (std::uint64_t got = 0; got < at.compressed_size;) {
        const auto room = unsigned(std::min<std::uint64_t>(at.compressed_size - got, max_read_call));
        const int n = unzReadCurrentFile(reader_, out + got, room);
        if (n <= 0) {
            leave_entry__();
            throw archive_error(with_name("file in zip ends before its declared size: ", name));
        }
        got += unsigned(n);
    }
    leave_entry__();
}

void zip_archive::open_entry__(std::string_view name) {
    const position_t& at = readable__(name);
    const zip_entry_t* entry = &entries_[std::size_t(&at - positions_.data())];
    const int method = go_to_entry__(at, name);
    inflating_ = method == Z_DEFLATED;
    inflated_all_ = false;
    if (inflating_) {
        if (!inflater_) {
            auto z = std::make_unique<z_stream>();
            if (inflateInit2(z.get(), -MAX_WBITS) != Z_OK) {
                unzCloseCurrentFile(reader_);
                throw archive_error(with_name("can not open file in zip: ", name));
            }
            inflater_.reset(z.release());
            inflate_in_ = std::make_unique_for_overwrite<unsigned char[]>(inflate_room);
        } else if (inflateReset(inflater_.get()) != Z_OK) {
            unzCloseCurrentFile(reader_);
            throw archive_error(with_name("can not open file in zip: ", name));
        }
        inflater_->avail_in = 0;
    }
    current_ = name;
    entry_open_ = true;
    remaining_ = entry->size;
    held_left_ = at.compressed_size;
    expected_crc_ = at.crc;
    crc_ = 0;
    if (inflating_ && entry->size >= read_ahead_size) start_reading_ahead__();
}

void zip_archive::start_reading_ahead__() {
    if (!ahead_) {
        auto a = std::make_unique<read_ahead_t>();
        for (auto& d : a->data) d = std::make_unique_for_overwrite<unsigned char[]>(read_ahead_t::block);
        ahead_ = std::move(a);
    }
    read_ahead_t& a = *ahead_;
    a.produced = a.consumed = 0;
    a.offset = 0;
    a.finished = a.failed = a.stop = false;
    const std::uint64_t declared = remaining_;
    try {
        a.worker = std::thread([this, &a, declared] {
            std::uint64_t left = declared;  // never past the declared size
            for (;;) {
                std::unique_lock lock(a.mutex);
                a.changed.wait(lock, [&] { return a.stop || a.produced - a.consumed < read_ahead_t::blocks; });
                if (a.stop) return;
                const std::size_t at = std::size_t(a.produced % read_ahead_t::blocks);
                lock.unlock();
                const auto room = unsigned(std::min<std::uint64_t>(read_ahead_t::block, left));
                const int n = room ? inflate_into__(a.data[at].get(), room) : 0;
                lock.lock();
                if (n <= 0) {
                    a.finished = true;
                    a.failed = n < 0;
                } else {
                    a.filled[at] = std::size_t(n);
                    ++a.produced;
                    left -= unsigned(n);
                }
                a.changed.notify_all();
                if (a.finished) return;
            }
        });
    } catch (const std::system_error&) {
        return;  // no thread to spare: the entry is read on this one
    }
    reading_ahead_ = true;
}

void zip_archive::stop_reading_ahead__() noexcept {
    if (!reading_ahead_) return;
    {
        std::lock_guard lock(ahead_->mutex);
        ahead_->stop = true;
    }
    ahead_->changed.notify_all();
    ahead_->worker.join();
    reading_ahead_ = false;
}

// The next bytes inflated ahead, at most room; 0 at the end, -1 where the data
// failed to inflate.
int zip_archive::take_ahead__(void* buffer, unsigned room) {
    read_ahead_t& a = *ahead_;
    std::unique_lock lock(a.mutex);
    a.changed.wait(lock, [&] { return a.produced > a.consumed || a.finished; });
    if (a.produced == a.consumed) return a.failed ? -1 : 0;
    const std::size_t at = std::size_t(a.consumed % read_ahead_t::blocks);
    const std::size_t n = std::min<std::size_t>(room, a.filled[at] - a.offset);
    const std::size_t from = a.offset;
    lock.unlock();
    // The worker leaves a produced block alone until it is consumed.
    std::memcpy(buffer, a.data[at].get() + from, n);
    lock.lock();
    a.offset += n;
    if (a.offset == a.filled[at]) {
        a.offset = 0;
        ++a.consumed;
        a.changed.notify_all();
    }
    return int(n);
}

void zip_archive::leave_entry__() noexcept {
    stop_reading_ahead__();
    if (entry_open_ && reader_) unzCloseCurrentFile(reader_);
    entry_open_ = false;
    pad_reads_ = false;
    view_ = {};
    inflating_ = false;
    current_.clear();
}

int zip_archive::get_stream(void*& buffer, unsigned int size) {
    if (!reader_ || !entry_open_) throw archive_error("error ocured while reading file in zip.");
    // Never past the declared size: minizip's own bound misses zip64 sizes.
    const auto room = unsigned(std::min<std::uint64_t>({size, max_read_call, remaining_}));
    if (room == 0) return 0;
    const int n = reading_ahead_ ? take_ahead__(buffer, room)
                  : inflating_   ? inflate_into__(static_cast<unsigned char*>(buffer), room)
                                 : read_held__(buffer, room);
    if (n < 0) throw archive_error("error ocured while reading file in zip.");
    crc_ = libdeflate_crc32(crc_, buffer, unsigned(n));
    remaining_ -= unsigned(n);
    return n;
}

// At most room of the entry's held bytes, never past its held size: 0 once
// they are taken, negative for a minizip failure.
int zip_archive::read_held__(void* out, unsigned room) {
    const auto want = unsigned(std::min<std::uint64_t>(room, held_left_));
    const int n = want ? unzReadCurrentFile(reader_, out, want) : 0;
    if (n > 0) held_left_ -= unsigned(n);
    return n;
}

// Fills the room unless the deflate stream or its stored bytes end first;
// -1 for data that does not inflate.
int zip_archive::inflate_into__(unsigned char* out, unsigned room) {
    z_stream& z = *inflater_;
    z.next_out = out;
    z.avail_out = room;
    while (z.avail_out != 0 && !inflated_all_) {
        bool more = true;  // zlib may hold output for which no further input is needed
        if (z.avail_in == 0) {
            const int n = read_held__(inflate_in_.get(), unsigned(inflate_room));
            if (n < 0) return -1;
            z.next_in = inflate_in_.get();
            z.avail_in = unsigned(n);
            more = n > 0;
        }
        const unsigned before = z.avail_out;
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) inflated_all_ = true;
        else if (rc != Z_OK && rc != Z_BUF_ERROR) return -1;
        // The stored bytes end inside the stream: the size check tells.
        if (!more && z.avail_out == before) break;
    }
    return int(room - z.avail_out);
}

std::size_t zip_archive::fill__(char* out, std::size_t room) {
    std::size_t got = 0;
    while (got < room) {
        void* at = out + got;
        const int n = get_stream(at, unsigned(std::min(room - got, max_read_call)));
        if (n == 0) break;
        got += std::size_t(n);
    }
    return got;
}

// At the end of the inflated data: the entry must have reached its declared size
// and its checksum must hold.
void zip_archive::finish_entry__() {
    const bool complete = remaining_ == 0;
    stop_reading_ahead__();
    const int closed = unzCloseCurrentFile(reader_);
    entry_open_ = false;
    pad_reads_ = false;
    view_ = {};
    inflating_ = false;
    const std::string name = std::move(current_);
    current_.clear();
    if (!complete) throw archive_error(with_name("file in zip ends before its declared size: ", name));
    if (closed == UNZ_CRCERROR || crc_ != expected_crc_)
        throw archive_error(with_name("checksum mismatch in file in zip: ", name));
    if (closed != UNZ_OK) throw archive_error(with_name("can not close file in zip: ", name));
}

// The caller's room is full: one byte more means the entry does not fit.
void zip_archive::expect_end__(std::uint64_t bound) {
    char extra;
    void* at = &extra;
    if (get_stream(at, 1) != 0) {
        std::string text = "file in zip is larger than " + decimal(bound) + " bytes: ";
        text += current_;
        throw archive_error(std::move(text));
    }
    finish_entry__();
}

int zip_archive::read(std::string_view name, void* buffer, unsigned int size, bool whole) {
    // A whole read always starts at the beginning, even halfway through chunks.
    if (entry_open_ && (whole || current_ != name)) leave_entry__();
    if (!entry_open_) open_entry__(name);
    try {
        char* out = static_cast<char*>(buffer);
        if (whole) {
            const std::size_t room = std::min<std::size_t>(size, INT_MAX);
            const std::size_t got = fill__(out, room);
            if (got == room) expect_end__(room);
            else finish_entry__();
            return int(got);
        }
        if (size == 0) return 0;
        void* at = out;
        const int got = get_stream(at, size);
        if (got == 0) finish_entry__();
        return got;
    } catch (...) {
        leave_entry__();
        throw;
    }
}

std::string zip_archive::read_file(std::string_view name, std::uint64_t max_size) {
    leave_entry__();
    open_entry__(name);
    std::string data;
    try {
        for (;;) {
            const std::uint64_t left = max_size - data.size();
            if (left == 0) {
                expect_end__(max_size);
                break;
            }
            // Grow with what arrives, never by the declared size.
            const std::size_t step = std::size_t(std::min<std::uint64_t>(left, std::max<std::size_t>(65536, data.size())));
            const std::size_t before = data.size();
            data.resize(before + step);
            const std::size_t got = fill__(data.data() + before, step);
            data.resize(before + got);
            if (got < step) {
                finish_entry__();
                break;
            }
        }
    } catch (...) {
        leave_entry__();
        throw;
    }
    return data;
}

bool zip_archive::has_file(std::string_view name) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const zip_entry_t& e) { return std::string_view(e.name).ends_with(name); });
}

std::string_view zip_archive::find_file_name(std::string_view name) const {
    const auto it = by_name_.find(name);
    return it == by_name_.end() ? std::string_view() : std::string_view(entries_[it->second].name);
}

std::uint64_t zip_archive::file_size(std::string_view name) const {
    const auto it = by_name_.find(name);
    return it == by_name_.end() ? 0 : entries_[it->second].size;
}

// ---- writing ------------------------------------------------------------------

void zip_archive::create_zip_file(std::string_view path) {
    if (path.empty() || path.back() == '/' || path.back() == '\\')
        throw archive_error("The saved file name cannot be empty.");
    close_writer__();

    const std::string file(path);
    const auto cannot_create = [&] {
        std::string text = "Can not create file: '";
        text += path;
        text += "'. Please check if the file has been opened or if the file name is illegal.";
        return archive_error(std::move(text));
    };
    if (file.find('\0') != std::string::npos) throw cannot_create();
    const std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
    writer_ = zipOpen64(file.c_str(), APPEND_STATUS_CREATE);
    if (!writer_) throw cannot_create();
    writing_path_ = file;
    written_entries_ = 0;
}

void zip_archive::add_file_to_zip(std::string_view name) {
    if (writing_open_) close_file_in_zip();
    const std::string entry(name);
    if (!writer_ || entry.size() > max_entry_name || entry.find('\0') != std::string::npos)
        throw archive_error(quoted_add_failure(name));
    write_queued__(false);
    if (!compressor_) {
        compressor_.reset(libdeflate_alloc_compressor(deflate_level));
        if (!compressor_) throw archive_error(quoted_add_failure(name));
    }
    // Other tools show a name that is not ASCII as written only when told it is UTF-8.
    writing_flags_ = ascii_only(entry) ? 0 : 1u << 11;
    writing_ = entry;
    writing_open_ = true;
    streaming_ = false;
    pieces_.clear();  // left by an entry whose close failed
    piece_bytes_ = 0;
    gathered_size_ = 0;
    written_size_ = 0;
    written_crc_ = 0;
    ++written_entries_;
}

void zip_archive::add_stored_file(std::string_view name, std::shared_ptr<const char[]> data, const zip_stored_t& how) {
    if (writing_open_) close_file_in_zip();
    const std::string entry(name);
    if (!writer_ || entry.size() > max_entry_name || entry.find('\0') != std::string::npos ||
        (how.method != 0 && how.method != Z_DEFLATED) || (how.stored_size && !data))
        throw archive_error(quoted_add_failure(name));
    auto q = std::make_unique<queued_entry_t>();
    q->name = entry;
    q->flags = ascii_only(entry) ? 0 : 1u << 11;
    q->size = how.size;
    q->crc = how.crc;
    q->method = how.method;
    q->stored = std::move(data);
    q->stored_size = static_cast<std::size_t>(how.stored_size);
    queue_.push_back(std::move(q));
    ++written_entries_;
    write_queued__(false);
}

void zip_archive::set_whole_entry_limit(std::uint64_t bytes) noexcept {
    whole_entry_limit_ = std::max(bytes, threaded_entry_size);
}

// Starts an entry in minizip whose deflated bytes the wrapper hands over.
void zip_archive::open_raw_entry__(const std::string& name, unsigned long flags, int method) {
    // minizip counts months from 0: this is 1 February 1980, 00:00:00.
    zip_fileinfo info{};
    info.tmz_date.tm_sec = 0;
    info.tmz_date.tm_min = 0;
    info.tmz_date.tm_hour = 0;
    info.tmz_date.tm_mday = 1;
    info.tmz_date.tm_mon = 1;
    info.tmz_date.tm_year = 1980;
    if (zipOpenNewFileInZip4_64(writer_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                method ? Z_DEFAULT_COMPRESSION : 0, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                0, flags, 0) != ZIP_OK)
        throw archive_error(quoted_add_failure(name));
}

// The entry outgrew the limit: what was gathered goes through zlib first, the
// rest follows as it arrives. Earlier entries must be in the file before it.
void zip_archive::stream_entry__() {
    while (!queue_.empty()) write_queued__(true);
    if (!deflater_) {
        auto z = std::make_unique<z_stream>();
        if (deflateInit2(z.get(), deflate_level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw archive_error(with_name("Failed to write file: ", writing_));
        deflater_.reset(z.release());
        deflated_ = std::make_unique_for_overwrite<unsigned char[]>(deflated_room);
    } else if (deflateReset(deflater_.get()) != Z_OK) {
        throw archive_error(with_name("Failed to write file: ", writing_));
    }
    open_raw_entry__(writing_, writing_flags_);
    streaming_ = true;
    // The pieces already deflated lead; the zlib stream continues them.
    for (auto& p : pieces_) {
        deflated_t d;
        try {
            d = p->deflated.get();
        } catch (const std::bad_alloc&) {
            throw archive_error(with_name("Failed to write file: ", writing_));
        }
        for (std::size_t at = 0; at < d.size;) {
            const std::size_t n = std::min(d.size - at, max_write_call);
            if (zipWriteInFileInZip(writer_, d.bytes.get() + at, unsigned(n)) != ZIP_OK)
                throw archive_error(with_name("Failed to write file: ", writing_));
            at += n;
        }
    }
    pieces_.clear();
    piece_bytes_ = 0;
    z_stream& z = *deflater_;
    for (std::size_t at = 0; at < gathered_size_;) {
        const std::size_t n = std::min(gathered_size_ - at, max_write_call);
        z.next_in = reinterpret_cast<Bytef*>(gathered_.get() + at);
        z.avail_in = uInt(n);
        deflate_out__(Z_NO_FLUSH);
        at += n;
    }
    gathered_.reset();
    gathered_size_ = gathered_room_ = 0;
}

// The gathered bytes start deflating as the entry's next piece; a few pieces
// at most deflate at once, the writer waiting for the oldest.
void zip_archive::launch_piece__() {
    const std::size_t workers = max_entries_in_flight() + 1;
    if (pieces_.size() >= workers) pieces_[pieces_.size() - workers]->deflated.wait();
    std::shared_ptr<char[]> bytes(gathered_.release());
    const std::size_t size = gathered_size_;
    gathered_size_ = gathered_room_ = 0;
    auto piece = std::make_unique<piece_t>();
    piece->deflated = std::async(std::launch::async, [bytes = std::move(bytes), size]() mutable {
        deflated_t out = deflate_continuable(bytes.get(), size);
        bytes.reset();  // not held until the entry is written
        return out;
    });
    pieces_.push_back(std::move(piece));
    piece_bytes_ += size;
}

// Deflates what the stream holds into the entry, until it needs more input
// (or, finishing, until its end).
void zip_archive::deflate_out__(int flush) {
    z_stream& z = *deflater_;
    for (;;) {
        z.next_out = deflated_.get();
        z.avail_out = deflated_room;
        const int rc = deflate(&z, flush);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            throw archive_error(with_name("Failed to write file: ", writing_));
        const unsigned out = unsigned(deflated_room - z.avail_out);
        if (out && zipWriteInFileInZip(writer_, deflated_.get(), out) != ZIP_OK)
            throw archive_error(with_name("Failed to write file: ", writing_));
        if (flush == Z_FINISH ? rc == Z_STREAM_END : z.avail_out != 0) return;
    }
}

void zip_archive::write_file_stream(std::string_view name, const void* data, unsigned int size) {
    if (!writer_ || !writing_open_) throw archive_error(with_name("Failed to write file: ", name));
    try {
        if (!streaming_ && piece_bytes_ + gathered_size_ + size > whole_entry_limit_) stream_entry__();
        if (streaming_) {
            z_stream& z = *deflater_;
            z.next_in = static_cast<Bytef*>(const_cast<void*>(data));
            z.avail_in = size;
            deflate_out__(Z_NO_FLUSH);
        } else if (size) {
            if (gathered_size_ + size > gathered_room_) {
                // After a piece, room for the next one at once.
                const std::size_t room = std::max<std::size_t>(
                    {gathered_size_ + size, 2 * gathered_room_, 65536, piece_bytes_ ? std::size_t(piece_size) : 0});
                auto grown = std::make_unique_for_overwrite<char[]>(room);
                if (gathered_size_) std::memcpy(grown.get(), gathered_.get(), gathered_size_);
                gathered_ = std::move(grown);
                gathered_room_ = room;
            }
            std::memcpy(gathered_.get() + gathered_size_, data, size);
            gathered_size_ += size;
            if (gathered_size_ >= piece_size) launch_piece__();
        }
    } catch (const archive_error&) {
        throw archive_error(with_name("Failed to write file: ", name));
    }
    written_crc_ = libdeflate_crc32(written_crc_, data, size);
    written_size_ += size;
}

void zip_archive::close_file_in_zip() {
    if (!writer_ || !writing_open_) return;
    writing_open_ = false;
    if (streaming_) {
        streaming_ = false;
        deflater_->avail_in = 0;
        deflate_out__(Z_FINISH);
        if (zipCloseFileInZipRaw64(writer_, written_size_, written_crc_) != ZIP_OK)
            throw archive_error(with_name("Failed to write file: ", writing_));
        return;
    }
    queue_entry__();
    write_queued__(false);
}

// The gathered entry joins the queue: a small one deflated here, a large one on
// another thread, which takes the gathered bytes along.
void zip_archive::queue_entry__() {
    auto q = std::make_unique<queued_entry_t>();
    q->name = writing_;
    q->flags = writing_flags_;
    q->size = written_size_;
    q->crc = written_crc_;
    if (gathered_size_ < threaded_entry_size && pieces_.empty()) {
        q->ready = deflate_whole(compressor_.get(), gathered_.get(), gathered_size_);
    } else {
        std::shared_ptr<char[]> bytes(gathered_.release());
        const std::size_t size = gathered_size_;
        gathered_size_ = gathered_room_ = 0;
        std::vector<std::unique_ptr<piece_t>> heads = std::move(pieces_);
        pieces_.clear();
        piece_bytes_ = 0;
        q->later = std::async(std::launch::async, [bytes = std::move(bytes), size, heads = std::move(heads)]() mutable {
            deflated_t tail = deflate_pieces(bytes.get(), size);
            bytes.reset();  // not held until the entry is written
            std::vector<deflated_t> parts;
            for (auto& h : heads) parts.push_back(h->deflated.get());
            return join(std::move(parts), std::move(tail));
        });
        queued_bytes_ += q->size;
    }
    queue_.push_back(std::move(q));
    // Bounded: a few entries in flight, their bytes within the whole-entry limit.
    while (queue_.size() > max_entries_in_flight() || queued_bytes_ > whole_entry_limit_) {
        const std::size_t before = queue_.size();
        write_queued__(true);
        if (queue_.size() == before) break;
    }
}

// Hands the queued entries to minizip in their order: those ready, or (wait)
// the first one at least and every one ready after it; wait on an empty
// entry list does nothing.
void zip_archive::write_queued__(bool wait) {
    std::size_t done = 0;
    // Written or failed, an entry leaves the queue: it is never written twice.
    struct drop_done {
        std::vector<std::unique_ptr<queued_entry_t>>& queue;
        std::size_t& done;
        ~drop_done() { queue.erase(queue.begin(), queue.begin() + std::ptrdiff_t(std::min(done, queue.size()))); }
    } guard{queue_, done};
    for (; done < queue_.size(); ++done) {
        queued_entry_t& q = *queue_[done];
        if (q.later.valid()) {
            if (!(wait && done == 0) && q.later.wait_for(std::chrono::seconds(0)) != std::future_status::ready) break;
            queued_bytes_ -= q.size;
            try {
                q.ready = q.later.get();
            } catch (const std::bad_alloc&) {
                ++done;
                throw archive_error(with_name("Failed to write file: ", q.name));
            }
        }
        const auto failed = [&] {
            ++done;
            return archive_error(with_name("Failed to write file: ", q.name));
        };
        try {
            open_raw_entry__(q.name, q.flags, q.method);
        } catch (const archive_error&) {
            throw failed();
        }
        const char* bytes = q.stored ? q.stored.get() : reinterpret_cast<const char*>(q.ready.bytes.get());
        const std::size_t size = q.stored ? q.stored_size : q.ready.size;
        for (std::size_t at = 0; at < size;) {
            const std::size_t n = std::min(size - at, max_write_call);
            if (zipWriteInFileInZip(writer_, bytes + at, unsigned(n)) != ZIP_OK) throw failed();
            at += n;
        }
        if (zipCloseFileInZipRaw64(writer_, q.size, q.crc) != ZIP_OK) throw failed();
    }
}

void zip_archive::close() {
    close_reader__();
    close_writer__();
}

void zip_archive::close_writer__() {
    if (!writer_) return;
    // The open entry and the queued ones are still here, not in minizip.
    try {
        close_file_in_zip();
        while (!queue_.empty()) write_queued__(true);
    } catch (const archive_error&) {
        drop_writes__();
        throw archive_error("Failed to close the compressed file.");
    } catch (...) {
        drop_writes__();
        throw;
    }
    void* const handle = writer_;
    writer_ = nullptr;
    // The central directory is written and the file flushed here: a full disk
    // shows up now at the latest.
    const int closed = zipClose(handle, nullptr);
    drop_writes__();
    if (closed != ZIP_OK) throw archive_error("Failed to close the compressed file.");
    if (written_entries_ >= 0xFFFF) write_zip64_end__();
}

// Waits for the entries deflated in the background, then frees what writing held.
void zip_archive::drop_writes__() noexcept {
    for (auto& p : pieces_)
        if (p->deflated.valid()) p->deflated.wait();
    pieces_.clear();
    piece_bytes_ = 0;
    for (auto& q : queue_)
        if (q->later.valid()) q->later.wait();
    queue_.clear();
    queued_bytes_ = 0;
    if (writer_) zipClose(writer_, nullptr);
    writer_ = nullptr;
    writing_open_ = streaming_ = false;
    gathered_.reset();
    gathered_size_ = gathered_room_ = 0;
    compressor_.reset();
    deflater_.reset();
    deflated_.reset();
}

// minizip counts entries past 65535 only in a record that holds 16 bits, and
// writes the zip64 end records only for archives past 4 GiB: they go in front
// of its end record here, unless it wrote them.
void zip_archive::write_zip64_end__() {
    const auto failed = [] { return archive_error("Failed to close the compressed file."); };
    FILE* f = std::fopen(writing_path_.c_str(), "r+b");
    if (!f) throw failed();
    unsigned char records[20 + 22];  // a zip64 locator, if any, then the end record
    const unsigned char* const end = records + 20;
    long at = -1;
    if (std::fseek(f, -long(sizeof records), SEEK_END) == 0 &&
        std::fread(records, 1, sizeof records, f) == sizeof records && (at = std::ftell(f) - 22) >= 0 &&
        little_endian(end, 4) == 0x06054b50) {
        if (little_endian(records, 4) == 0x07064b50) {
            std::fclose(f);
            return;
        }
        const std::uint64_t directory_size = little_endian(end + 12, 4);
        const std::uint64_t directory_offset = little_endian(end + 16, 4);
        std::string tail;
        put_le(tail, 0x06064b50, 4);  // zip64 end of central directory record
        put_le(tail, 44, 8);
        put_le(tail, 45, 2), put_le(tail, 45, 2);
        put_le(tail, 0, 4), put_le(tail, 0, 4);
        put_le(tail, written_entries_, 8), put_le(tail, written_entries_, 8);
        put_le(tail, directory_size, 8), put_le(tail, directory_offset, 8);
        put_le(tail, 0x07064b50, 4);  // its locator
        put_le(tail, 0, 4), put_le(tail, std::uint64_t(at), 8), put_le(tail, 1, 4);
        tail.append(reinterpret_cast<const char*>(end), 22);
        if (std::fseek(f, at, SEEK_SET) == 0 && std::fwrite(tail.data(), 1, tail.size(), f) == tail.size()) {
            if (std::fclose(f) != 0) throw failed();
            return;
        }
    }
    std::fclose(f);
    throw failed();
}

void zip_archive::close_reader__() noexcept {
    leave_entry__();
    if (reader_) unzClose(reader_);
    reader_ = nullptr;
}

} // namespace vex
