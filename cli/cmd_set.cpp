// set KEY=VALUE ..., set-address, set-baud, set-parity, set-stopbits.
#include <cstdio>

#include "cli/commands.h"
#include "cli/writes.h"

namespace lorkctl {

int cmdSet(const Options& o) {
    allowOnly(o, {"strict", "force"});
    if (o.words.empty()) throw Exit{ST_USAGE, "set: нужны КЛЮЧ=ЗНАЧЕНИЕ"};
    // Every value is checked before the port is even opened.
    const auto wanted = parseAssignments(o.words, false);
    Session s(o);
    s.openLine();
    readParams(s);
    checkRules(s.st(), wanted, o.has("force") && !o.has("strict"));
    for (const auto& [set, v] : orderedWrites(s.st(), wanted)) writeSetting(s, *set, v);
    readParams(s);
    verify(s, wanted);
    std::string done;
    for (const auto& [set, v] : wanted) done += std::string(done.empty() ? "" : " ") + set->key + "=" + std::to_string(v);
    std::printf("%s\n", done.c_str());
    return ST_OK;
}

int cmdSetInterface(const Options& o) {
    allowOnly(o, {});
    static const std::pair<const char*, const char*> keys[] = {
        {"set-address", "address"}, {"set-baud", "baud"}, {"set-parity", "parity"}, {"set-stopbits", "stopbits"}};
    std::string key;
    for (const auto& [cmd, k] : keys)
        if (o.command == cmd) key = k;
    if (o.words.size() != 1) throw Exit{ST_USAGE, o.command + ": нужно одно значение"};
    const auto wanted = parseAssignments({key + "=" + o.words[0]}, true);
    Session s(o);
    s.openLine();
    // Silence from here on leaves open whether the instrument took the write.
    const unsigned oldAdr = s.ls().adr;
    if (key == "address")
        s.setNoReplyHint("прибор мог остаться на адресе " + std::to_string(oldAdr) + ": попробуйте --address " +
                            std::to_string(wanted[0].second) + " или --address " + std::to_string(oldAdr) +
                            ", или найдите его: lorkctl search");
    else
        s.setNoReplyHint("найти прибор на всех скоростях: lorkctl search --rates all");
    writeSetting(s, *wanted[0].first, wanted[0].second);
    // Verified at the new settings: the instrument answers there or not at all.
    readInterface(s);
    verify(s, wanted);
    const auto& ls = s.ls();
    std::printf("адрес %u, скорость %d, паритет %s, стопбит %u\n", unsigned(ls.adr), int(ls.scor),
                parityName(ls.parity).c_str(), unsigned(ls.stopbit));
    // lorkctl never writes the window's settings: the next command starts from them again.
    lork::LineSettings file;
    if (loadSettingsDefaults(file) && key == "address" && file.adr != ls.adr)
        std::fprintf(stderr, "lorkctl: дальше укажите --address %u: в настройках окна по-прежнему адрес %u\n",
                     unsigned(ls.adr), unsigned(file.adr));
    return ST_OK;
}

}  // namespace lorkctl
