#pragma once
// Why a file or a folder failed, in a few Russian words, the system's own
// text following ours in brackets, for whoever searches for it or reads a
// bug report.
#include <string>

namespace lork {

// err: the errno value of a file or folder call (open, read, write, rename,
// mkdir ...). An unknown value is given by its number.
std::string fileErrorWords(int err);
// The words, then the system's own text in brackets:
// "нет такого файла или папки [No such file or directory]".
std::string fileErrorText(int err);
// "PATH: " and fileErrorText(err): a file the operator named or the
// program keeps, and why it cannot be used.
std::string fileError(const std::string& path, int err);

}  // namespace lork
