#include "engine/SearchExplain.h"

#include "engine/GatewayEngine.h"

SearchReportData LastSearchReport(const GatewayEngine& engine) {
    const QHash<int, GatewayEngine::InterfaceTally> tallies = engine.SearchTallies();
    SearchReportData data;
    data.portHeldElsewhere = engine.PortHeldElsewhere();
    for (const InterfaceFacts& facts : CollectInterfaceFacts()) {
        InterfaceSearch one{facts, {}};
        const auto it = tallies.constFind(facts.index);
        if (it != tallies.constEnd()) {
            one.counters.requestsSent = it->requestsSent;
            one.counters.sendError = it->sendError;
            one.counters.echoesHeard = it->echoesHeard;
            one.counters.gatewayReplies = it->gatewayReplies;
            one.counters.otherDatagrams = it->otherDatagrams;
        }
        data.interfaces.append(one);
    }
    return data;
}

AddressesByMac LastSearchAddresses(const GatewayEngine& engine) {
    AddressesByMac heard;
    const auto byMac = engine.AddressesByMac();
    for (auto it = byMac.cbegin(); it != byMac.cend(); ++it) heard.insert(it.key(), it->values());
    return heard;
}
