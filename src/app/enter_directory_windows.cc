#include <windows.h>

#include <stdexcept>

#include "app/enter_directory.h"
#include "platform/windows/com_error.h"
#include "platform/windows/wide_text.h"
#include "text/utf.h"

namespace vintrel {

void EnterDirectory(const std::string& directory) {
  if (!::SetCurrentDirectoryW(ToWide(FromUtf8(directory)).c_str())) {
    throw std::runtime_error("cannot enter '" + directory +
                             "': " + ToUtf8(StandardText(HRESULT_FROM_WIN32(::GetLastError()))));
  }
}

}  // namespace vintrel
