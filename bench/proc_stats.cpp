#include "proc_stats.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

namespace bench {
namespace {

std::filesystem::path ProcessDirectory(pid_t pid) { return std::filesystem::path("/proc") / std::to_string(pid); }

// The number after "name:" in a status file.
std::optional<std::int64_t> ReadStatusField(const std::filesystem::path& status, std::string_view name) {
  std::ifstream file(status);
  std::string line;
  while (std::getline(file, line)) {
    if (line.size() > name.size() && line.compare(0, name.size(), name) == 0 && line[name.size()] == ':') {
      return std::stoll(line.substr(name.size() + 1));
    }
  }
  return std::nullopt;
}

// Clock ticks in user and system mode, from stat: the fallback when the
// kernel keeps no schedstat.
std::optional<std::int64_t> ReadCpuNanosFromTicks(const std::filesystem::path& task) {
  std::ifstream file(task / "stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t afterName = text.rfind(')');  // the name may hold blanks and parentheses
  if (afterName == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(afterName + 1));
  constexpr int kFieldsBeforeUserTime = 11;  // state .. cmajflt
  std::string skipped;
  for (int i = 0; i < kFieldsBeforeUserTime; ++i) fields >> skipped;
  std::int64_t user = 0;
  std::int64_t system = 0;
  if (!(fields >> user >> system)) return std::nullopt;
  return (user + system) * (1'000'000'000 / sysconf(_SC_CLK_TCK));
}

// Nanoseconds spent on a CPU: the first field of schedstat, more precise than
// the clock ticks of stat.
std::optional<std::int64_t> ReadCpuNanos(const std::filesystem::path& task) {
  std::ifstream file(task / "schedstat");
  std::int64_t nanos = 0;
  if (file >> nanos) return nanos;
  return ReadCpuNanosFromTicks(task);
}

}  // namespace

std::optional<CpuUsage> ReadCpuUsage(pid_t pid) {
  CpuUsage usage;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator(ProcessDirectory(pid) / "task", error)) {
    const auto cpu = ReadCpuNanos(task.path());
    const auto switches = ReadStatusField(task.path() / "status", "voluntary_ctxt_switches");
    if (!cpu || !switches) return std::nullopt;
    usage.cpuNanos += *cpu;
    usage.voluntarySwitches += *switches;
  }
  if (error) return std::nullopt;
  return usage;
}

std::optional<std::int64_t> ReadPeakResidentKb(pid_t pid) {
  return ReadStatusField(ProcessDirectory(pid) / "status", "VmHWM");
}

}  // namespace bench
