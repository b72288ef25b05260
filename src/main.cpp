#include "Vexpick.h"

int main(int argc, char** argv) {
  auto console = vexpick::OpenConsole();
  return vexpick::RunVexpick(vexpick::ProgramArguments(argc, argv), *console);
}
