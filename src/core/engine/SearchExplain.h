#pragma once

#include "net/Reachability.h"
#include "net/SearchReport.h"

class GatewayEngine;

// What the engine's last Search counted on each interface, beside each
// interface's state now: the data of the report that says why it found
// nothing. Interfaces the Search did not reach are listed with zero counts.
SearchReportData LastSearchReport(const GatewayEngine& engine);

// The addresses each MAC answered from in the engine's last Search, in the
// form the reachability rules take.
AddressesByMac LastSearchAddresses(const GatewayEngine& engine);
