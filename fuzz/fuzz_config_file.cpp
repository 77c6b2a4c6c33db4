// Configuration file records on arbitrary bytes: either a clear refusal or
// contents whose rows all exist and that export to the same row records.
#include "config/ConfigFile.h"
#include "link/VarnexError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    ConfigFileContents c;
    try {
        c = ParseConfigRecords(bytes, QStringLiteral("fuzz.vxc"));
    } catch (const VarnexError& e) {
        if (e.text().isEmpty()) std::abort();
        return 0;
    }
    const int rows = c.network.portCount;
    if (c.ports.size() != rows || c.loras.size() != rows) std::abort();
    if (bytes.size() < 84 + 56 * rows) std::abort();
    for (int i = 0; i < rows; ++i) {
        if (c.ports[i].row >= rows || c.loras[i].row >= rows) std::abort();
        const QByteArray port =
            BuildPortConfig(QStringLiteral("00-00-00-00-00-00"), c.ports[i].row, c.ports[i].cells);
        if (port.mid(8, 30) != bytes.mid(84 + 39 * i + 8, 30)) std::abort();
    }
    return 0;
}
