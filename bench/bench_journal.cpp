// The traffic journal's cost per exchange and its memory when full.
// Runs the store, the window (shown, offscreen) and the log file on
// exchanges like those of a readings query, well past the ring's bound.
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

#include "widgets/journal_table.h"
#include "app/journal_window.h"
#include "records/log_file.h"

namespace {
size_t heapBytes() { return mallinfo2().uordblks; }

lork::ExchangeRecord Typical(int i, size_t replyLen) {
    lork::ExchangeRecord r;
    r.request = {0x05, 0x04, 0x00, 0x10, 0x00, 0x0D, 0x31, 0x8E};
    r.reply.assign(replyLen, uint8_t(i));
    r.writeUs = int64_t(i) * 20000;
    r.lastByteUs = r.writeUs + 30000 + i % 7000;
    r.kod_rez = i % 50 == 0 ? 11 : 0;  // one exchange in fifty fails
    r.command = lork::Command::Polling;
    r.commandRun = uint64_t(i / 6);
    return r;
}

// Fills a store of the default bound with frames of these lengths; returns its heap bytes.
size_t Filled(size_t requestLen, size_t replyLen) {
    const size_t before = heapBytes();
    auto* s = new lork::journal::Store;
    lork::ExchangeRecord r = Typical(0, replyLen);
    r.request.assign(requestLen, 0x05);
    for (size_t i = 0; i < s->ring.capacity(); ++i) s->add(int64_t(i), r);
    const size_t used = heapBytes() - before;
    delete s;
    return used;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 300000;

    std::printf("ring bound: %zu exchanges\n", lork::journal::Ring::kDefaultCapacity);
    std::printf("heap when full, readings frames (8 + 31 bytes): %.1f MB\n", double(Filled(8, 31)) / 1e6);
    std::printf("heap when full, longest frames (63 + 63 bytes): %.1f MB\n", double(Filled(63, 63)) / 1e6);

    lork::journal::Store store;
    JournalWindow window(store);
    window.show();
    lork::journal::LogFile log([](const std::string& t) { std::fprintf(stderr, "%s\n", t.c_str()); });
    char path[] = "/tmp/bench-journal-XXXXXX";
    close(mkstemp(path));
    log.start(path);

    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        const lork::journal::Entry& e = store.add(int64_t(i), Typical(i, 31));
        window.appended(e);
        log.write(e);
        // The window repaints as the event loop lets it: a sweep's pace.
        if (i % 64 == 0) app.processEvents();
    }
    const double us = double(t.nsecsElapsed()) / 1000.0 / n;
    std::printf("%d exchanges (store + window + log file, shown view): %.2f us each\n", n, us);
    std::printf("rows kept: %d\n", window.table()->rowCount());
    unlink(path);
    return 0;
}
