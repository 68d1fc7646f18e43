// hold_open FILE...: holds each file open as a Jet client holds a database and its lock file
// (read and write, sharing both, a byte range of each locked), says "held" on standard output,
// and waits for a line on standard input; then writes "later write" at the end of the first
// file and ends. For the Windows tests of the engine's in-use refusal.
#include <windows.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  std::vector<HANDLE> files;
  for (int i = 1; i < argc; ++i) {
    const HANDLE file = ::CreateFileW(argv[i], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Jet locks ranges far past a database's end, where its users take their places.
    if (file == INVALID_HANDLE_VALUE || !::LockFile(file, 0x10000000, 0, 256, 0)) {
      std::fprintf(stderr, "hold_open: cannot hold %ls: error %lu\n", argv[i], ::GetLastError());
      return 1;
    }
    files.push_back(file);
  }
  std::printf("held\n");
  std::fflush(stdout);
  char line[16];
  if (std::fgets(line, sizeof line, stdin) == nullptr) return 1;
  const char text[] = "later write";
  LARGE_INTEGER end{};
  DWORD written = 0;
  if (files.empty() || !::SetFilePointerEx(files[0], end, nullptr, FILE_END) ||
      !::WriteFile(files[0], text, sizeof text - 1, &written, nullptr) || written != sizeof text - 1) {
    std::fprintf(stderr, "hold_open: cannot write: error %lu\n", ::GetLastError());
    return 1;
  }
  for (HANDLE file : files) ::CloseHandle(file);
  return 0;
}
