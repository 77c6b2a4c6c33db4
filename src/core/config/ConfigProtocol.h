#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

// The configuration exchange with one gateway: three queries, three kinds of
// reply, the write datagrams that mirror them, the apply request and its answer.
//
// The structs below hold exactly what the configuration dialog shows and edits:
// texts as the operator sees them in the edits and table cells, and list fields
// as the index of the selected entry (-1: nothing selected / text not in the
// list). The dialog copies its widgets into them and back; everything that
// touches bytes lives here. Offsets are from the datagram's STX.

enum class ConfigSection { Network, Operation, LoRa };

// Which sections the operator changed since the dialog was opened for a gateway.
struct ChangeMarks {
    bool network = false;
    bool operation = false;
    bool lora = false;
    bool any() const { return network || operation || lora; }
};

// The fixed lists of the dialog's controls and table columns. A list field on the
// wire holds the index of its text here (channel, spreading factor and protocol
// version with the offsets noted in LoRaRow).
namespace ConfigLists {
QStringList NetworkType();      // "Static IP", "DHCP"
QStringList Service();          // "Disable", "Enable" (Telnet, SSH, FTP, WEB)
QStringList Bridge();           // "Enable", "Disable" (0 = bridged)
QStringList Operation();        // "Disable" ... "RFC2217", codes 0 to 9
QStringList Channel();          // "1" ... "20"
QStringList SpreadingFactor();  // "7" ... "12"
QStringList Aes();              // "Disable", "Enable"
QStringList ProtocolVersion();  // "1.0", "2.0"
}  // namespace ConfigLists

// The "Network" tab and the gateway's row count (NetworkConfig, 84 bytes).
// A reply's list bytes are kept as they came: a value outside its list selects
// nothing in the combo box, and a combo box with nothing selected (-1) is
// written as 0xFF.
struct NetworkSettings {
    int networkType = 0;         // @8, 1 byte: NetworkTypeCombo index (0 Static IP, 1 DHCP)
    QString ipAddress;           // @9, 4 bytes: IPAddressText
    QString gateway;             // @13, 4 bytes: GatewayText
    QString subnetMask;          // @17, 4 bytes: SubnetMaskText
    QString dns;                 // @21, 4 bytes: DNSText
    QString deviceName;          // @25, 32 bytes UTF-8, 0x00 fill: DeviceNameText
    QString varnexViewIp;        // @57, 4 bytes: HalvarisIPText
    QString varnexViewPort;      // @61, 2 bytes low first: HalvarisPortText
    int telnet = 0;              // @63, 1 byte: TelnetCombo index (0 Disable, 1 Enable)
    int ssh = 0;                 // @64: SSHCombo index
    int ftp = 0;                 // @65: FTPCombo index
    int web = 0;                 // @66: WEBCombo index
    bool lanPortPresent = true;  // @67: LANPortPanel shown (byte 1) or hidden (any other)
    int bridge = -1;             // @68, 1 byte: BridgeCombo index (0 Enable = bridged, 1 Disable)
    QString lanIpAddress;        // @69, 4 bytes: IPAddressText2
    QString lanSubnetMask;       // @73, 4 bytes: SubnetMaskText2
    // @77: not used in a reply, 0x00 in a write.
    int portCount = 0;     // @78, 1 byte: PortCount, rows of OpGrid and SerialGrid
    int echoByte = 0;      // @79, 1 byte: EchoByte, written back as last received/loaded
    quint32 sourceId = 0;  // @80, 3 bytes low first: SourceIDLabel (reply only; 0 in a write)
};

// One OpGrid row (PortConfig, 39 bytes). The row index travels at @8.
struct PortRow {
    QString alias;  // @12, 16 bytes, 0x00 fill: column 1 "Port Alias" (text up to the first 0x00)
    int operation = -1;  // @9, 1 byte: column 2 "Operation", index in ConfigLists::Operation()
    QString srcPort;     // @10, 2 bytes low first: column 3 "Src Port"
    QString destIp;      // @28, 4 bytes: column 4 "Dest IP"
    QString destPort;    // @32, 2 bytes: column 5 "Dest Port"
    QString alive;       // @34, 2 bytes: column 6 "Alive"
    QString latency;     // @36, 2 bytes: column 7 "Latency"
    // The 16 alias bytes exactly as received or loaded. While `alias` still equals
    // their text they are written back unchanged; empty when the row came from
    // the operator alone. The dialog may simply carry it along per row.
    QByteArray aliasBytes;
};

// One SerialGrid row (LoRaConfig, 17 bytes). The row index travels at @8.
struct LoRaRow {
    int channel = -1;          // @9, 1 byte = index + 1: column 1 "Channel", ConfigLists::Channel()
    int spreadingFactor = -1;  // @10, 1 byte = index + 7: column 2, ConfigLists::SpreadingFactor()
    QString destinationId;     // @11, 3 bytes low first: column 3 "Destination ID" (empty reads 0)
    int aes = -1;              // @14, 1 byte = index: column 4 "AES", ConfigLists::Aes()
    int protocolVersion = -1;  // @15, 1 byte = index + 1: column 5, ConfigLists::ProtocolVersion()
};

// A reply row names the table row it fills.
struct PortReply {
    int row = 0;  // @8
    PortRow cells;
};
struct LoRaReply {
    int row = 0;  // @8
    LoRaRow cells;
};

// Everything the dialog shows: the network section and its tables, row r of
// each table at index r (PortCount rows each).
struct DeviceConfig {
    NetworkSettings network;
    QVector<PortRow> ports;
    QVector<LoRaRow> loras;
};

// ---- Building datagrams (the UI thread; every builder raises VarnexError) ----

// "N", "O" or "U" with the MAC: 9 bytes.
QByteArray ConfigQuery(ConfigSection section, const QString& mac);
// "A" with the MAC: 9 bytes.
QByteArray ConfigApply(const QString& mac);

// The write datagrams. A field that does not convert, an address part outside
// 0..255, a port or number outside 0..65535, a destination ID outside
// 0..16777215 or an alias that does not fit 16 bytes fails with a VarnexError
// naming the field and the value; nothing is silently cut.
QByteArray BuildNetworkConfig(const QString& mac, const NetworkSettings& network);  // 84 bytes
QByteArray BuildPortConfig(const QString& mac, int row, const PortRow& cells);      // 39 bytes
QByteArray BuildLoRaConfig(const QString& mac, int row, const LoRaRow& cells);      // 17 bytes

// One marked section's datagrams, in sending order.
struct SectionWrite {
    ConfigSection section;
    QList<QByteArray> datagrams;
};

// Every datagram of a write, built before anything is sent: for each marked
// section in the order Network, Operation, LoRa its datagrams (rows 0 to
// PortCount - 1). Empty when nothing is marked (then nothing at all is sent,
// not even the apply request). Raises VarnexError, and builds nothing, when any
// one datagram cannot be built, so a gateway is never left half-written.
// Send each section, pause 2 ms, and finish with ConfigApply(mac).
QList<SectionWrite> BuildConfigWrite(const QString& mac, const ChangeMarks& marks,
                                     const DeviceConfig& config);

// The apply request that waits for its answer. Any "a" with the gateway's MAC
// passes ParseConfigReply: the gateway's own answer, a second copy of it, a late
// duplicate of an earlier one or a datagram anyone on the segment made up. Only
// the first answer to a request that is out may tell the operator it succeeded.
class PendingApply {
public:
    // "A" has gone out to the gateway with this MAC (a second "A" before the
    // answer is still one request waiting).
    void Sent(const QString& mac);
    // An "a" from `mac`: true when it answers the request that is out, which is
    // then answered; false when none is out for that gateway.
    bool Answer(const QString& mac);
    bool Waiting() const { return !mac_.isEmpty(); }

private:
    QByteArray mac_;  // empty while nothing waits
};

// ---- Parsing replies (bounds-checked; never raises) ----

struct ConfigReply {
    enum class Kind {
        Ignore,   // not for us: 3 bytes, no final ETX, another MAC, unknown letter,
                  // too short for its layout, row out of range, list code out of range
        Network,  // "n": fill the Network tab, enable tabPanel1 and Apply
        Port,     // "o": fill OpGrid row `port.row`, enable tabPanel2 and Apply
        LoRa,     // "u": fill SerialGrid row `lora.row`, enable tabPanel3 and Apply
        Applied,  // "a": when it answers a PendingApply, enable Apply and show
                  // "Configuration was successfully applied"
    };
    Kind kind = Kind::Ignore;
    NetworkSettings network;  // Kind::Network
    PortReply port;           // Kind::Port
    LoRaReply lora;           // Kind::LoRa
};

// What one datagram received by the dialog means. `portCount` is the rows the
// tables have now: a row reply for a row they do not have is ignored.
ConfigReply ParseConfigReply(const QByteArray& datagram, const QString& mac, int portCount);

// The section layouts alone, without the letter or MAC checks (also used for
// the configuration file). False when the bytes are too short, the row is not
// below portCount, or a list code is outside its list.
bool ParseNetworkConfig(const QByteArray& bytes, NetworkSettings& out);
// A configuration file may hold rows the dialog wrote with nothing selected in a
// list (a gateway with fewer LoRa rows than ports, say): UnsetAllowed reads the
// very code the builders write for that (operation 0xFF; channel 0, spreading
// factor 6, AES 0xFF, version 0) as nothing selected, so that every file Export
// writes can be imported again. A gateway's reply holding such a code is still dropped.
enum class ListCodes { InList, UnsetAllowed };
bool ParsePortConfig(const QByteArray& bytes, int portCount, PortReply& out,
                     ListCodes codes = ListCodes::InList);
bool ParseLoRaConfig(const QByteArray& bytes, int portCount, LoRaReply& out,
                     ListCodes codes = ListCodes::InList);

// Datagram sizes.
namespace ConfigSize {
constexpr int Query = 9;
constexpr int Network = 84;
constexpr int Port = 39;
constexpr int LoRa = 17;
constexpr int RowPair = Port + LoRa;  // 56 bytes per row in a full write or file
}  // namespace ConfigSize
