#pragma once
// The border part of a style: seven edges, a present bit per edge (only present
// edges take part when one style is merged over another), the diagonal and
// outline bits and how a loaded border named them.

#include "mta/table/style/manager/color.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vex::mta {

enum class border_side : uint8_t { left, right, top, bottom, horizontal, vertical, diagonal };

struct border_edge_t {
    // Index in "none, thin, dashed, dashDot, dashDotDot, dotted, hair, medium,
    // mediumDashed, mediumDashDot, mediumDashDotDot, slantDashDot, double, thick".
    uint32_t style = 0;
    color_t color;

    bool operator==(const border_edge_t&) const = default;
};

struct border_t {
    static constexpr size_t edge_count = 7;
    static constexpr uint16_t diagonal_down_bit = 0x1;
    static constexpr uint16_t diagonal_up_bit = 0x2;
    static constexpr uint16_t outline_bit = 0x4;
    static constexpr uint16_t present_bit(border_side s) noexcept {
        return uint16_t(0x8u << static_cast<unsigned>(s));
    }
    // How a loaded border was written, so that it is written back so: the
    // outline attribute was given (also as 0), the left and right edges were
    // named start and end.
    static constexpr uint16_t outline_given_bit = 0x400;
    static constexpr uint16_t start_end_bit = 0x800;

    std::array<border_edge_t, edge_count> edges{};   // in border_side order
    uint16_t flags = 0;                               // the bits above

    border_edge_t& edge(border_side s) noexcept { return edges[static_cast<size_t>(s)]; }
    const border_edge_t& edge(border_side s) const noexcept { return edges[static_cast<size_t>(s)]; }

    bool present(border_side s) const noexcept { return (flags & present_bit(s)) != 0; }
    void set_present(border_side s, bool on) noexcept { set_bit(present_bit(s), on); }
    bool diagonal_down() const noexcept { return (flags & diagonal_down_bit) != 0; }
    void set_diagonal_down(bool on) noexcept { set_bit(diagonal_down_bit, on); }
    bool diagonal_up() const noexcept { return (flags & diagonal_up_bit) != 0; }
    void set_diagonal_up(bool on) noexcept { set_bit(diagonal_up_bit, on); }
    bool outline() const noexcept { return (flags & outline_bit) != 0; }
    void set_outline(bool on) noexcept { set_bit(outline_bit, on); }
    bool outline_given() const noexcept { return (flags & outline_given_bit) != 0; }
    void set_outline_given(bool on) noexcept { set_bit(outline_given_bit, on); }
    bool start_end() const noexcept { return (flags & start_end_bit) != 0; }
    void set_start_end(bool on) noexcept { set_bit(start_end_bit, on); }

    // Sets one edge and marks it present.
    void set_edge(border_side s, uint32_t style, const color_t& color) noexcept {
        edge(s) = {style, color};
        set_present(s, true);
    }

    void clear() noexcept { *this = border_t{}; }
    bool operator==(const border_t&) const = default;

private:
    void set_bit(uint16_t bit, bool on) noexcept { flags = on ? uint16_t(flags | bit) : uint16_t(flags & ~bit); }
};

} // namespace vex::mta
