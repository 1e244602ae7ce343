// A small persistent pool of threads for world generation. parallel_for runs
// fn(ctx, item, worker) for every item in [0, count), spread over the calling
// thread (worker 0) and the pool's threads (workers 1 .. gen_worker_count() - 1),
// and returns when every item is done. Items may run in any order and on any
// worker; a worker runs one item at a time, so per-worker scratch indexed by
// `worker` needs no lock. One caller at a time (the generating thread); the
// threads start on first use, wait between calls (spinning briefly, then
// sleeping) and are joined at exit.
#pragma once

namespace HeightmapData
{

// Threads that take part in parallel_for, the caller included: the
// processor count capped at k_max_gen_workers, or 1 on a single-core machine
// (then parallel_for runs everything on the caller).
const int k_max_gen_workers = 8;
int gen_worker_count();

// count < 2^20.
void parallel_for(int count, void (*fn)(void* ctx, int item, int worker), void* ctx);

// As parallel_for, but the calling thread first runs own(ctx) while the
// pool's threads start on the items, then helps with the items left.
void parallel_beside(int count, void (*fn)(void* ctx, int item, int worker), void (*own)(void* ctx), void* ctx);

// body(z) for every row z of the 256 x 256 grid, in sixteen bands of rows on
// the workers; for work where each row is computed on its own.
template <class Body>
void parallel_rows(Body& body)
{
  parallel_for(
    16,
    [](void* ctx, int band, int) {
      Body& b = *static_cast<Body*>(ctx);
      for (int z = band * 16; z < band * 16 + 16; z++) b(z);
    },
    &body);
}

}  // namespace HeightmapData
