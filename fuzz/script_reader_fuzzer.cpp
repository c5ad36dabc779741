// Object scripts from bytes, read as `javtrg convert` reads them: the
// prescan and the reader must refuse every malformed script with a
// ScriptError (any other exception is a finding), and a script they accept
// must run through the reference host leaving nothing behind.
#include "fuzz/fuzz_picture.h"
#include "fuzz/fuzz_targets.h"
#include "tools/script.h"
#include "tools/script_runner.h"

namespace javfuzz {

namespace {

const javtool::DriverApi kDriver{nullptr, startTrgJAV, shutDownJAVtrg, putJAVobject};

// Takes every record and keeps only their size.
struct CountingStream {
    OutputStream base;
    uint64_t bytes;
};

int32_t countingWrite(OutputStream* stream, const char*, uint32_t length) {
    reinterpret_cast<CountingStream*>(stream)->bytes += length;
    return 1;
}

}  // namespace

bool scriptReader(const uint8_t* data, size_t size) {
    javtool::Script script;
    try {
        script = javtool::readScript(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const javtool::ScriptError&) {
        return true;
    }
    refhost::ReferenceHost host;
    keepHostQuick(host);
    CountingStream stream{{.write = countingWrite, .isReady = nullptr, .finish = nullptr}, 0};
    javtool::runScript(script, host, kDriver, &stream.base);
    return host.liveBlocks() == 0 && host.liveObjects() == 0 && host.openElements() == 0;
}

}  // namespace javfuzz
