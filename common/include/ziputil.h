#pragma once
// The package's view of its zip file, over minizip. Reading lists the entries,
// finds them by name (an exact match first, else ASCII letters in either case)
// and reads them whole or in chunks; writing adds deflated entries one after
// another. Every failure is an archive_error. Entry data is checked as it is
// read: a bad checksum, an entry that ends before its declared size or outgrows
// the caller's bound fails. Sizes and offsets in zip64 fields are read, and zip64
// end records are written once an archive holds more entries than the plain
// record counts.
// Only stored and deflated entries without encryption are read; an archive
// naming one entry twice, or two entries whose bytes overlap, is refused. An
// entry may also be read as held and written back so, never inflated. A large entry is inflated a few blocks
// ahead of the reader on another thread.
//
// A written entry is gathered whole and deflated in one call (libdeflate, the
// default level), which is several times faster than deflating as it arrives;
// entries of at least threaded_entry_size are deflated on other threads while
// the next entries are written (a large one in pieces side by side, joined
// into one stream; each piece_size gathered of an entry starts deflating while
// the rest is written), and reach the file in the order they were added. An entry outgrowing the whole-entry limit is deflated as it arrives
// instead, so memory stays bounded. Write failures of an entry deflated in the
// background show in the next call that writes (at the latest in close).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct z_stream_s;
struct libdeflate_compressor;

namespace vex {

struct zip_entry_t {
    std::string name;
    std::uint64_t size = 0;  // uncompressed, as the archive declares it
};

// An entry's data as the archive holds it.
struct zip_stored_t {
    std::uint16_t method = 0;       // 0 stored, 8 deflated
    std::uint32_t crc = 0;          // of the inflated data
    std::uint64_t size = 0;         // inflated, as declared
    std::uint64_t stored_size = 0;  // as held
};

class zip_archive {
public:
    zip_archive();
    zip_archive(const zip_archive&) = delete;
    zip_archive& operator=(const zip_archive&) = delete;
    // Closes whatever is still open, without throwing; owners call close() to
    // learn whether a written archive is complete.
    virtual ~zip_archive();

    // Entries from this size on are deflated on another thread.
    static constexpr std::uint64_t threaded_entry_size = std::uint64_t(1) << 20;
    // Entries of this declared size on are inflated ahead on another thread.
    static constexpr std::uint64_t read_ahead_size = std::uint64_t(1) << 20;
    // Each of these gathered of an entry is deflated while the rest arrives.
    static constexpr std::uint64_t piece_size = std::uint64_t(8) << 20;
    // Entries past this size are deflated as they arrive.
    static constexpr std::uint64_t default_whole_entry_limit = std::uint64_t(256) << 20;

    void open_zip_file(std::string_view path);
    // As open_zip_file, but false for a file that is no zip archive at all;
    // a broken one is refused with what is broken.
    bool open_if_zip(std::string_view path);
    // Makes the missing directories of the path. A path ending in '/' or '\'
    // names no file and is refused.
    void create_zip_file(std::string_view path);

    void add_file_to_zip(std::string_view name);
    // The name serves only the message of a failure.
    void write_file_stream(std::string_view name, const void* data, unsigned int size);
    void close_file_in_zip();
    void close();
    // For entries added from now on; at least threaded_entry_size.
    void set_whole_entry_limit(std::uint64_t bytes) noexcept;

    // whole: the entry, from its start, must fit in size bytes; returns its
    // length. Otherwise the next chunk of at most size bytes, 0 at the end of the
    // entry (after which the next call starts it again); a size of 0 reads
    // nothing and keeps the entry where it is. Another name leaves the open entry.
    int read(std::string_view name, void* buffer, unsigned int size, bool whole);
    // The whole entry, refused once it grows past max_size bytes: memory follows
    // what is inflated, never what the archive declares.
    std::string read_file(std::string_view name, std::uint64_t max_size);
    // One read of up to size bytes of the open entry.
    int get_stream(void*& buffer, unsigned int size);
    // How the entry's data is held; an entry that cannot be read is refused.
    zip_stored_t stored_form(std::string_view name) const;
    // The most the entry's data can inflate to: its declared size, or less when
    // its held bytes cannot give that much, so that a short entry declaring
    // gigabytes is never made room for.
    std::uint64_t inflatable_size(std::string_view name) const;
    // The entry's data as held, stored_form(name).stored_size bytes, not inflated.
    void read_stored(std::string_view name, void* buffer);
    // An entry whose data comes as `how` holds it (read_stored), copied into the
    // archive as it is.
    void add_stored_file(std::string_view name, std::shared_ptr<const char[]> data, const zip_stored_t& how);

    // True when some entry's name ends with name.
    bool has_file(std::string_view name) const;
    // The stored name equal to name, or an empty view.
    std::string_view find_file_name(std::string_view name) const;
    // The declared uncompressed size, 0 when there is no such entry.
    std::uint64_t file_size(std::string_view name) const;
    // In the order of the central directory.
    const std::vector<zip_entry_t>& entries() const noexcept { return entries_; }

private:
    struct position_t {
        std::uint64_t directory_offset;
        std::uint64_t index;
        std::uint32_t crc;
        std::uint16_t method;
        std::uint16_t flag;
        bool compressed_size_in_zip64;
        std::uint64_t compressed_size;
        std::uint64_t data_end = 0;  // past the entry's data in the file; 0 when it cannot be opened
        bool past_end = false;       // its held size runs past the end of the file
        bool uncompressed_size_in_zip64 = false;
        bool offset_in_zip64 = false;
        std::uint64_t zip64_offset = 0;  // of the local header, when offset_in_zip64
    };
    // How the file is shown to minizip while an entry with zip64 fields is
    // opened and read (see go_to_entry__).
    struct zip64_view_t {
        const position_t* entry = nullptr;
        bool opening = false;
        bool shifted = false;  // positions from the saturated offset on are moved
        std::uint64_t local_header = 0;
        bool local_header_known = false;
    };
    struct deflater_deleter {
        void operator()(z_stream_s* z) const noexcept;
    };
    struct inflater_deleter {
        void operator()(z_stream_s* z) const noexcept;
    };
    struct compressor_deleter {
        void operator()(libdeflate_compressor* c) const noexcept;
    };
    struct queued_entry_t;
    struct piece_t;
    struct read_ahead_t;

    // The archive's reads, padded with zeros past the end of the file while
    // pad_reads_ is set (see open_entry__).
    static unsigned long padded_read__(void* opaque, void* stream, void* buf, unsigned long size);
    static long viewed_seek__(void* opaque, void* stream, std::uint64_t offset, int origin);
    std::uint64_t viewed_position__(std::uint64_t position) const noexcept;
    int open_viewed__(const position_t& at);

    void file_list__();
    void refuse_overlaps__();
    const position_t& readable__(std::string_view name) const;
    int go_to_entry__(const position_t& at, std::string_view name);
    void clear_entries__() noexcept;
    enum class end_record_t { none, empty, present };
    end_record_t end_record__(const std::string& path) const;
    struct span_t {
        std::uint64_t from, to;  // in the file, to excluded
    };
    span_t directory_span__(const std::string& path) const;
    const zip_entry_t* find_entry__(std::string_view name) const;
    void open_entry__(std::string_view name);
    void leave_entry__() noexcept;
    std::size_t fill__(char* out, std::size_t room);
    int read_held__(void* out, unsigned room);
    int inflate_into__(unsigned char* out, unsigned room);
    void start_reading_ahead__();
    void stop_reading_ahead__() noexcept;
    int take_ahead__(void* buffer, unsigned room);
    void finish_entry__();
    void expect_end__(std::uint64_t bound);
    void close_reader__() noexcept;
    void close_writer__();
    void deflate_out__(int flush);
    void open_raw_entry__(const std::string& name, unsigned long flags, int method = 8);
    void stream_entry__();
    void launch_piece__();
    void queue_entry__();
    void write_queued__(bool wait);
    void drop_writes__() noexcept;
    void write_zip64_end__();

    void* writer_ = nullptr;
    void* reader_ = nullptr;
    std::string current_;       // the entry open for reading
    std::string writing_;       // the entry open for writing
    bool entry_open_ = false;
    bool writing_open_ = false;
    std::vector<zip_entry_t> entries_;
    std::vector<position_t> positions_;  // beside entries_, for going back to one
    std::uint64_t archive_size_ = 0;
    span_t directory_{};  // the central directory in the file; empty when the end records do not tell
    // Positions in entries_ by name, and of the first entry of each name in
    // ASCII lower case: a package of many parts looks each one up.
    std::unordered_map<std::string_view, std::size_t> by_name_;
    std::unordered_map<std::string, std::size_t> by_folded_name_;
    // The entry open for reading: bytes still due and the checksum so far. The
    // checks are made here because minizip ignores sizes held in zip64 fields.
    std::uint64_t remaining_ = 0;
    // Held bytes not yet taken: minizip reads on past a held size that only a
    // zip64 field gives.
    std::uint64_t held_left_ = 0;
    std::uint32_t expected_crc_ = 0;
    std::uint32_t crc_ = 0;
    bool pad_reads_ = false;
    zip64_view_t view_;
    // minizip hands over the stored bytes and the wrapper inflates them: minizip
    // would check a second checksum, and one over zlib's slower routine.
    bool inflating_ = false;
    bool inflated_all_ = false;
    std::unique_ptr<z_stream_s, inflater_deleter> inflater_;
    std::unique_ptr<unsigned char[]> inflate_in_;
    // A large entry is inflated a few blocks ahead on another thread while the
    // caller works through what it read; that thread alone touches the read
    // handle and the inflater until the entry is left.
    std::unique_ptr<read_ahead_t> ahead_;
    bool reading_ahead_ = false;

    // The entry being written, gathered whole until it outgrows the limit; then
    // it goes straight to minizip through one zlib stream reused for every
    // streamed entry.
    std::unique_ptr<char[]> gathered_;
    std::size_t gathered_size_ = 0;
    std::size_t gathered_room_ = 0;
    bool streaming_ = false;
    // The entry's pieces already deflating, in order, and the bytes they took.
    std::vector<std::unique_ptr<piece_t>> pieces_;
    std::uint64_t piece_bytes_ = 0;
    unsigned long writing_flags_ = 0;
    std::uint64_t whole_entry_limit_ = default_whole_entry_limit;
    std::unique_ptr<libdeflate_compressor, compressor_deleter> compressor_;  // this thread's
    std::unique_ptr<z_stream_s, deflater_deleter> deflater_;
    std::unique_ptr<unsigned char[]> deflated_;
    // Closed entries not yet in the file, oldest first.
    std::vector<std::unique_ptr<queued_entry_t>> queue_;
    std::uint64_t queued_bytes_ = 0;
    std::uint64_t written_size_ = 0;
    std::uint32_t written_crc_ = 0;
    std::uint64_t written_entries_ = 0;
    std::string writing_path_;
};

} // namespace vex
