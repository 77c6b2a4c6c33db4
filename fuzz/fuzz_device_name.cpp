// The device name codecs: decoding never fails or overruns, and a name that
// fits its field comes back unchanged.
#include "link/Codecs.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray field(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QString name = DecodeDeviceName(field);
    DecodeUtf8Field(field);
    if (name.contains(QChar(0))) std::abort();
    const QByteArray encoded = EncodeDeviceName(name);
    if (encoded.size() != 32) std::abort();
    if (name.toUtf8().size() < 32 && DecodeDeviceName(encoded) != name) std::abort();
    return 0;
}
