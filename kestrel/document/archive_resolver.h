#pragma once
// A driver that reads a package file into a document and writes it back.

namespace vex {

class archive_resolver {
public:
    archive_resolver() = default;
    virtual ~archive_resolver() = default;
    archive_resolver(const archive_resolver&) = delete;
    archive_resolver& operator=(const archive_resolver&) = delete;

    virtual void load(const char* path, bool flag) = 0;
    virtual void save(const char* path) = 0;
};

} // namespace vex
