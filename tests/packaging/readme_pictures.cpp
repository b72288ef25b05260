// Draws the README's pictures from real runs: the program in a pseudo-terminal,
// its screen read back cell by cell, with colours, and written as SVG.
//
// usage: vexpick_readme_pictures DIRECTORY
// writes DIRECTORY/prompt.svg, DIRECTORY/menu.svg and DIRECTORY/menu-colour.svg

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "pty_session.h"

namespace {

using e2e::Cell;
using e2e::PtySession;
using e2e::SessionOptions;

// The PC text palette in the terminal's numbering, where red is 1 and blue 4.
constexpr std::string_view kPalette[16] = {"#000000", "#aa0000", "#00aa00", "#aa5500", "#0000aa", "#aa00aa",
                                           "#00aaaa", "#aaaaaa", "#555555", "#ff5555", "#55ff55", "#ffff55",
                                           "#5555ff", "#ff55ff", "#55ffff", "#ffffff"};
// The terminal's own colours: those of the PC console, light grey on black,
// which is what the program takes them for.
constexpr std::string_view kDefaultForeground = kPalette[7];
constexpr std::string_view kDefaultBackground = kPalette[0];

constexpr double kCellWidth = 8.4;  // 0.6 em: the advance of a 14 px monospace font
constexpr int kCellHeight = 18;
constexpr int kBaseline = 14;
constexpr int kMargin = 12;

std::string_view Colour(int index, std::string_view terminalDefault) {
  return index >= 0 && index < 16 ? kPalette[index] : terminalDefault;
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

double X(int column) { return kMargin + (column - 1) * kCellWidth; }
int Y(int row) { return kMargin + (row - 1) * kCellHeight; }

using Row = std::vector<Cell>;

// Calls `draw(first, count)` for every run of cells on which `same` holds
// between neighbours.
template <typename Same, typename Draw>
void ForEachRun(const Row& cells, Same same, Draw draw) {
  std::size_t first = 0;
  for (std::size_t i = 1; i <= cells.size(); ++i) {
    if (i == cells.size() || !same(cells[first], cells[i])) {
      draw(first, i - first);
      first = i;
    }
  }
}

void DrawBackgrounds(std::ostream& svg, const Row& cells, int row) {
  ForEachRun(
      cells, [](const Cell& a, const Cell& b) { return a.bg == b.bg; },
      [&](std::size_t first, std::size_t count) {
        if (cells[first].bg == e2e::kDefaultColor) return;
        svg << "<rect x=\"" << X(static_cast<int>(first) + 1) << "\" y=\"" << Y(row) << "\" width=\""
            << count * kCellWidth << "\" height=\"" << kCellHeight << "\" fill=\""
            << Colour(cells[first].bg, kDefaultBackground) << "\"/>\n";
      });
}

void DrawTexts(std::ostream& svg, const Row& cells, int row) {
  ForEachRun(
      cells, [](const Cell& a, const Cell& b) { return a.fg == b.fg; },
      [&](std::size_t first, std::size_t count) {
        std::string text;
        for (std::size_t i = first; i < first + count; ++i) text += cells[i].text;
        const std::size_t end = text.find_last_not_of(' ');
        if (end == std::string::npos) return;
        const std::size_t leading = text.find_first_not_of(' ');
        text = text.substr(leading, end + 1 - leading);
        // Every character of the pictures is ASCII, so bytes are cells.
        svg << "<text x=\"" << X(static_cast<int>(first + leading) + 1) << "\" y=\"" << Y(row) + kBaseline
            << "\" textLength=\"" << text.size() * kCellWidth << "\" lengthAdjust=\"spacingAndGlyphs\" fill=\""
            << Colour(cells[first].fg, kDefaultForeground) << "\">" << Escaped(text) << "</text>\n";
      });
}

std::string Svg(const PtySession& screen) {
  const double width = 2 * kMargin + screen.columns() * kCellWidth;
  const int height = 2 * kMargin + screen.rows() * kCellHeight;
  std::ostringstream svg;
  svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" font-family=\"DejaVu Sans Mono, Menlo, Consolas, monospace\" font-size=\"14\""
      << " xml:space=\"preserve\">\n"
      << "<rect width=\"100%\" height=\"100%\" rx=\"6\" fill=\"" << kDefaultBackground << "\"/>\n";
  for (int row = 1; row <= screen.rows(); ++row) {
    Row cells;
    for (int column = 1; column <= screen.columns(); ++column) cells.push_back(screen.CellAt(row, column));
    DrawBackgrounds(svg, cells, row);
    DrawTexts(svg, cells, row);
  }
  if (screen.CursorVisible()) {
    const e2e::Position cursor = screen.Cursor();
    svg << "<rect x=\"" << X(cursor.column) << "\" y=\"" << Y(cursor.row) + kCellHeight - 3 << "\" width=\""
        << kCellWidth << "\" height=\"2\" fill=\"" << kDefaultForeground << "\"/>\n";
  }
  svg << "</svg>\n";
  return svg.str();
}

void Check(const testing::AssertionResult& result) {
  if (result) return;
  std::cerr << result.message() << "\n";
  std::exit(1);
}

void CheckEnds(PtySession& session, e2e::ExitStatus expected) {
  const std::optional<e2e::ExitStatus> status = session.WaitForExit();
  if (status == expected) return;
  std::cerr << "the program did not end as expected\n" << session.Dump();
  std::exit(1);
}

void Save(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary);
  file << content;
  if (!file.flush()) {
    std::cerr << "cannot write " << path << "\n";
    std::exit(1);
  }
}

void DrawPrompt(const std::string& directory) {
  PtySession session(
      SessionOptions{.args = {"--question=Continue?", "~Yes", "~No", "~Cancel"}, .columns = 56, .rows = 4});
  // The shell's echo of the command line, as a person would see it.
  session.Inject("$ vexpick --question=\"Continue?\" ~Yes ~No ~Cancel\r\n");
  Check(session.WaitForRow(3, "[YNC]"));
  Save(directory + "/prompt.svg", Svg(session));
  session.Type("n");
  CheckEnds(session, e2e::Exited(2));
}

// Runs a menu with `questionLines` on standard input in a window just big
// enough, and draws it once its last row shows `lastItem`.
void DrawMenu(const std::string& path, std::vector<std::string> args, std::string_view questionLines, int rows,
              std::string_view lastItem) {
  const e2e::TempDir scratch;
  PtySession session(SessionOptions{.args = std::move(args),
                                    .columns = 56,
                                    .rows = rows,
                                    .stdinFrom = e2e::Stdin::kFile,
                                    .stdinFile = scratch.Write("lines", questionLines)});
  Check(session.WaitForRow(rows, lastItem));
  Save(path, Svg(session));
  session.Type(e2e::keys::kEscape);
  CheckEnds(session, e2e::Exited(0));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " DIRECTORY\n";
    return 2;
  }
  const std::string directory = argv[1];
  DrawPrompt(directory);
  DrawMenu(directory + "/menu.svg", {"--menu", "--default=4", "~Disk space", "~Processes", "~Uptime", "~Quit"},
           "Maintenance of server1\n2026-12-11 09:30\nWhat now?\n", 7, "Quit");
  DrawMenu(directory + "/menu-colour.svg",
           {"--menu", "--color=0x00FF7E1E", "--question=Pick a fruit", "~Apple", "~Banana", "~Cherry"}, "", 4,
           "Cherry");
  return 0;
}
