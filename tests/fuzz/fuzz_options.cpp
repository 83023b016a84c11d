// readOptions on arbitrary file bytes through the fake platform, then a write and
// read back that must give the same record; also a record made of arbitrary
// values, which must survive the file as long as no value holds a line break.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/fake/fake_platform.h"
#include "settings/options.h"

using marlet::cmOptions;

static const std::string kFile = "C:\\Marlet\\dxqb.ini";

static cmOptions writtenAndReadBack(const cmOptions& o) {
    marlet::fake::World& w = marlet::fake::world();
    w.files[kFile] = "";
    o.writeOptions(kFile);
    if (w.files[kFile] != o.toText()) abort();
    cmOptions back;
    back.readOptions(kFile);
    return back;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    marlet::fake::World& w = marlet::fake::install();
    std::string bytes(reinterpret_cast<const char*>(data), size);

    // 1. Any file: reading never fails, and what it read survives a round trip
    // (a line never holds a line feed).
    w.files[kFile] = bytes;
    cmOptions o;
    o.readOptions(kFile);
    if (o.dxPath.find('\n') != std::string::npos || o.configPath.find('\n') != std::string::npos)
        abort();
    if (writtenAndReadBack(o).toText() != o.toText()) abort();

    // 2. A record of arbitrary values: the input cut at its first two NULs gives
    // the paths; the last byte the Booleans.
    cmOptions r;
    size_t a = bytes.find('\0');
    size_t b = a == std::string::npos ? std::string::npos : bytes.find('\0', a + 1);
    r.dxPath = bytes.substr(0, a);
    r.configPath = a == std::string::npos ? "" : bytes.substr(a + 1, b == std::string::npos ? b : b - a - 1);
    unsigned char bits = size ? data[size - 1] : 0;
    r.displayTwain = bits & 1;
    r.displayDorvex = bits & 2;
    r.promptMemo = bits & 4;
    r.debugMode = bits & 8;
    cmOptions back = writtenAndReadBack(r);
    bool lineBreak = r.dxPath.find('\n') != std::string::npos ||
                     r.configPath.find('\n') != std::string::npos;
    if (!lineBreak && back.toText() != r.toText()) abort();
    return 0;
}
