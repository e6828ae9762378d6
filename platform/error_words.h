#pragma once
// Why a port, a file or a host name failed, in a few Russian words for a
// message box: the system's own texts are English on Linux and say nothing an
// operator can act on. The system's text follows ours in brackets, for whoever
// searches for it or reads a bug report.
#include <cstdint>
#include <string>

namespace lork {

// err: the system error code a port call gave (errno here, GetLastError or
// a Winsock code on Windows). An unknown code is given by its number.
std::string Error_words(uint32_t err);

// err: the errno value of a file or folder call (open, read, write, rename,
// mkdir ...). An unknown value is given by its number.
std::string File_error_words(int err);
// The words, then the system's own text in brackets:
// "нет такого файла или папки [No such file or directory]".
std::string File_error_text(int err);
// "PATH: " and File_error_text(err): a file the operator named or the
// program keeps, and why it cannot be used.
std::string File_error(const std::string& path, int err);

}  // namespace lork
