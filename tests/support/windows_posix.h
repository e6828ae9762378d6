#pragma once
// The POSIX calls the portable tests make that mingw's runtime lacks;
// force-included into the Windows test programs only.
#include <direct.h>
#include <stdlib.h>

#include <random>
#include <string>

inline char* mkdtemp(char* tmpl) {
    const std::string t(tmpl);
    if (t.size() < 6 || t.compare(t.size() - 6, 6, "XXXXXX") != 0) return nullptr;
    static std::mt19937 gen{std::random_device{}()};
    static const char set[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (size_t i = t.size() - 6; i < t.size(); ++i) tmpl[i] = set[gen() % (sizeof set - 1)];
        if (_mkdir(tmpl) == 0) return tmpl;
    }
    return nullptr;
}
inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
