#include "text/console.h"

int NextInputByte(ConsoleInput* in) {
  if (in->pos == in->len) {
    if (in->at_end) return -1;
    in->pos = 0;
    in->len = ConsoleRead(in->buffer, ConsoleInput::kBlock);
    if (in->len == 0) {
      in->at_end = true;
      return -1;
    }
  }
  return static_cast<unsigned char>(in->buffer[in->pos++]);
}

void DropReceivedInput(ConsoleInput* in) {
  in->pos = in->len = 0;
  ConsoleDropTypedAhead();
}
