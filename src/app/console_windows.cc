// The command line arrives in UTF-16 (wmain) and goes on in UTF-8. Output is UTF-8 bytes when
// redirected to a file or a pipe; to a console window it is written as UTF-16 with
// WriteConsoleW, which shows every character whatever the console's code page.
#include <cstdio>
#include <streambuf>
#include <string>
#include <vector>

#include "app/console_system.h"
#include "compaction/raised_error.h"
#include "compaction/run_compaction.h"
#include "platform/windows/com_apartment.h"
#include "platform/windows/com_object_factory.h"
#include "platform/windows/wide_text.h"
#include "text/utf.h"
#include "ui/console/console_host.h"

namespace vintrel::console {
namespace {

// Holds what is written until the stream is flushed (each entry is), then writes it whole, so
// that a character's UTF-8 bytes are never split between two writes.
class StandardHandleBuffer final : public std::streambuf {
 public:
  explicit StandardHandleBuffer(DWORD which) : handle_(::GetStdHandle(which)) {
    DWORD mode;
    console_ = handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle_, &mode);
  }

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) pending_.push_back(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<size_t>(count));
    return count;
  }
  int sync() override {
    const bool written = console_ ? WriteConsole() : WriteBytes();
    pending_.clear();
    return written ? 0 : -1;
  }

 private:
  bool WriteConsole() {
    const std::wstring text = ToWide(FromUtf8(pending_));
    DWORD written = 0;
    for (size_t done = 0; done < text.size(); done += written) {
      if (!::WriteConsoleW(handle_, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) ||
          written == 0) {
        return false;
      }
    }
    return true;
  }
  bool WriteBytes() {
    DWORD written = 0;
    for (size_t done = 0; done < pending_.size(); done += written) {
      if (!::WriteFile(handle_, pending_.data() + done, static_cast<DWORD>(pending_.size() - done), &written,
                       nullptr) ||
          written == 0) {
        return false;
      }
    }
    return true;
  }

  HANDLE handle_;
  bool console_ = false;
  std::string pending_;
};

// Flushed after every output operation, as std::cerr is.
std::ostream& StandardStream(DWORD which) {
  static StandardHandleBuffer output(STD_OUTPUT_HANDLE), errors(STD_ERROR_HANDLE);
  static std::ostream output_stream(&output), errors_stream(&errors);
  std::ostream& stream = which == STD_OUTPUT_HANDLE ? output_stream : errors_stream;
  stream.setf(std::ios::unitbuf);
  return stream;
}

}  // namespace

std::ostream& Output() { return StandardStream(STD_OUTPUT_HANDLE); }
std::ostream& Errors() { return StandardStream(STD_ERROR_HANDLE); }

bool CanSalvage() { return false; }

bool RunPass(bool, std::ostream& log, std::ostream& errors) {
  try {
    const ComApartment apartment;
    ComObjectFactory objects;
    ConsoleHost host(objects, log, errors);
    RunCompaction(host);
    return host.failed();
  } catch (const RaisedError& failure) {
    // COM could not be set up for the pass.
    errors << ToUtf8(failure.description()) << "\n";
    return true;
  }
}

}  // namespace vintrel::console

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(vintrel::ToUtf8(vintrel::FromWide(argv[i])));
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return vintrel::console::ConsoleMain(argc, pointers.data());
}
