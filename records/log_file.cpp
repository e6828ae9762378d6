#include "records/log_file.h"

#include <cerrno>

#include "platform/file_words.h"
#include "records/format.h"

namespace lork::journal {

std::string LogFile::failureText(const std::string& path, int err) {
    return "журнал обмена: не удаётся писать в файл " + fileError(path, err);
}

bool LogFile::start(const std::string& path) {
    stop();
    path_ = path;
    f_ = std::fopen(path.c_str(), "a");
    if (!f_) {
        fail(errno);
        return false;
    }
    if (std::ftell(f_) == 0) {
        const std::string h = csvHeader() + '\n';
        if (std::fputs(h.c_str(), f_) < 0 || std::fflush(f_) != 0) {
            fail(errno);
            return false;
        }
    }
    return true;
}

void LogFile::stop() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
}

void LogFile::write(const Entry& e) {
    if (!f_) return;
    const std::string line = csvLine(e) + '\n';
    if (std::fputs(line.c_str(), f_) < 0 || std::fflush(f_) != 0) fail(errno);
}

void LogFile::fail(int err) {
    // Told once; the program goes on without the file.
    stop();
    if (complain_) complain_(failureText(path_, err));
}

}  // namespace lork::journal
