#include "engine/priority.h"

#include "engine/debug.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstdio>

static int priority_level = 0;
static bool have_base_nice = false;
static int base_nice = 0;      // the nice value the process started with
static bool refusal_logged = false;

static const int k_nice_step = 5;   // nice units per priority level
static const int k_idle_nice = 19;

static int current_nice()
{
  errno = 0;
  int n = getpriority(PRIO_PROCESS, 0);
  return errno ? base_nice : n;
}

static int remember_base_nice()
{
  if (!have_base_nice) {
    base_nice = current_nice();
    have_base_nice = true;
  }
  return base_nice;
}

// Whether the process holds CAP_SYS_NICE, which lifts every nice limit.
static bool may_set_any_nice()
{
  static int known = -1;
  if (known < 0) {
    known = 0;
    if (FILE* f = fopen("/proc/self/status", "r")) {
      char line[256];
      unsigned long long caps = 0;
      while (fgets(line, sizeof(line), f))
        if (sscanf(line, "CapEff: %llx", &caps) == 1) break;
      fclose(f);
      known = (caps >> 23) & 1;   // CAP_SYS_NICE
    }
  }
  return known != 0;
}

// The lowest nice value this process may set.
static int lowest_allowed_nice()
{
  if (may_set_any_nice()) return -20;
  struct rlimit rl;
  if (getrlimit(RLIMIT_NICE, &rl) != 0) return 20;
  if (rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur >= 40) return -20;
  return 20 - int(rl.rlim_cur);
}

static int level_nice(int level)
{
  if (level < 0) level = 0;
  if (level > 2) level = 2;
  int n = remember_base_nice() - level * k_nice_step;
  return n < -20 ? -20 : n;
}

static void set_nice(int wanted)
{
  int cur = current_nice();
  if (wanted == cur) return;
  if (setpriority(PRIO_PROCESS, 0, wanted) == 0) return;
  // Raising the priority was refused: go as far as the limit allows.
  int floor = lowest_allowed_nice();
  if (wanted < floor && floor < cur && setpriority(PRIO_PROCESS, 0, floor) == 0) return;
  if (!refusal_logged) {
    refusal_logged = true;
    debug("process priority: nice %d not allowed, staying at %d", wanted, current_nice());
  }
}

void set_process_priority(int level)
{
  priority_level = level;
  apply_process_priority();
}

int get_process_priority() { return priority_level; }

void apply_process_priority() { set_nice(level_nice(priority_level)); }

void set_idle_priority(bool idle)
{
  if (!idle) {
    apply_process_priority();
    return;
  }
  // Going idle is only worth it when the stored level can be restored when
  // the window becomes active again; otherwise the game would stay idle.
  if (lowest_allowed_nice() > current_nice()) return;
  set_nice(k_idle_nice);
}
