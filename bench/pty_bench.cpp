// Measures a terminal picker side by side with a minimal C picker in the same
// run: start-up, idle cost, bytes written per key, exit, memory, and the load
// of a large question file. Prints a markdown table; exits 1 when a figure
// misses its limit.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/utf8.h"
#include "proc_stats.h"
#include "pty_session.h"

namespace bench {
namespace {

constexpr int kColumns = 80;
constexpr int kRows = 24;
constexpr Nanos kSettleQuiet = Milliseconds(300);  // silence that means the screen is complete
constexpr Nanos kKeyQuiet = Milliseconds(150);     // silence after a measured key
constexpr Nanos kStepQuiet = Milliseconds(40);     // silence after a key that only positions
constexpr Nanos kStartLimit = Milliseconds(30000);
constexpr Nanos kExitLimit = Milliseconds(5000);
constexpr int kLargeMenuItems = 500;
constexpr int kQuestionLines = 1'000'000;
constexpr int kQuestionLineBytes = 100;  // line end included
constexpr std::size_t kQuestionFileBytes = std::size_t{kQuestionLines} * kQuestionLineBytes;

struct Options {
  std::string vexpick = VEXPICK_PROGRAM;
  std::string reference = REFERENCE_PROGRAM;
  int runs = 21;
  int warmupRuns = 2;
  int idleRuns = 3;
  int idleSeconds = 5;
  int scrollRuns = 5;
  int questionRuns = 3;
  bool peers = true;
  bool questionFile = true;
  bool dump = false;
  bool samples = false;
};

// The items of a menu, also as a file of lines for pickers that read stdin.
struct ItemSet {
  std::vector<std::string> texts;
  std::string file;
};

struct Subject {
  std::string name;
  std::function<Command(const ItemSet&)> menu;
  bool scrolls = true;         // can show a menu longer than the window
  bool ignoresLetters = true;  // a letter that picks nothing changes nothing
  int exitAfterDown = 0;       // the status after Down, Enter in the 3-item menu
};

enum class Figure {
  Settle,
  StartCpu,
  IdleCpu,
  IdleSwitches,
  MoveBytes,
  ScrollBytes,
  HomeBytes,
  LetterBytes,
  ExitTime,
  PeakMemory,
  QuestionLoad,
  QuestionMemory,
  MemoryFloor,
};

class Results {
 public:
  void Add(const std::string& subject, Figure figure, double value) { samples_[{subject, figure}].push_back(value); }
  [[nodiscard]] std::vector<double> Samples(const std::string& subject, Figure figure) const {
    const auto found = samples_.find({subject, figure});
    return found == samples_.end() ? std::vector<double>{} : found->second;
  }
  [[nodiscard]] std::optional<double> Median(const std::string& subject, Figure figure) const {
    const auto found = samples_.find({subject, figure});
    if (found == samples_.end() || found->second.empty()) return std::nullopt;
    std::vector<double> values = found->second;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  }
  void Note(const std::string& text) { notes_.push_back(text); }
  [[nodiscard]] const std::vector<std::string>& Notes() const { return notes_; }
  void Dump(const std::string& label, const std::string& bytes) { dumps_.emplace_back(label, bytes); }
  [[nodiscard]] const std::vector<std::pair<std::string, std::string>>& Dumps() const { return dumps_; }

 private:
  std::map<std::pair<std::string, Figure>, std::vector<double>> samples_;
  std::vector<std::string> notes_;
  std::vector<std::pair<std::string, std::string>> dumps_;
};

// ---------------------------------------------------------------------------
// Workspace

class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexpick-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

ItemSet MakeItemSet(std::vector<std::string> texts, const std::filesystem::path& file) {
  std::ofstream out(file, std::ios::binary);
  for (const std::string& text : texts) out << text << '\n';
  return ItemSet{std::move(texts), file.string()};
}

// Every item begins with a character of its own (CJK ideographs have no
// letter case), so that a picker that needs one hotkey per item gets them.
std::vector<std::string> LargeMenuTexts() {
  constexpr char32_t kFirstIdeograph = 0x4E00;
  std::vector<std::string> texts;
  for (int i = 0; i < kLargeMenuItems; ++i) {
    texts.push_back(vexpick::utf8::Encode(kFirstIdeograph + static_cast<char32_t>(i)) + " Item " +
                    std::to_string(i + 1));
  }
  return texts;
}

// 1 million lines of 100 bytes each.
std::filesystem::path WriteQuestionFile(const std::filesystem::path& directory) {
  const std::filesystem::path path = directory / "question.txt";
  std::ofstream out(path, std::ios::binary);
  std::string block;
  constexpr int kLinesPerBlock = 10'000;
  for (int line = 0; line < kQuestionLines; ++line) {
    std::string text = "Line " + std::to_string(line + 1) + " ";
    text.resize(kQuestionLineBytes - 1, 'x');
    block += text;
    block += '\n';
    if ((line + 1) % kLinesPerBlock == 0) {
      out << block;
      block.clear();
    }
  }
  out << block;
  return path;
}

// ---------------------------------------------------------------------------
// Subjects

bool IsInstalled(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream directories(path != nullptr ? path : "");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    if (!directory.empty() && access((std::filesystem::path(directory) / program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

Command VexpickMenu(const std::string& binary, const ItemSet& items) {
  Command command{{binary, "--menu"}, {}};
  for (const std::string& text : items.texts) command.argv.push_back("~" + text);
  return command;
}

// dialog and whiptail take "tag item" pairs.
Command TaggedMenu(const std::string& program, const ItemSet& items) {
  Command command{{program, "--menu", "Pick one", "0", "0", "0"}, {}};
  for (std::size_t i = 0; i < items.texts.size(); ++i) {
    command.argv.push_back(std::to_string(i + 1));
    command.argv.push_back(items.texts[i]);
  }
  return command;
}

std::vector<Subject> MakeSubjects(const Options& options) {
  std::vector<Subject> subjects;
  subjects.push_back(
      {"vexpick", [&](const ItemSet& items) { return VexpickMenu(options.vexpick, items); }, true, true, 2});
  subjects.push_back({"reference", [&](const ItemSet&) { return Command{{options.reference}, {}}; }, false, true, 2});
  if (!options.peers) return subjects;
  for (const char* program : {"dialog", "whiptail"}) {
    if (IsInstalled(program)) {
      subjects.push_back({program, [program](const ItemSet& items) { return TaggedMenu(program, items); }});
    }
  }
  if (IsInstalled("fzf")) {
    // Typing a letter into fzf edits its query: there is no ignored letter.
    subjects.push_back({"fzf",
                        [](const ItemSet& items) {
                          return Command{{"fzf", "--layout=reverse"}, items.file};
                        },
                        true, false});
  }
  return subjects;
}

// ---------------------------------------------------------------------------
// Measurements

std::string CursorKey(const PtySession& session, char final) {
  return std::string(session.ApplicationCursorKeys() ? "\x1bO" : "\x1b[") + final;
}

std::string PressKey(PtySession& session, const std::string& key, Nanos quiet = kKeyQuiet) {
  session.WriteKeys(key);
  return session.ReadUntilQuiet(quiet, kStartLimit).bytes;
}

Burst WaitForScreen(PtySession& session) {
  Burst screen = session.ReadUntilQuiet(kSettleQuiet, kStartLimit, true);
  if (screen.bytes.empty()) throw std::runtime_error("no output");
  return screen;
}

Nanos PressEnterUntilExit(PtySession& session) {
  const Nanos pressed = Now();
  session.WriteKeys("\r");
  const auto ended = session.WaitForExit(kExitLimit);
  if (!ended) throw std::runtime_error("still running after Enter");
  return *ended - pressed;
}

void MeasureIdle(PtySession& session, const Subject& subject, Nanos duration, Results& results) {
  const auto before = ReadCpuUsage(session.Pid());
  session.ReadUntilQuiet(duration, duration);
  const auto after = ReadCpuUsage(session.Pid());
  if (!before || !after) throw std::runtime_error("cannot read the CPU usage");
  results.Add(subject.name, Figure::IdleCpu, ToMilliseconds(after->cpuNanos - before->cpuNanos));
  results.Add(subject.name, Figure::IdleSwitches,
              static_cast<double>(after->voluntarySwitches - before->voluntarySwitches));
}

struct RunPlan {
  bool idle = false;
  bool dump = false;
};

void MeasureSmallMenu(const Subject& subject, const ItemSet& items, const Options& options, RunPlan plan,
                      Results& results) {
  PtySession session(subject.menu(items), kColumns, kRows);
  std::optional<CpuUsage> usageAtLastOutput;
  session.OnOutput([&] { usageAtLastOutput = ReadCpuUsage(session.Pid()); });
  const Burst screen = WaitForScreen(session);
  session.OnOutput(nullptr);
  results.Add(subject.name, Figure::Settle, ToMilliseconds(screen.lastByte - session.StartTime()));
  if (usageAtLastOutput) results.Add(subject.name, Figure::StartCpu, ToMilliseconds(usageAtLastOutput->cpuNanos));
  if (const auto peak = ReadPeakResidentKb(session.Pid())) results.Add(subject.name, Figure::PeakMemory, *peak);
  if (plan.idle) MeasureIdle(session, subject, Milliseconds(options.idleSeconds * 1000LL), results);

  const auto measureKey = [&](Figure figure, const std::string& label, const std::string& key) {
    const std::string output = PressKey(session, key);
    results.Add(subject.name, figure, static_cast<double>(output.size()));
    if (plan.dump) results.Dump(subject.name + ": " + label, output);
  };
  if (plan.dump) results.Dump(subject.name + ": start-up screen (3 items)", screen.bytes);
  measureKey(Figure::HomeBytes, "Home on the first item", CursorKey(session, 'H'));
  if (subject.ignoresLetters) measureKey(Figure::LetterBytes, "the letter x", "x");
  measureKey(Figure::MoveBytes, "Down in the 3-item menu", CursorKey(session, 'B'));
  results.Add(subject.name, Figure::ExitTime, ToMilliseconds(PressEnterUntilExit(session)));
  if (session.ExitStatus() != subject.exitAfterDown) {
    results.Note(subject.name + ": exit status " + std::to_string(session.ExitStatus()) + " after Down, Enter (" +
                 std::to_string(subject.exitAfterDown) + " expected)");
  }
}

void MeasureScroll(const Subject& subject, const ItemSet& items, RunPlan plan, Results& results) {
  PtySession session(subject.menu(items), kColumns, kRows);
  WaitForScreen(session);
  // Enough to bring the highlight to the window's last row, whatever the
  // layout: every Down from there on scrolls.
  for (int step = 0; step < kRows + 5; ++step) PressKey(session, CursorKey(session, 'B'), kStepQuiet);
  const std::string output = PressKey(session, CursorKey(session, 'B'));
  results.Add(subject.name, Figure::ScrollBytes, static_cast<double>(output.size()));
  if (plan.dump) results.Dump(subject.name + ": Down that scrolls the 500-item menu", output);
  PressEnterUntilExit(session);
}

void MeasureQuestionFile(const Options& options, const std::filesystem::path& file, Results& results) {
  PtySession session(Command{{options.vexpick, "--menu", "--question-file=" + file.string(), "~Ok"}, {}}, kColumns,
                     kRows);
  const Burst screen = WaitForScreen(session);
  results.Add("vexpick", Figure::QuestionLoad, ToMilliseconds(screen.lastByte - session.StartTime()));
  if (const auto peak = ReadPeakResidentKb(session.Pid())) results.Add("vexpick", Figure::QuestionMemory, *peak);
  PressEnterUntilExit(session);
}

// How long this machine takes to give a process `bytes` of memory it never
// touched before: every page faults in once. Loading a file of that size
// cannot be faster.
Nanos TimeFreshMemory(std::size_t bytes) {
  const Nanos start = Now();
  const auto memory = std::make_unique_for_overwrite<char[]>(bytes);
  std::memset(memory.get(), 1, bytes);
  const Nanos end = Now();
  volatile char keep = memory[bytes / 2];  // the writes must happen
  static_cast<void>(keep);
  return end - start;
}

// Runs one measurement; a failure becomes a note instead of ending the benchmark.
void Attempt(Results& results, const std::string& what, const std::function<void()>& measure) {
  try {
    measure();
  } catch (const std::exception& error) {
    results.Note(what + ": " + error.what());
  }
}

void MeasureAll(const Options& options, const std::vector<Subject>& subjects, Results& results) {
  TempDirectory workspace;
  const ItemSet small = MakeItemSet({"Alpha", "Beta", "Gamma"}, workspace.Path() / "small.txt");
  const ItemSet large = MakeItemSet(LargeMenuTexts(), workspace.Path() / "large.txt");
  // Unrecorded runs first: the first start of a program pays for cold caches.
  Results discarded;
  for (int run = 0; run < options.warmupRuns; ++run) {
    for (const Subject& subject : subjects) {
      Attempt(discarded, subject.name, [&] { MeasureSmallMenu(subject, small, options, RunPlan{}, discarded); });
    }
  }
  // Interleaved, so that a busy moment of the machine hits every subject alike.
  for (int run = 0; run < options.runs; ++run) {
    for (const Subject& subject : subjects) {
      const RunPlan plan{run < options.idleRuns, options.dump && run == 0};
      Attempt(results, subject.name + " run " + std::to_string(run + 1),
              [&] { MeasureSmallMenu(subject, small, options, plan, results); });
    }
  }
  for (int run = 0; run < options.scrollRuns; ++run) {
    for (const Subject& subject : subjects) {
      if (!subject.scrolls) continue;
      const RunPlan plan{false, options.dump && run == 0};
      Attempt(results, subject.name + " scroll run " + std::to_string(run + 1),
              [&] { MeasureScroll(subject, large, plan, results); });
    }
  }
  if (!options.questionFile) return;
  const std::filesystem::path file = WriteQuestionFile(workspace.Path());
  for (int run = 0; run < options.questionRuns; ++run) {
    Attempt(results, "question file run " + std::to_string(run + 1),
            [&] { MeasureQuestionFile(options, file, results); });
    results.Add("reference", Figure::MemoryFloor, ToMilliseconds(TimeFreshMemory(kQuestionFileBytes)));
  }
}

// ---------------------------------------------------------------------------
// Report

std::string Format(double value, int decimals) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
  return text.data();
}

// How a figure is shown and judged.
struct Row {
  Figure figure;
  std::string title;
  std::string limitText;
  std::function<std::string(double)> show;
  bool relativeToReference = false;  // judged and shown as a ratio to the reference
  double limit = 0;                  // the largest value (or ratio) that passes
  bool judged = true;                // false: shown for information only
};

double QuestionFileKb() { return static_cast<double>(kQuestionFileBytes) / 1024; }

std::vector<Row> ReportRows() {
  const auto ms = [](double v) { return Format(v, 2) + " ms"; };
  const auto bytes = [](double v) { return Format(v, 0) + " B"; };
  const auto count = [](double v) { return Format(v, 0); };
  const auto kb = [](double v) { return Format(v, 0) + " kB"; };
  const auto mb = [](double v) { return Format(v / 1024, 1) + " MB (" + Format(v / QuestionFileKb(), 2) + "x file)"; };
  return {
      {Figure::Settle, "start to settled screen (3 items)", "<= 1.3x reference", ms, true, 1.3},
      {Figure::StartCpu, "CPU time of the process until then", "(information)", ms, true, 0, false},
      {Figure::IdleCpu, "idle CPU time while the menu waits", "0 ms", ms, false, 0.5},
      {Figure::IdleSwitches, "idle voluntary context switches", "<= 2", count, false, 2},
      {Figure::MoveBytes, "bytes for Down moving the highlight (3 items)", "<= 49 B", bytes, false, 49},
      {Figure::ScrollBytes, "bytes for Down scrolling a 500-item menu", "<= 245 B", bytes, false, 245},
      {Figure::HomeBytes, "bytes for Home on the first item", "0 B", bytes, false, 0},
      {Figure::LetterBytes, "bytes for a letter that picks nothing", "0 B", bytes, false, 0},
      {Figure::ExitTime, "Enter to exit", "<= 1.3x reference", ms, true, 1.3},
      {Figure::PeakMemory, "peak memory (VmHWM) while waiting", "<= 2048 kB", kb, false, 2048},
      {Figure::QuestionLoad, "100 MB, 1M-line question file: start to menu", "< 1000 ms", ms, false, 1000},
      {Figure::QuestionMemory, "100 MB question file: peak memory", "< 3x file", mb, false, 3 * QuestionFileKb()},
      {Figure::MemoryFloor, "writing 100 MB of fresh memory (this machine)", "(information)", ms, false, 0, false},
  };
}

std::string Cell(const Results& results, const Row& row, const std::string& subject) {
  const auto value = results.Median(subject, row.figure);
  if (!value) return "-";
  std::string text = row.show(*value);
  const auto reference = results.Median("reference", row.figure);
  if (row.relativeToReference && subject != "reference" && reference && *reference > 0) {
    text += " (" + Format(*value / *reference, 2) + "x)";
  }
  return text;
}

bool Passes(const Results& results, const Row& row) {
  const auto value = results.Median("vexpick", row.figure);
  if (!value) return false;
  if (!row.relativeToReference) return *value <= row.limit;
  const auto reference = results.Median("reference", row.figure);
  return reference && *value <= row.limit * *reference;
}

std::string Escaped(const std::string& bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0x1b) {
      text += "\\e";
    } else if (byte == '\\') {
      text += "\\\\";
    } else if (byte >= 0x20 && byte < 0x7f) {
      text += c;
    } else {
      std::array<char, 8> hex{};
      std::snprintf(hex.data(), hex.size(), "\\x%02x", byte);
      text += hex.data();
    }
  }
  return text;
}

// Every value measured, in run order, for the figures that vary.
void PrintSamples(const std::vector<Subject>& subjects, const Results& results) {
  for (const Row& row : ReportRows()) {
    for (const Subject& subject : subjects) {
      const std::vector<double> values = results.Samples(subject.name, row.figure);
      if (values.empty()) continue;
      std::cout << "\n" << subject.name << ", " << row.title << ":";
      for (const double value : values) std::cout << ' ' << Format(value, 2);
    }
  }
  std::cout << '\n';
}

bool PrintReport(const Options& options, const std::vector<Subject>& subjects, const Results& results) {
  std::ostream& out = std::cout;
  out << "Medians of " << options.runs << " runs (idle: " << options.idleRuns << " of " << options.idleSeconds
      << " s, scrolling: " << options.scrollRuns << ", question file: " << options.questionRuns << "), " << kColumns
      << "x" << kRows << " pseudo-terminal.\n\n";
  out << "| figure | limit |";
  for (const Subject& subject : subjects) out << ' ' << subject.name << " |";
  out << " result |\n|---|---|";
  for (std::size_t i = 0; i < subjects.size(); ++i) out << "---|";
  out << "---|\n";
  bool allPass = true;
  for (const Row& row : ReportRows()) {
    if (!options.questionFile && row.figure >= Figure::QuestionLoad) continue;
    const bool pass = !row.judged || Passes(results, row);
    allPass = allPass && pass;
    out << "| " << row.title << " | " << row.limitText << " |";
    for (const Subject& subject : subjects) out << ' ' << Cell(results, row, subject.name) << " |";
    out << ' ' << (!row.judged ? "" : pass ? "PASS" : "FAIL") << " |\n";
  }
  if (!results.Notes().empty()) {
    out << "\nNotes:\n";
    for (const std::string& note : results.Notes()) out << "- " << note << '\n';
  }
  if (options.samples) PrintSamples(subjects, results);
  for (const auto& [label, bytes] : results.Dumps()) {
    out << "\n" << label << " (" << bytes.size() << " B):\n```\n" << Escaped(bytes) << "\n```\n";
  }
  return allPass;
}

// ---------------------------------------------------------------------------
// Command line

constexpr const char* kUsage =
    "usage: vexpick_bench [--vexpick=PATH] [--reference=PATH] [--runs=N] [--warmup-runs=N] [--idle-runs=N]\n"
    "                     [--idle-seconds=N] [--scroll-runs=N] [--question-runs=N]\n"
    "                     [--no-peers] [--no-question-file] [--dump] [--samples]\n";

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  const std::map<std::string, int*> numbers{{"--runs", &options.runs},
                                            {"--warmup-runs", &options.warmupRuns},
                                            {"--idle-runs", &options.idleRuns},
                                            {"--idle-seconds", &options.idleSeconds},
                                            {"--scroll-runs", &options.scrollRuns},
                                            {"--question-runs", &options.questionRuns}};
  const std::map<std::string, std::string*> paths{{"--vexpick", &options.vexpick}, {"--reference", &options.reference}};
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : argument.substr(equals + 1);
    if (numbers.contains(name) && !value.empty()) {
      *numbers.at(name) = std::max(0, std::atoi(value.c_str()));
    } else if (paths.contains(name) && !value.empty()) {
      *paths.at(name) = value;
    } else if (argument == "--no-peers") {
      options.peers = false;
    } else if (argument == "--no-question-file") {
      options.questionFile = false;
    } else if (argument == "--dump") {
      options.dump = true;
    } else if (argument == "--samples") {
      options.samples = true;
    } else {
      return std::nullopt;
    }
  }
  if (options.vexpick.empty() || options.reference.empty() || options.runs < 1) return std::nullopt;
  return options;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  const auto options = bench::ParseOptions(argc, argv);
  if (!options) {
    std::cerr << bench::kUsage;
    return 2;
  }
  const std::vector<bench::Subject> subjects = bench::MakeSubjects(*options);
  bench::Results results;
  bench::MeasureAll(*options, subjects, results);
  return bench::PrintReport(*options, subjects, results) ? 0 : 1;
}
