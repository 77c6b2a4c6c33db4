// "Web" and "Telnet".
#include "app/TFormDetect.h"

void TFormDetect::FlatButton4Click() {}
