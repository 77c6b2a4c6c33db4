// The JSON configuration reader on arbitrary bytes: either a refusal with a
// message, or a configuration that the writer writes back in a form the reader
// accepts again, unchanged: the same document, the same shown fields, and the
// same datagrams (or the same refusal to build them).
#include "config/ConfigDiff.h"
#include "config/ConfigFile.h"
#include "config/ConfigJson.h"
#include "link/VarnexError.h"

#include <QJsonDocument>

#include <cstdint>
#include <cstdlib>

namespace {
// The document's configuration, or false when the reader refuses it.
bool read(const QByteArray& bytes, ConfigDocument& out) {
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !json.isObject()) return false;
    try {
        out.config = ConfigFromJson(json.object());
    } catch (const VarnexError& e) {
        if (e.text().isEmpty()) std::abort();
        return false;
    }
    out.identity = IdentityFromJson(json.object());
    return true;
}

// The records of a write, or the refusal's text.
QByteArray records(const DeviceConfig& config) {
    try {
        return BuildConfigRecords(QStringLiteral("00-1A-2B-3C-4D-5E"), config);
    } catch (const VarnexError& e) {
        return "refused: " + e.text().toUtf8();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    ConfigDocument first;
    if (!read(bytes, first)) return 0;
    const QByteArray written = ConfigJsonBytes(first.config, first.identity);
    ConfigDocument second;
    if (!read(written, second)) std::abort();
    if (ConfigJsonBytes(second.config, second.identity) != written) std::abort();
    if (!ConfigDifferences(first.config, second.config, DiffRows::All).isEmpty()) std::abort();
    if (first.identity.time != second.identity.time) std::abort();
    if (records(first.config) != records(second.config)) std::abort();
    return 0;
}
