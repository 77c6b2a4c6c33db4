#pragma once

#include "app/Seams.h"

#include <QDialog>

// The configuration dialog: one gateway's network settings, serial port modes
// and LoRa options. Created hidden at start-up and reused for every gateway.
class TConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit TConfigForm(const Services& services, QWidget* parent = nullptr);

private:
    Services services_;
};
