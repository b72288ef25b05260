// What the kernel counts for a running process, read from /proc.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace bench {

struct CpuUsage {
  std::int64_t cpuNanos = 0;           // time on a CPU, all threads
  std::int64_t voluntarySwitches = 0;  // times a thread gave up the CPU to wait, all threads
};

std::optional<CpuUsage> ReadCpuUsage(pid_t pid);
// VmHWM: the most resident memory the process has had, in kB.
std::optional<std::int64_t> ReadPeakResidentKb(pid_t pid);

}  // namespace bench
