#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// An address plan written in a spreadsheet and saved as CSV: one row per gateway,
//
//   mac,ip,mask,gateway,view_ip,name
//   00-1A-2B-00-00-01,198.18.0.20,255.255.255.0,198.18.0.1,198.18.0.5,Pump house
//   00-1A-2B-00-00-02,198.18.0.21,,,,
//
// The first line names the columns, in any order; only these six are known
// (any case), and mac is required. An empty cell keeps what the gateway reports.
//
// What spreadsheets write is accepted: UTF-8 with or without a byte-order mark;
// "," or ";" between fields (whichever the header line uses more of, outside
// quotes); fields in double quotes, a doubled quote standing for one, which may
// hold the separator; CRLF, LF or CR line ends; blank lines, and lines of
// separators alone, anywhere. Blanks around an unquoted cell are dropped.
//
// The whole plan is refused, naming the line (the header is line 1; a row that
// spans lines is named by its first) and the reason, for: a file larger than
// CsvPlanMaxBytes, text that is not UTF-8, an unknown, unnamed or repeated
// column, no mac column, a row with another number of fields than the header,
// a quoted field that is not closed or is followed by text, a MAC or address
// that is not one, a mask whose ones are not contiguous, a name with control
// characters or longer than the gateway's 32 bytes, and a MAC on two rows.

struct CsvPlanRow {
    int line = 0;     // the line the row starts on
    QString mac;      // as "00-1A-2B-3C-4D-5E"
    QString ip;       // dotted decimal; empty: keep the gateway's
    QString mask;     // likewise
    QString gateway;  // likewise
    QString viewIp;   // likewise
    QString name;     // empty: keep the gateway's
};

constexpr qint64 CsvPlanMaxBytes = 1024 * 1024;

// The rows of a plan, in file order. Raises VarnexError ("line 4: ip
// \"198.18.0.300\" is not an IPv4 address").
QVector<CsvPlanRow> ParseCsvPlan(const QByteArray& bytes);

// Reads the file (no more than CsvPlanMaxBytes of it) and parses it; a refusal
// names the file.
QVector<CsvPlanRow> LoadCsvPlan(const QString& path);
