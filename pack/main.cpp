#include "pack/command_line.h"

int main(int argc, char** argv) {
  return binify::run_command_line(argc, argv);
}
