#include "world/genWorkers.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <immintrin.h>

namespace HeightmapData
{

namespace
{

// The work of one call is published as a ticket: a call number (so two calls
// never share a ticket), the item count and the next item to take. A thread
// owns an item once it has moved the ticket past it.
const int k_index_bits = 20;  // at most 2^20 - 1 items a call
const uint64_t k_index_mask = (uint64_t(1) << k_index_bits) - 1;

inline uint64_t ticket_index(uint64_t t) { return t & k_index_mask; }
inline uint64_t ticket_count(uint64_t t) { return (t >> k_index_bits) & k_index_mask; }

// How long an idle thread keeps watching for the next call before it sleeps:
// generation makes calls back to back, and waking a sleeping thread costs more
// than a short call.
const auto k_spin_time = std::chrono::microseconds(100);

class Pool
{
public:
  explicit Pool(int workers)
  {
    for (int w = 1; w < workers; w++) threads.emplace_back([this, w] { work(w); });
  }

  ~Pool()
  {
    {
      std::lock_guard<std::mutex> lock(mutex);
      quit = true;
    }
    wake.notify_all();
    for (std::thread& t : threads) t.join();
  }

  int size() const { return int(threads.size()) + 1; }

  void run(int count, void (*f)(void*, int, int), void* c, void (*own)(void*) = nullptr)
  {
    fn = f;
    ctx = c;
    // Float results must not depend on the thread: the workers take the
    // caller's rounding and denormal modes.
    csr = _mm_getcsr();
    done.store(0, std::memory_order_relaxed);
    call = (call + 1) & 0xFFFFFF;
    ticket.store((call << (2 * k_index_bits)) | (uint64_t(count) << k_index_bits));
    if (sleepers.load() > 0) {
      { std::lock_guard<std::mutex> lock(mutex); }
      wake.notify_all();
    }
    if (own) own(c);
    while (take_one(0)) {
    }
    for (int spins = 0; done.load(std::memory_order_acquire) != count; spins++) {
      if (spins < 4096) {
        _mm_pause();
      } else {
        std::this_thread::yield();
      }
    }
  }

private:
  std::vector<std::thread> threads;
  std::atomic<uint64_t> ticket{0};
  std::atomic<int> done{0};
  std::atomic<int> sleepers{0};
  void (*fn)(void*, int, int) = nullptr;
  void* ctx = nullptr;
  unsigned csr = 0;
  uint64_t call = 0;
  std::mutex mutex;
  std::condition_variable wake;
  bool quit = false;

  // Takes and runs the next item of the current call; false when none is left.
  bool take_one(int worker)
  {
    uint64_t t = ticket.load(std::memory_order_acquire);
    while (ticket_index(t) < ticket_count(t)) {
      if (ticket.compare_exchange_weak(t, t + 1, std::memory_order_acq_rel)) {
        // The call cannot end (and fn change) before this item is done.
        if (worker != 0 && _mm_getcsr() != csr) _mm_setcsr(csr);
        fn(ctx, int(ticket_index(t)), worker);
        done.fetch_add(1, std::memory_order_release);
        return true;
      }
    }
    return false;
  }

  void work(int worker)
  {
    for (;;) {
      while (take_one(worker)) {
      }
      uint64_t idle = ticket.load();
      if (ticket_index(idle) < ticket_count(idle)) continue;  // a call published meanwhile
      auto since = std::chrono::steady_clock::now();
      bool changed = false;
      for (int spins = 0; !changed; spins++) {
        _mm_pause();
        changed = ticket.load(std::memory_order_relaxed) != idle;
        if ((spins & 63) == 63 && std::chrono::steady_clock::now() - since > k_spin_time) break;
      }
      if (changed) continue;
      std::unique_lock<std::mutex> lock(mutex);
      sleepers.fetch_add(1);
      wake.wait(lock, [&] { return quit || ticket.load() != idle; });
      sleepers.fetch_sub(1);
      if (quit) return;
    }
  }
};

Pool& pool()
{
  static Pool instance(gen_worker_count());
  return instance;
}

}  // namespace

int gen_worker_count()
{
  static const int workers = [] {
    unsigned n = std::thread::hardware_concurrency();
    return n < 1 ? 1 : n > unsigned(k_max_gen_workers) ? k_max_gen_workers : int(n);
  }();
  return workers;
}

void parallel_for(int count, void (*fn)(void* ctx, int item, int worker), void* ctx)
{
  if (count <= 0) return;
  if (gen_worker_count() == 1 || count == 1) {
    for (int i = 0; i < count; i++) fn(ctx, i, 0);
    return;
  }
  pool().run(count, fn, ctx);
}

void parallel_beside(int count, void (*fn)(void* ctx, int item, int worker), void (*own)(void* ctx), void* ctx)
{
  if (gen_worker_count() == 1 || count <= 0) {
    own(ctx);
    for (int i = 0; i < count; i++) fn(ctx, i, 0);
    return;
  }
  pool().run(count, fn, ctx, own);
}

}  // namespace HeightmapData
