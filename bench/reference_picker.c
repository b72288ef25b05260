/* The floor the benchmark compares against: the least a terminal picker can
 * do. It opens the terminal, switches it to raw mode, draws three items in
 * one write, then sleeps in poll until a key arrives. Down and Up rewrite the
 * two rows that change, any other key but Enter writes nothing, and Enter
 * restores the terminal and exits with the highlighted item's number. */
#define _POSIX_C_SOURCE 200809L

#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#define ITEM_COUNT 3

static const char* const items[ITEM_COUNT] = {"Alpha", "Beta", "Gamma"};

/* Hotkey and text colours of a plain row and of the highlighted row. */
static const char* const normalHotkey = "\033[33;44m";
static const char* const normalText = "\033[37;44m";
static const char* const highlightHotkey = "\033[31;47m";
static const char* const highlightText = "\033[30;47m";

static size_t AppendRow(char* out, int index, int highlighted) {
  const char* hotkey = highlighted ? highlightHotkey : normalHotkey;
  const char* text = highlighted ? highlightText : normalText;
  return (size_t)sprintf(out, "\033[%dH%s%c%s%s", index + 1, hotkey, items[index][0], text, items[index] + 1);
}

static void WriteAll(int fd, const char* text, size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, text, length);
    if (written <= 0) return;
    text += written;
    length -= (size_t)written;
  }
}

static void DrawMenu(int fd, int current) {
  char screen[512];
  size_t length = (size_t)sprintf(screen, "\033[?25l%s\033[2J", normalText);
  for (int i = 0; i < ITEM_COUNT; ++i) length += AppendRow(screen + length, i, i == current);
  WriteAll(fd, screen, length);
}

static void MoveHighlight(int fd, int from, int to) {
  char rows[128];
  size_t length = AppendRow(rows, from, 0);
  length += AppendRow(rows + length, to, 1);
  WriteAll(fd, rows, length);
}

static int IsKey(const char* input, size_t length, const char* csi, const char* ss3) {
  return (length == strlen(csi) && memcmp(input, csi, length) == 0) ||
         (length == strlen(ss3) && memcmp(input, ss3, length) == 0);
}

int main(void) {
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
  if (tty < 0) return 255;
  struct termios saved;
  if (tcgetattr(tty, &saved) != 0) return 255;
  struct termios raw = saved;
  raw.c_iflag &= (tcflag_t) ~(ICRNL | IXON);
  raw.c_lflag &= (tcflag_t) ~(ICANON | ECHO | ISIG);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(tty, TCSANOW, &raw);

  int current = 0;
  DrawMenu(tty, current);
  for (;;) {
    struct pollfd wait = {.fd = tty, .events = POLLIN, .revents = 0};
    if (poll(&wait, 1, -1) < 0) continue;
    char input[64];
    const ssize_t length = read(tty, input, sizeof input);
    if (length <= 0) break;
    if (input[0] == '\r' || input[0] == '\n') break;
    if (IsKey(input, (size_t)length, "\033[B", "\033OB") && current + 1 < ITEM_COUNT) {
      MoveHighlight(tty, current, current + 1);
      ++current;
    } else if (IsKey(input, (size_t)length, "\033[A", "\033OA") && current > 0) {
      MoveHighlight(tty, current, current - 1);
      --current;
    }
  }
  static const char restore[] = "\033[m\033[2J\033[H\033[?25h";
  WriteAll(tty, restore, sizeof restore - 1);
  tcsetattr(tty, TCSANOW, &saved);
  return current + 1;
}
