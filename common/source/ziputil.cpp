#include "ziputil.h"

#include "errors.h"
#include "text_utils.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <filesystem>
#include <system_error>

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

} // namespace

zip_archive::~zip_archive() {
    close_reader__();
    if (writer_) zipClose(writer_, nullptr);
}

// ---- reading ------------------------------------------------------------------

void zip_archive::open_zip_file(std::string_view path) {
    close_reader__();
    entries_.clear();
    positions_.clear();

    const std::string file(path);
    std::error_code ec;
    if (file.find('\0') != std::string::npos || !std::filesystem::exists(file, ec))
        throw archive_error(with_name("Can not open file: ", path));
    reader_ = unzOpen64(file.c_str());
    if (!reader_) throw archive_error(with_name("Can not open file: ", path));

    try {
        unz_global_info64 info;
        if (unzGetGlobalInfo64(reader_, &info) != UNZ_OK) throw archive_error("can not get zip information.");
        file_list__();
    } catch (...) {
        close_reader__();
        throw;
    }
}

void zip_archive::file_list__() {
    entries_.clear();
    positions_.clear();
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
        unz64_file_pos pos;
        if (unzGetCurrentFileInfo64(reader_, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) != UNZ_OK ||
            unzGetFilePos64(reader_, &pos) != UNZ_OK)
            throw archive_error("can not get file list in zip file.");
        entries_.push_back({std::move(name), info.uncompressed_size});
        positions_.push_back({pos.pos_in_zip_directory, pos.num_of_file});

        const int next = unzGoToNextFile(reader_);
        if (next == UNZ_END_OF_LIST_OF_FILE) break;
        // minizip takes a count of 0xFFFF as possibly saturated and walks on, so
        // an archive of exactly that many entries ends in a failed step.
        if (next != UNZ_OK && global.number_entry == 0xFFFF && entries_.size() == 0xFFFF) break;
        if (next != UNZ_OK) throw archive_error("can not get file list in zip file.");
    }
}

void zip_archive::open_entry__(std::string_view name) {
    // unzLocateFile refuses names of 256 bytes or more, so the lookup runs over
    // the list with the same ASCII case folding and minizip is sent to the place.
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const zip_entry_t& e) { return ascii_iequals(e.name, name); });
    if (!reader_ || it == entries_.end()) throw archive_error(with_name("can not open file in zip: ", name));
    const position_t& at = positions_[std::size_t(it - entries_.begin())];
    unz64_file_pos pos{at.directory_offset, at.index};
    if (unzGoToFilePos64(reader_, &pos) != UNZ_OK || unzOpenCurrentFile(reader_) != UNZ_OK)
        throw archive_error(with_name("can not open file in zip: ", name));
    current_ = name;
    entry_open_ = true;
}

void zip_archive::leave_entry__() noexcept {
    if (entry_open_ && reader_) unzCloseCurrentFile(reader_);
    entry_open_ = false;
    current_.clear();
}

int zip_archive::get_stream(void*& buffer, unsigned int size) {
    const unsigned room = unsigned(std::min<std::size_t>(size, max_read_call));
    const int n = reader_ && entry_open_ ? unzReadCurrentFile(reader_, buffer, room) : UNZ_PARAMERROR;
    if (n < 0) throw archive_error("error ocured while reading file in zip.");
    return n;
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
    const bool complete = unzeof(reader_) == 1;
    const int closed = unzCloseCurrentFile(reader_);
    entry_open_ = false;
    const std::string name = std::move(current_);
    current_.clear();
    if (!complete) throw archive_error(with_name("file in zip ends before its declared size: ", name));
    if (closed == UNZ_CRCERROR) throw archive_error(with_name("checksum mismatch in file in zip: ", name));
    if (closed != UNZ_OK) throw archive_error(with_name("can not close file in zip: ", name));
}

// The caller's room is full: one byte more means the entry does not fit.
void zip_archive::expect_end__(std::uint64_t bound) {
    char extra;
    void* at = &extra;
    if (get_stream(at, 1) != 0) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, bound).ptr;
        std::string text = "file in zip is larger than ";
        text.append(digits, end);
        text += " bytes: ";
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
    for (const auto& e : entries_)
        if (e.name == name) return e.name;
    return {};
}

std::uint64_t zip_archive::file_size(std::string_view name) const {
    for (const auto& e : entries_)
        if (e.name == name) return e.size;
    return 0;
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
    writer_ = zipOpen(file.c_str(), APPEND_STATUS_CREATE);
    if (!writer_) throw cannot_create();
}

void zip_archive::add_file_to_zip(std::string_view name) {
    if (writing_open_) close_file_in_zip();
    const std::string entry(name);
    if (!writer_ || entry.size() > max_entry_name || entry.find('\0') != std::string::npos)
        throw archive_error(quoted_add_failure(name));

    // minizip counts months from 0: this is 1 February 1980, 00:00:00.
    zip_fileinfo info{};
    info.tmz_date.tm_sec = 0;
    info.tmz_date.tm_min = 0;
    info.tmz_date.tm_hour = 0;
    info.tmz_date.tm_mday = 1;
    info.tmz_date.tm_mon = 1;
    info.tmz_date.tm_year = 1980;
    if (zipOpenNewFileInZip(writer_, entry.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION) != ZIP_OK)
        throw archive_error(quoted_add_failure(name));
    writing_ = entry;
    writing_open_ = true;
}

void zip_archive::write_file_stream(std::string_view name, const void* data, unsigned int size) {
    if (!writer_ || !writing_open_ || zipWriteInFileInZip(writer_, data, size) != ZIP_OK)
        throw archive_error(with_name("Failed to write file: ", name));
}

void zip_archive::close_file_in_zip() {
    if (!writer_ || !writing_open_) return;
    writing_open_ = false;
    if (zipCloseFileInZip(writer_) != ZIP_OK) throw archive_error(with_name("Failed to write file: ", writing_));
}

void zip_archive::close() {
    close_reader__();
    close_writer__();
}

void zip_archive::close_writer__() {
    if (!writer_) return;
    void* const handle = writer_;
    writer_ = nullptr;
    writing_open_ = false;
    // The central directory is written and the file flushed here: a full disk
    // shows up now at the latest.
    if (zipClose(handle, nullptr) != ZIP_OK) throw archive_error("Failed to close the compressed file.");
}

void zip_archive::close_reader__() noexcept {
    leave_entry__();
    if (reader_) unzClose(reader_);
    reader_ = nullptr;
}

} // namespace vex
