#include "engine/largeStack.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

namespace
{

struct Job
{
  int (*fn)(void*);
  void* arg;
  int result;
};

void* run_job(void* p)
{
  Job* job = (Job*)p;
  job->result = job->fn(job->arg);
  return nullptr;
}

}  // namespace

int run_on_large_stack(int (*fn)(void*), void* arg, size_t stack_bytes)
{
  Job job{fn, arg, 0};
  size_t page = (size_t)sysconf(_SC_PAGESIZE);
  stack_bytes = (stack_bytes + page - 1) / page * page;
  // Reserved without committing: the system's overcommit rules then count
  // only the pages the thread really uses. The lowest page stays a guard.
  void* mem = mmap(nullptr, stack_bytes + page, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (mem == MAP_FAILED) return fn(arg);
  mprotect(mem, page, PROT_NONE);

  pthread_attr_t attr;
  pthread_t thread;
  bool started = pthread_attr_init(&attr) == 0 &&
                 pthread_attr_setstack(&attr, (char*)mem + page, stack_bytes) == 0 &&
                 pthread_create(&thread, &attr, run_job, &job) == 0;
  pthread_attr_destroy(&attr);
  if (started)
    pthread_join(thread, nullptr);
  else
    job.result = fn(arg);
  munmap(mem, stack_bytes + page);
  return job.result;
}
