// "Upgrade Firmware".
#include "app/TFormDetect.h"

void TFormDetect::FlatButton7Click() {}
