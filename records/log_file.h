#pragma once
// The journal written to a file as it happens: a CSV header, then one line
// per exchange, each flushed, so that a killed program loses nothing.
#include <cstdio>
#include <functional>
#include <string>

#include "records/journal.h"

namespace lork::journal {

class LogFile {
public:
    // Told once per opened file when it cannot be opened or written.
    using Complaint = std::function<void(const std::string& text)>;
    explicit LogFile(Complaint complain) : complain_(std::move(complain)) {}
    ~LogFile() { stop(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Appends to path (the header only into an empty file). False: told and off.
    bool start(const std::string& path);
    void stop();
    bool active() const { return f_ != nullptr; }
    const std::string& path() const { return path_; }
    void write(const Entry& e);

    // err: the errno value of the failed call.
    static std::string failureText(const std::string& path, int err);

private:
    void fail(int err);
    Complaint complain_;
    std::FILE* f_ = nullptr;
    std::string path_;
};

}  // namespace lork::journal
