#include "platform/port_order.h"

#include <algorithm>
#include <cctype>

namespace lork {

namespace {

// Splits "ttyUSB10" into "ttyUSB" and "10"; a name without trailing digits
// has an empty number part.
std::pair<std::string, std::string> splitNumber(const std::string& s) {
    size_t i = s.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
    return {s.substr(0, i), s.substr(i)};
}

// Compares two digit strings by value without converting (any length).
int compareDigits(const std::string& a, const std::string& b) {
    size_t ia = a.find_first_not_of('0'), ib = b.find_first_not_of('0');
    std::string ta = ia == std::string::npos ? "" : a.substr(ia);
    std::string tb = ib == std::string::npos ? "" : b.substr(ib);
    if (ta.size() != tb.size()) return ta.size() < tb.size() ? -1 : 1;
    return ta.compare(tb);
}

}  // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    auto [pa, na] = splitNumber(a);
    auto [pb, nb] = splitNumber(b);
    if (pa != pb) return pa < pb;
    if (na.empty() != nb.empty()) return na.empty();
    if (int c = compareDigits(na, nb); c != 0) return c < 0;
    return a < b;  // "COM01" and "COM1": keep a strict order
}

std::vector<std::string> orderPortNames(const std::vector<std::string>& listed) {
    if (listed.size() <= 1) return listed;
    std::vector<std::string> sorted = listed;
    // std::string compares by unsigned character codes, as the rule asks.
    std::stable_sort(sorted.begin(), sorted.end());
    std::vector<std::string> result;
    result.reserve(sorted.size());
    for (size_t len = 4; len <= 6; ++len)
        for (const auto& n : sorted)
            if (n.size() == len) result.push_back(n);
    std::vector<std::string> rest;
    for (const auto& n : sorted)
        if (n.size() < 4 || n.size() > 6) rest.push_back(n);
    std::stable_sort(rest.begin(), rest.end(), naturalLess);
    result.insert(result.end(), rest.begin(), rest.end());
    return result;
}

std::vector<std::string> portListNow(const std::vector<std::string>& listed, const std::vector<std::string>& own,
                                       const std::string& inUse) {
    std::vector<std::string> names = listed;
    const auto holds = [](const std::vector<std::string>& v, const std::string& n) {
        return std::find(v.begin(), v.end(), n) != v.end();
    };
    if (!inUse.empty() && !holds(names, inUse) && !holds(own, inUse)) names.push_back(inUse);
    names = orderPortNames(names);
    names.insert(names.end(), own.begin(), own.end());
    return names;
}

std::string defaultPortName(const std::vector<std::string>& listed) {
    static const std::string com1 = "COM1";
    if (listed.empty() || std::find(listed.begin(), listed.end(), com1) != listed.end()) return com1;
    for (const std::string& name : listed)
        if (name.starts_with("ttyUSB") || name.starts_with("ttyACM")) return name;
    return listed.front();
}

}  // namespace lork
