#pragma once
// The installer's account of itself: every line on standard error (standard output is kept for the
// takeover acknowledgement) and, when /log= asked for one, in a UTF-8 log file whose lines carry the
// local time, for the administrator who deployed it silently.

#include <string>

#include "owned.h"

namespace sample {

class InstallLog {
  public:
    // Creates (or empties) the log file; an empty path means no file. False when it cannot be
    // created, with the thread's last error.
    bool Open(const std::wstring& path);

    // A line for the console and the file.
    void Say(const wchar_t* format, ...);
    // A line for the file only: the details (each progress step) that would crowd the console.
    void Note(const wchar_t* format, ...);

  private:
    void Write(const std::wstring& line, bool console);

    OwnedFile file_;
};

}  // namespace sample
