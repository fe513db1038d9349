#pragma once
// The comments part of a sheet: read into and written from the sheet's
// comment store.

#include "kestrel/core/components/worktable_comment.h"
#include "kestrel/parts/simple_part.h"

namespace vex {

class worktable_comments_part final : public described_part_t {
public:
    explicit worktable_comments_part(xml_part_t* parent);
    ~worktable_comments_part() override;
    void create_output_handler(int mode) override;
};

} // namespace vex
