#pragma once
// Evaluates a list of formula cells on parallel tasks: tasks start in list
// order, a bounded number at a time, and are awaited in list order.

#include <cstdint>
#include <functional>
#include <future>
#include <vector>

namespace vex::mta::formula {

class formula_cell;

// Starts one task; the default hands it to a fixed pool of workers.
using task_launcher_t = std::function<std::future<void>(std::function<void()>)>;

class recalc_batch {
public:
    // A limit of 0 lets the processor count choose.
    recalc_batch(std::vector<formula_cell*> cells, uint64_t task_limit)
        : cells_(std::move(cells)), task_limit_(task_limit) {}

    // Returns when every cell has been evaluated. The first error of a task is
    // rethrown once every started task has finished; no further task starts.
    // The workers' run hands each task a run of cells (cells_per_task): one
    // small cell a task costs more in handing over than in evaluating.
    void run() const;
    // One task per cell, each started through `launch`.
    void run(const task_launcher_t& launch) const;

    const std::vector<formula_cell*>& cells() const noexcept { return cells_; }
    // The limit in force: the one asked for, else max(hardware threads, 2).
    static uint64_t effective_limit(uint64_t asked, unsigned hardware_threads) noexcept {
        if (asked) return asked;
        return hardware_threads > 2 ? hardware_threads : 2;
    }

    // Enough tasks to keep every worker busy while a slow run finishes (eight
    // per worker), none smaller than one cell nor larger than 4096.
    static size_t cells_per_task(size_t cells, uint64_t limit) noexcept {
        const uint64_t spread = cells / (limit * 8 + 1);
        return size_t(spread < 1 ? 1 : spread > 4096 ? 4096 : spread);
    }

private:
    std::vector<formula_cell*> cells_;
    uint64_t task_limit_;
};

} // namespace vex::mta::formula
