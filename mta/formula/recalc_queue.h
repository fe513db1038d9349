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
    void run() const;
    void run(const task_launcher_t& launch) const;

    const std::vector<formula_cell*>& cells() const noexcept { return cells_; }
    // The limit in force: the one asked for, else max(hardware threads, 2).
    static uint64_t effective_limit(uint64_t asked, unsigned hardware_threads) noexcept {
        if (asked) return asked;
        return hardware_threads > 2 ? hardware_threads : 2;
    }

private:
    std::vector<formula_cell*> cells_;
    uint64_t task_limit_;
};

} // namespace vex::mta::formula
