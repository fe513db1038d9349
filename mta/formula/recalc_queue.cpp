#include "mta/formula/recalc_queue.h"

#include "mta/formula/formula_cell.h"

#include <condition_variable>
#include <algorithm>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace vex::mta::formula {

namespace {

// The shared state of one run: a producer thread starts tasks while fewer than
// `limit` futures wait; the caller's thread awaits them front first. Task k
// evaluates the cells [k * per_task, (k + 1) * per_task) in list order.
class interpreter_queue {
public:
    interpreter_queue(const recalc_batch& batch, const task_launcher_t& launch, uint64_t limit, size_t per_task = 1)
        : batch_(batch), launch_(launch), limit_(limit), per_task_(per_task) {}

    void run() {
        std::thread producer([this] { produce(); });
        std::exception_ptr failure;
        for (;;) {
            std::future<void> next;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [&] { return !futures_.empty() || done_; });
                if (futures_.empty()) break;
                next = std::move(futures_.front());
                futures_.pop_front();
            }
            try {
                next.get();
            } catch (...) {
                failure = std::current_exception();
            }
            if (failure) {
                std::lock_guard lock(mutex_);
                stop_ = true;
            }
            ready_.notify_all();
            if (failure) break;
        }
        producer.join();
        // Started tasks read their cells: wait for each before leaving.
        for (auto& f : futures_) {
            try {
                f.get();
            } catch (...) {
            }
        }
        if (!failure) failure = producer_error_;
        if (failure) std::rethrow_exception(failure);
    }

private:
    void produce() noexcept {
        try {
            const auto& cells = batch_.cells();
            for (size_t first = 0; first < cells.size(); first += per_task_) {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [&] { return futures_.size() < limit_ || stop_; });
                if (stop_) break;
                const size_t last = std::min(cells.size(), first + per_task_);
                futures_.push_back(launch_([&cells, first, last] {
                    for (size_t i = first; i < last; ++i) evaluate_cell(cells[i]);
                }));
                lock.unlock();
                ready_.notify_all();
            }
        } catch (...) {
            std::lock_guard lock(mutex_);
            producer_error_ = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        ready_.notify_all();
    }

    static void evaluate_cell(formula_cell* cell) { cell->evaluate(); }

    const recalc_batch& batch_;
    const task_launcher_t& launch_;
    const uint64_t limit_;
    const size_t per_task_;
    std::mutex mutex_;
    std::condition_variable ready_;  // room for a task, or a future to await
    std::deque<std::future<void>> futures_;
    std::exception_ptr producer_error_;
    bool done_ = false;
    bool stop_ = false;
};

// A fixed set of workers taking tasks first in, first out: std::async would
// start one thread per cell.
class worker_pool {
public:
    explicit worker_pool(size_t count) {
        try {
            for (size_t i = 0; i < count; ++i) workers_.emplace_back([this] { work(); });
        } catch (...) {
            stop();
            throw;
        }
    }
    ~worker_pool() { stop(); }
    worker_pool(const worker_pool&) = delete;
    worker_pool& operator=(const worker_pool&) = delete;

    std::future<void> submit(std::function<void()> task) {
        std::packaged_task<void()> packaged(std::move(task));
        std::future<void> future = packaged.get_future();
        {
            std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(packaged));
        }
        wake_.notify_one();
        return future;
    }

private:
    void work() {
        for (;;) {
            std::packaged_task<void()> task;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return !tasks_.empty() || stopping_; });
                if (tasks_.empty()) return;
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();  // an error goes to the task's future
        }
    }
    void stop() noexcept {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (auto& w : workers_) w.join();
        workers_.clear();
    }

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<void()>> tasks_;
    bool stopping_ = false;
};

} // namespace

void recalc_batch::run() const {
    const uint64_t limit = effective_limit(task_limit_, std::thread::hardware_concurrency());
    const size_t per_task = cells_per_task(cells_.size(), limit);
    const size_t tasks = (cells_.size() + per_task - 1) / per_task;
    // Tasks never wait for each other, so the oldest always gets a worker.
    worker_pool pool(size_t(std::min<uint64_t>(limit, std::max<size_t>(tasks, 1))));
    const task_launcher_t launch = [&](std::function<void()> task) { return pool.submit(std::move(task)); };
    interpreter_queue(*this, launch, limit, per_task).run();
}

void recalc_batch::run(const task_launcher_t& launch) const {
    interpreter_queue(*this, launch, effective_limit(task_limit_, std::thread::hardware_concurrency())).run();
}

} // namespace vex::mta::formula
