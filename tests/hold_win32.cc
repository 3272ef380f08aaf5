// A Windows program that holds a file open the way another program often
// does, sharing reading and writing but not its deletion, until its
// standard input ends: a rename over that file is then refused. It prints
// "tenu" once the file is open.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HANDLE file =
      CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD put = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "tenu", 4, &put, nullptr);
  char byte;
  DWORD got = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &got, nullptr) &&
         got > 0) {
  }
  CloseHandle(file);
  return 0;
}
