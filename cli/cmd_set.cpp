// set KEY=VALUE ..., set-address, set-baud, set-parity, set-stopbits.
#include <cstdio>

#include "cli/commands.h"
#include "cli/writes.h"

namespace lorkctl {

int cmd_set(const Options& o) {
    allow_only(o, {"strict", "force"});
    if (o.words.empty()) throw Exit{ST_USAGE, "set: нужны КЛЮЧ=ЗНАЧЕНИЕ"};
    // Every value is checked before the port is even opened.
    const auto wanted = parse_assignments(o.words, false);
    Session s(o);
    s.open_line();
    read_params(s);
    check_rules(s.st(), wanted, o.has("force") && !o.has("strict"));
    for (const auto& [set, v] : ordered_writes(s.st(), wanted)) write_setting(s, *set, v);
    read_params(s);
    verify(s, wanted);
    std::string done;
    for (const auto& [set, v] : wanted) done += std::string(done.empty() ? "" : " ") + set->key + "=" + std::to_string(v);
    std::printf("%s\n", done.c_str());
    return ST_OK;
}

int cmd_set_interface(const Options& o) {
    allow_only(o, {});
    static const std::pair<const char*, const char*> keys[] = {
        {"set-address", "address"}, {"set-baud", "baud"}, {"set-parity", "parity"}, {"set-stopbits", "stopbits"}};
    std::string key;
    for (const auto& [cmd, k] : keys)
        if (o.command == cmd) key = k;
    if (o.words.size() != 1) throw Exit{ST_USAGE, o.command + ": нужно одно значение"};
    const auto wanted = parse_assignments({key + "=" + o.words[0]}, true);
    Session s(o);
    s.open_line();
    // Silence from here on leaves open whether the instrument took the write.
    const unsigned old_adr = s.ls().adr;
    if (key == "address")
        s.set_no_reply_hint("прибор мог остаться на адресе " + std::to_string(old_adr) + ": попробуйте --address " +
                            std::to_string(wanted[0].second) + " или --address " + std::to_string(old_adr) +
                            ", или найдите его: lorkctl search");
    else
        s.set_no_reply_hint("найти прибор на всех скоростях: lorkctl search --rates all");
    write_setting(s, *wanted[0].first, wanted[0].second);
    // Verified at the new settings: the instrument answers there or not at all.
    read_interface(s);
    verify(s, wanted);
    const auto& ls = s.ls();
    std::printf("адрес %u, скорость %d, паритет %s, стопбит %u\n", unsigned(ls.adr), int(ls.scor),
                parity_name(ls.parity).c_str(), unsigned(ls.stopbit));
    // lorkctl never writes the window's settings: the next command starts from them again.
    lork::LineSettings file;
    if (load_settings_defaults(file) && key == "address" && file.adr != ls.adr)
        std::fprintf(stderr, "lorkctl: дальше укажите --address %u: в настройках окна по-прежнему адрес %u\n",
                     unsigned(ls.adr), unsigned(file.adr));
    return ST_OK;
}

}  // namespace lorkctl
