// The address text check and the integer conversion on arbitrary text.
#include "discovery/IPv4Text.h"
#include "link/Codecs.h"
#include "link/VarnexError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    qint32 value = 0;
    const bool converts = TryStrToInt(text, value);
    try {
        if (StrToInt(text) != value || !converts) std::abort();
    } catch (const VarnexError&) {
        if (converts) std::abort();
    }
    if (IsValidIPv4(text) && SplitIPv4Parts(text).size() != 4) std::abort();
    try {
        if (EncodeIPv4(text).size() != 4) std::abort();
    } catch (const VarnexError&) {
    }
    return 0;
}
