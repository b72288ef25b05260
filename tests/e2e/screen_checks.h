// What Vexpick's screens look like, in terms the tests compare against.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gtest/gtest.h"
#include "pty_session.h"

namespace e2e {

// The terminal's palette index of a PC text-mode colour: blue and red trade
// places (PC 1 blue is ANSI 4, PC 4 red is ANSI 1).
constexpr int Ansi(int pc) { return (pc & 0b1010) | ((pc & 1) << 2) | ((pc >> 2) & 1); }

struct Colours {
  int fg = kDefaultColor;
  int bg = kDefaultColor;
  friend bool operator==(const Colours&, const Colours&) = default;
  friend void PrintTo(const Colours& colours, std::ostream* out) {
    *out << "fg " << colours.fg << " bg " << colours.bg;
  }
};
inline constexpr Colours kTerminalColours{kDefaultColor, kDefaultColor};
// A PC attribute byte as the terminal shows it, for any attribute but the
// start-up one (which is drawn in the terminal's own colours).
constexpr Colours Attribute(int attribute) { return {Ansi(attribute & 15), Ansi(attribute >> 4)}; }

inline Colours ColoursAt(const PtySession& session, int row, int column) {
  const Cell cell = session.CellAt(row, column);
  return {cell.fg, cell.bg};
}

// The colours the terminal would write the next character in.
inline Colours PenOf(PtySession& session) {
  session.Inject("\x1b[1;1HZ");
  return ColoursAt(session, 1, 1);
}

// The four attributes of the menu.
struct MenuColours {
  Colours normal;
  Colours hotkey;
  Colours highlight;
  Colours highlightHotkey;
};
// Start-up attribute 0x07: grey on black, drawn in the terminal's colours.
inline constexpr MenuColours kStartupMenuColours{kTerminalColours, Attribute(0x0F), Attribute(0x70), Attribute(0x7F)};
// The colour word $00FF7E1E: yellow on blue, white hotkeys, yellow on grey.
inline constexpr MenuColours kYellowOnBlue{Attribute(0x1E), Attribute(0x1F), Attribute(0x7E), Attribute(0x7F)};

// An item row of the menu: its text, the hotkey's colours at `hotkeyColumn`,
// the row's colours elsewhere in the text, and the normal background after it.
inline testing::AssertionResult MenuRow(const PtySession& session, int row, std::string_view text, int hotkeyColumn,
                                        bool highlighted, const MenuColours& colours) {
  if (session.Row(row) != text) {
    return testing::AssertionFailure() << "row " << row << " is \"" << session.Row(row) << "\", not \"" << text
                                       << "\"\n"
                                       << session.Dump();
  }
  const int width = static_cast<int>(text.size());
  for (int column = 1; column <= session.columns(); ++column) {
    const Colours seen = ColoursAt(session, row, column);
    Colours wanted = highlighted ? colours.highlight : colours.normal;
    if (column == hotkeyColumn) wanted = highlighted ? colours.highlightHotkey : colours.hotkey;
    // Past the text only the background shows.
    const bool matches = column <= width ? seen == wanted : seen.bg == colours.normal.bg;
    if (!matches) {
      return testing::AssertionFailure() << "row " << row << " column " << column << " has "
                                         << testing::PrintToString(seen) << ", wanted "
                                         << testing::PrintToString(wanted) << "\n"
                                         << session.Dump();
    }
  }
  return testing::AssertionSuccess();
}

// Every cell of the rows from `first` on is blank on the given background.
inline testing::AssertionResult BlankFrom(const PtySession& session, int first, int background) {
  for (int row = first; row <= session.rows(); ++row) {
    for (int column = 1; column <= session.columns(); ++column) {
      const Cell cell = session.CellAt(row, column);
      if (cell.text != " " || cell.bg != background) {
        return testing::AssertionFailure()
               << "row " << row << " column " << column << " holds \"" << cell.text << "\" on " << cell.bg << "\n"
               << session.Dump();
      }
    }
  }
  return testing::AssertionSuccess();
}

// The program's output as plain text: control sequences and carriage returns
// left out, line feeds kept.
inline std::string PlainText(std::string_view raw) {
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const char byte = raw[i];
    if (byte == '\x1b' && i + 1 < raw.size() && raw[i + 1] == '[') {
      i += 2;
      while (i < raw.size() && (raw[i] < 0x40 || raw[i] > 0x7E)) ++i;
    } else if (byte == '\x1b' && i + 1 < raw.size() && raw[i + 1] == ']') {
      while (i < raw.size() && raw[i] != '\x07' && raw.substr(i, 2) != "\x1b\\") ++i;
    } else if (byte == '\x1b') {
      ++i;
    } else if (byte != '\r') {
      text += byte;
    }
  }
  return text;
}

inline std::size_t Occurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + part.size())) ++count;
  return count;
}

// `lines` with `more` after them: arguments, rows.
inline std::vector<std::string> With(std::vector<std::string> lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

inline std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace e2e
