// SPDX-License-Identifier: MIT
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
    refhost::MemoryStream* stream = host.memoryStream();
    stream->keep = false;
    javtool::runScript(script, host, kDriver, &stream->base);
    return host.liveBlocks() == 0 && host.liveObjects() == 0 && host.openElements() == 0;
}

}  // namespace javfuzz
