#pragma once
// The files a command names, none of them trusted: a template is a regular
// file of a few KiB, read only after the port name was found sound; a record
// is opened and written without ever waiting for a reader, and a failure to
// write it is the command's failure.
#include <cstddef>
#include <string>

namespace lorkctl {

// A template holds ten keys at most: a few hundred bytes.
inline constexpr size_t kTemplateCap = 4096;

// The template's bytes; anything but a regular file of at most kTemplateCap
// bytes throws Exit(ST_USAGE), the file named first.
std::string readTemplateFile(const std::string& path);

// The record, opened for appending (created when missing). A pipe without a
// reader, a folder or a file that cannot be written throws Exit(ST_RECORD).
class RecordFile {
public:
    explicit RecordFile(const std::string& path);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Appends line (with its line end) in one write and closes the file; the
    // failure in words, empty when the line went in whole.
    std::string appendAndClose(const std::string& line);
    // For the record of a run cut short, written from the signal's handler.
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
};

// Why a file could not be used, in Russian words (the system's text after them).
std::string channelFileErrorWords(int err);

}  // namespace lorkctl
