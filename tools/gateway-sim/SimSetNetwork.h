#pragma once

#include <QByteArray>

class Simulator;

// The 57-byte "S" datagram: the gateway with the MAC at offset 2 takes the IP
// address, gateway, mask, VarnexView IP and name it carries, unless the
// ignore-writes fault is on. There is no reply.
void HandleSetNetwork(Simulator& sim, const QByteArray& datagram);
